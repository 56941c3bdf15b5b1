// Where the files a user writes go: beside a program run from its build
// folder, into the home folder for an installed one whose folder is not the
// user's to write.
//
// The tests run as root, whom the permission bits do not stop, so a folder
// made read-only with chmod would still take files. The folders that must
// refuse files here are under /proc, where no one can create a file (and
// where access(2) says yes to root all the same), or do not exist; the
// choice between the two folders is also checked with a check that answers
// as told.
#include "platform/filenames.h"
#include "platform/userfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kelo {
namespace {

// A folder by its name and whether a file can be created there.
using Place = std::tuple<const char *, std::function<QString(const QTemporaryDir &)>, bool>;
class CreatingFiles : public ::testing::TestWithParam<Place> {};

TEST_P(CreatingFiles, IsTriedAndLeavesNothingBehind)
{
    const auto &[name, folderIn, writable] = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir("build"));
    QFile file(dir.filePath("a file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    EXPECT_EQ(mayCreateFilesIn(folderIn(dir)), writable) << name;
    // The probe is gone again: only what the test made is there.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"a file", "build"}));
    EXPECT_TRUE(QDir(dir.filePath("build"))
                    .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

INSTANTIATE_TEST_SUITE_P(
    Folders, CreatingFiles,
    ::testing::Values(
        Place{"a build folder", [](const QTemporaryDir &d) { return d.filePath("build"); }, true},
        Place{"with a closing slash",
              [](const QTemporaryDir &d) -> QString { return d.filePath("build") + "/"; }, true},
        Place{"below /proc", [](const QTemporaryDir &) { return QString("/proc/self"); }, false},
        Place{"/proc itself", [](const QTemporaryDir &) { return QString("/proc"); }, false},
        Place{"a missing folder", [](const QTemporaryDir &d) { return d.filePath("gone"); }, false},
        Place{"a file", [](const QTemporaryDir &d) { return d.filePath("a file"); }, false},
        Place{"no name", [](const QTemporaryDir &) { return QString(); }, false}));

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
