// What the file panels' drive and folder lists share: the drive list follows
// the folder list, and a newly chosen drive moves the folder list to it or,
// when it is not ready, goes back.
#pragma once

#include <QHash>
#include <QString>

#include <functional>

namespace kelo {

class DirListBox;
class DriveListBox;

class DriveFolderSync {
public:
    DriveFolderSync(DriveListBox *drives, DirListBox *folders);

    // The drive list's change handler. A drive whose root can be read moves
    // the folder list to the last folder shown on that drive (as a drive
    // letter remembers its current directory), or to its root. A drive that
    // is not ready sends the drive list back to the folder list's drive (which
    // runs this handler again, nested) and then reports
    // "Laufwerk nicht verfügbar !" through status.
    void driveChanged(const std::function<void(const QString &)> &status);

    // The first step of the folder list's change handler: the drive list
    // takes the drive of the new folder.
    void folderChanged();

private:
    DriveListBox *m_drives;
    DirListBox *m_folders;
    QHash<QString, QString> m_lastFolder;
    // Set while the drive list follows the folder list: the folder is
    // already on the new drive and stays where it is.
    bool m_following = false;
};

} // namespace kelo
