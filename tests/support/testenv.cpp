#include "support/testenv.h"

#include "platform/filenames.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelo::test {

void pointHomeAt(const QString &folder)
{
    const QDir root(folder);
    const auto setDir = [&root](const char *variable, const QString &name) {
        root.mkpath(name);
        QFile::setPermissions(root.filePath(name),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(variable, QFile::encodeName(root.filePath(name)));
    };
    qputenv("HOME", QFile::encodeName(root.path()));
    setDir("XDG_CONFIG_HOME", QStringLiteral(".config"));
    setDir("XDG_DATA_HOME", QStringLiteral(".local/share"));
    setDir("XDG_CACHE_HOME", QStringLiteral(".cache"));
    setDir("XDG_STATE_HOME", QStringLiteral(".local/state"));
    setDir("XDG_RUNTIME_DIR", QStringLiteral("runtime"));
}

QByteArray readBytes(const QString &path)
{
    return readRaw(encodeFileName(path));
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    writeRaw(encodeFileName(path), bytes);
}

QByteArray readRaw(const QByteArray &path)
{
    const int handle = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (handle < 0) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    QByteArray bytes;
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::read(handle, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, got);
    EXPECT_EQ(got, 0) << "reading " << path.toStdString();
    ::close(handle);
    return bytes;
}

void writeRaw(const QByteArray &path, const QByteArray &bytes)
{
    const int handle = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    ASSERT_GE(handle, 0) << path.toStdString();
    const ssize_t written = ::write(handle, bytes.constData(), size_t(bytes.size()));
    ::close(handle);
    ASSERT_EQ(written, bytes.size()) << path.toStdString();
}

void makeRawFolder(const QByteArray &path)
{
    ASSERT_EQ(::mkdir(path.constData(), 0700), 0) << path.toStdString();
}

void removeRawTree(const QByteArray &path)
{
    const auto remove = [](const char *entry, const struct stat *, int, struct FTW *) {
        return ::remove(entry) == 0 ? 0 : -1;
    };
    // Depth first, links not followed: a folder goes after what it holds.
    if (::nftw(path.constData(), remove, 16, FTW_DEPTH | FTW_PHYS) != 0)
        ADD_FAILURE() << "cannot remove " << path.toStdString();
}

QByteArrayList rawEntries(const QByteArray &folder)
{
    QByteArrayList names;
    DIR *dir = ::opendir(folder.constData());
    if (dir == nullptr) {
        ADD_FAILURE() << "cannot list " << folder.toStdString();
        return names;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

Latin1Folder::Latin1Folder(const QString &parent)
    : folderRaw(parent.toUtf8() + "/\xC4lteres")
    , fileRaw(folderRaw + "/\xE4rger.txt")
    , folderShown(parent + QStringLiteral("/Älteres"))
    , fileShown(folderShown + QStringLiteral("/ärger.txt"))
{
    makeRawFolder(folderRaw);
    writeRaw(fileRaw, "Gr\374\337e\r\n");
}

Latin1Folder::~Latin1Folder()
{
    // A test may have taken the folder's rights away.
    ::chmod(folderRaw.constData(), S_IRWXU);
    removeRawTree(folderRaw);
}

} // namespace kelo::test
