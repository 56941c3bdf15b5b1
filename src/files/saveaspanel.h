// The save-as panel "Dateiauswahl" (Dateiauswahl2, inside the main window):
// drive list, folder list and the name box "saveas". The drive list follows
// the folder list; every move of the folder list proposes the folder joined
// with the typed name as the current file.
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
    // Shows the panel where it was last placed. A panel that lies outside
    // the window (where it waits before it is first shown) comes to the
    // working position instead, so that it is never shown out of sight.
    void showInPlace(double topTwips);

    // The folder list's path joined with the name box's text (the folder
    // with a trailing "/" while the box is empty).
    QString chosenPath() const;

    DriveListBox *Drive2 = nullptr;
    DirListBox *Dir2 = nullptr;
    QLineEdit *saveas = nullptr;
    ClickableLabel *lbl_X2 = nullptr;

Q_SIGNALS:
    void statusMessage(const QString &text);
    // The folder list moved to another folder (the drive list has followed).
    void folderChosen(const QString &chosenPath);

private:
    void Drive2_Change();
    void Dir2_Change();

    std::unique_ptr<DriveFolderSync> m_sync;
};

} // namespace kelo
