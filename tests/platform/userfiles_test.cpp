// Where the files a user writes go: beside a program run from its build
// folder, else into the home folder. The tests run as root, whom permission
// bits do not stop, so the folders that must refuse files are under /proc
// (where access(2) still says yes to root) or do not exist.
#include "platform/filenames.h"
#include "platform/userfiles.h"
#include "support/testenv.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kelo {
namespace {

// Creating a file is tried for real, and the probe leaves nothing behind.
TEST(UserFiles, CreatingFilesIsTriedAndLeavesNothingBehind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir("build"));
    test::writeBytes(dir.filePath("a file"), {});
    // clang-format off
    const std::pair<QString, bool> places[] = {
        {dir.filePath("build"), true}, {dir.filePath("build") + "/", true}, {"/proc/self", false},
        {"/proc", false}, {dir.filePath("gone"), false}, {dir.filePath("a file"), false},
        {QString(), false}};
    // clang-format on
    const auto all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    for (const auto &[folder, writable] : places) {
        EXPECT_EQ(mayCreateFilesIn(folder), writable) << folder.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(all), QStringList({"a file", "build"}));
        EXPECT_TRUE(QDir(dir.filePath("build")).isEmpty(all));
    }
}

TEST(UserFiles, TheProgramFolderWhenItTakesFilesElseTheHomeFolder)
{
    const QByteArray home = qgetenv("HOME");
    QStringList asked;
    const auto answer = [&asked](bool writable) {
        return [&asked, writable](const QString &folder) {
            asked.append(folder);
            return writable;
        };
    };
    EXPECT_EQ(folderForUserFiles("/work/kelo/build/release", answer(true)),
              "/work/kelo/build/release");
    EXPECT_EQ(asked, QStringList{"/work/kelo/build/release"});

    // The home folder by its bytes, even when they are not UTF-8.
    qputenv("HOME", "/home/j\xfcrgen");
    const QString installed = folderForUserFiles("/usr/bin", answer(false));
    EXPECT_EQ(encodeFileName(installed), QByteArray("/home/j\xfcrgen"));
    qputenv("HOME", "/home/anna");
    EXPECT_EQ(folderForUserFiles("/usr/bin", answer(false)), "/home/anna");

    // With the real check: an installed program's folder that takes no files.
    EXPECT_EQ(folderForUserFiles("/proc/self"), "/home/anna");
    qputenv("HOME", home);
}

} // namespace
} // namespace kelo
