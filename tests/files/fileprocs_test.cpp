// The shared file procedures.
#include "files/fileprocs.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace kelo {
namespace {

class FileProcs : public ::testing::Test {
protected:
    QString path(const QString &name) const { return QDir(m_dir.path()).filePath(name); }
    QTemporaryDir m_dir;
};

TEST_F(FileProcs, ExistenceOfFilesAndFolders)
{
    test::writeBytes(path(QStringLiteral("a.txt")), "a");
    QDir(m_dir.path()).mkdir(QStringLiteral("sub"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("a.txt")), path(QStringLiteral("link"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("gone")), path(QStringLiteral("dangling"))));

    EXPECT_TRUE(FileExists(path(QStringLiteral("a.txt"))));
    EXPECT_TRUE(FileExists(path(QStringLiteral("link"))));
    EXPECT_FALSE(FileExists(path(QStringLiteral("sub"))));
    EXPECT_FALSE(FileExists(path(QStringLiteral("sub/"))));
    EXPECT_FALSE(FileExists(path(QStringLiteral("nope"))));
    EXPECT_FALSE(FileExists(path(QStringLiteral("dangling"))));
    EXPECT_FALSE(FileExists(QString()));

    EXPECT_TRUE(FolderExists(path(QStringLiteral("sub"))));
    EXPECT_TRUE(FolderExists(QStringLiteral("/")));
    EXPECT_FALSE(FolderExists(path(QStringLiteral("a.txt"))));
    EXPECT_FALSE(FolderExists(QStringLiteral("C:\\")));
    EXPECT_FALSE(FolderExists(QString()));
}

TEST(JoinPath, OneSeparatorOnlyWhenTheFolderHasNone)
{
    EXPECT_EQ(joinPath(QStringLiteral("/"), QStringLiteral("a.txt")), QStringLiteral("/a.txt"));
    EXPECT_EQ(joinPath(QStringLiteral("/texte"), QStringLiteral("a.txt")),
              QStringLiteral("/texte/a.txt"));
    EXPECT_EQ(joinPath(QStringLiteral("/texte"), QString()), QStringLiteral("/texte/"));
    EXPECT_EQ(joinPath(QStringLiteral("/texte/"), QStringLiteral("sub/a")),
              QStringLiteral("/texte/sub/a"));
}

TEST_F(FileProcs, ReadingKeepsEveryByte)
{
    static const char raw[] = "eins\r\nzwei\ndrei\rvier\0f\xfc"
                              "nf\r\n";
    const QByteArray bytes(raw, sizeof raw - 1);
    test::writeBytes(path(QStringLiteral(".hidden")), bytes);
    const FileReadResult read = ReadWholeFile(path(QStringLiteral(".hidden")));
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(encodeText(read.text.utf8, read.text.format).bytes, bytes);
}

TEST_F(FileProcs, NothingThereReadsAsEmptyTextWithoutError)
{
    const FileReadResult read = ReadWholeFile(path(QStringLiteral("vanished.txt")));
    EXPECT_TRUE(read.ok);
    EXPECT_TRUE(read.text.utf8.isEmpty());
}

TEST_F(FileProcs, FolderIsAFailureWithAReason)
{
    const FileReadResult read = ReadWholeFile(m_dir.path());
    EXPECT_FALSE(read.ok);
    EXPECT_FALSE(read.error.isEmpty());
}

TEST_F(FileProcs, UnreadableFileIsAFailure)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads files without read permission";
    test::writeBytes(path(QStringLiteral("secret")), "x");
    QFile::setPermissions(path(QStringLiteral("secret")), QFile::WriteOwner);
    const FileReadResult read = ReadWholeFile(path(QStringLiteral("secret")));
    EXPECT_FALSE(read.ok);
    EXPECT_FALSE(read.error.isEmpty());
}

TEST_F(FileProcs, DeviceWithoutSizeIsReadToItsEnd)
{
    const FileReadResult read = ReadWholeFile(QStringLiteral("/proc/self/stat"));
    ASSERT_TRUE(read.ok);
    EXPECT_FALSE(read.text.utf8.isEmpty());
}

} // namespace
} // namespace kelo
