// The save-as panel "Dateiauswahl" (Dateiauswahl2, inside the main window):
// drive list, folder list and the name box "saveas".
#pragma once

#include "files/drivefolders.h"
#include "platform/volumes.h"

#include <QGroupBox>

#include <memory>

class QLineEdit;

namespace kelo {

class ClickableLabel;
class DirListBox;
class DriveListBox;

class SaveAsPanel : public QGroupBox {
    Q_OBJECT

public:
    explicit SaveAsPanel(const VolumeSource &volumes, QWidget *parent = nullptr);

    // Shows the panel at its working position.
    void showAt(double topTwips);

    DriveListBox *Drive2 = nullptr;
    DirListBox *Dir2 = nullptr;
    QLineEdit *saveas = nullptr;
    ClickableLabel *lbl_X2 = nullptr;

Q_SIGNALS:
    void statusMessage(const QString &text);

private:
    std::unique_ptr<DriveFolderSync> m_sync;
};

} // namespace kelo
