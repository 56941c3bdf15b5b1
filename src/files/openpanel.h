// The open panel "Dateiauswahl" (inside the main window): drive list, folder
// list, file list, pattern box and "ok". A double click on a file or "ok"
// asks the window to load the chosen file.
#pragma once

#include "files/drivefolders.h"
#include "platform/volumes.h"

#include <QGroupBox>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kelo {

class ClickableLabel;
class DirListBox;
class DriveListBox;
class FileListBox;

class OpenPanel : public QGroupBox {
    Q_OBJECT

public:
    explicit OpenPanel(const VolumeSource &volumes, QWidget *parent = nullptr);

    // The folder list's path joined with the chosen file's name (the folder
    // with a trailing "/" when no file is chosen).
    QString chosenPath() const;
    bool hasChosenFile() const;

    // Shows the panel at its working position.
    void showAt(double topTwips);

    DriveListBox *Drive1 = nullptr;
    DirListBox *Dir1 = nullptr;
    FileListBox *File1 = nullptr;
    QLabel *Label4 = nullptr; // "Filter:"
    QLineEdit *Filter = nullptr;
    QPushButton *cmdLoad = nullptr;
    ClickableLabel *lbl_X = nullptr;

Q_SIGNALS:
    void loadRequested();
    void statusMessage(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();

    std::unique_ptr<DriveFolderSync> m_sync;
};

} // namespace kelo
