#include "files/drivefolders.h"

#include "files/fileprocs.h"
#include "platform/listcontrols.h"

#include <QScopedValueRollback>

namespace kelo {

DriveFolderSync::DriveFolderSync(DriveListBox *drives, DirListBox *folders)
    : m_drives(drives)
    , m_folders(folders)
{
    m_lastFolder.insert(drives->drive(), folders->path());
}

void DriveFolderSync::driveChanged(const std::function<void(const QString &)> &status)
{
    if (m_following)
        return;
    const QString root = m_drives->drive();
    QString target = m_lastFolder.value(root);
    if (!FolderExists(target))
        target = root;
    if (FolderExists(root) && m_drives->isReady() && m_folders->setPath(target))
        return;
    m_drives->setDrive(m_folders->path());
    status(QStringLiteral("Laufwerk nicht verfügbar !"));
}

void DriveFolderSync::folderChanged()
{
    {
        const QScopedValueRollback following(m_following, true);
        m_drives->setDrive(m_folders->path());
    }
    m_lastFolder.insert(m_drives->drive(), m_folders->path());
}

} // namespace kelo
