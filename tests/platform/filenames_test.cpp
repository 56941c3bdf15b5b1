// File names by their bytes, and where user files go. As root, permission
// bits stop nothing: refusing folders are under /proc or do not exist.
#include "platform/filenames.h"
#include "platform/userfiles.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <random>

namespace kelo {
namespace {

// Every byte string comes back; a UTF-8 name reads as Qt reads it, each byte
// that is not UTF-8 as one Windows-1252 letter (U+FFFD for the undefined five).
TEST(FileNames, EveryByteStringComesBackAndShowsAsItReadsInWindows1252)
{
    const std::pair<QByteArray, QString> notUtf8[] = {
        {"/home/\xC4lteres/\xE4rger.txt", "/home/Älteres/ärger.txt"},
        {"\x80 \x9F \xFF", "€ Ÿ ÿ"},
        {"\x81\x8D\x8F\x90\x9D", QString(5, QChar::ReplacementCharacter)},
        {"Grüße \xEF\x9E\x80", "Grüße ïž€"},
        {"a\xE2\x82", "aâ‚"},
        {"\xC0\xAF", "À¯"},
        {"\xED\xA0\x80", "í\u00A0€"}};
    for (const auto &[bytes, shown] : notUtf8) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        const QString name = decodeFileName(bytes);
        EXPECT_TRUE(hasUndecodableBytes(name));
        EXPECT_EQ(displayFileName(name), shown);
        EXPECT_EQ(encodeFileName(name), bytes);
    }
    EXPECT_EQ(decodeFileName("\xE4rger.txt").size(), 9);
    for (const QByteArray &bytes :
         {QByteArray("/home/a b/Ärger €.txt"), QByteArray("\xF0\x9F\x98\x80"), QByteArray()}) {
        const QString name = decodeFileName(bytes);
        EXPECT_EQ(name, QFile::decodeName(bytes));
        EXPECT_FALSE(hasUndecodableBytes(name));
        EXPECT_EQ(displayFileName(name), name);
        EXPECT_EQ(encodeFileName(name), bytes);
    }
    // U+FEFF is a character of a name like any other, at its start too.
    EXPECT_EQ(decodeFileName("\xEF\xBB\xBFname"), QStringLiteral("\uFEFFname"));
    EXPECT_EQ(decodeFileName("a\xEF\xBB\xBF\xEF\xBB\xBF"), QStringLiteral("a\uFEFF\uFEFF"));

    std::mt19937 random(7);
    for (int round = 0; round < 5000; ++round) {
        QByteArray name;
        for (int n = int(random() % 24); n > 0; --n)
            name += char(random() % 3 == 0 ? 'a' + random() % 26 : 0x80 + random() % 128);
        ASSERT_EQ(encodeFileName(decodeFileName(name)), name) << name.toHex().toStdString();
    }

    // A dropped file's URL gives the bytes of its path, percent-encoded or
    // not; another host is kept as Qt keeps it.
    const std::pair<QUrl, QByteArray> urls[] = {
        {QUrl::fromEncoded("file:///tmp/%C4lteres/%E4rger.txt"), "/tmp/\xC4lteres/\xE4rger.txt"},
        {QUrl::fromEncoded("file:///tmp/a%20b%2Bc%25"), "/tmp/a b+c%"},
        {QUrl::fromLocalFile("/tmp/Grüße x"), "/tmp/Grüße x"},
        {QUrl::fromEncoded("file://localhost/etc/x"), "/etc/x"},
        {QUrl::fromEncoded("file://server/share/a"), "//server/share/a"}};
    for (const auto &[url, path] : urls)
        EXPECT_EQ(encodeFileName(localFilePath(url)), path) << url.toString().toStdString();
}

// Creating a file is tried for real, and the probe leaves nothing behind.
TEST(UserFiles, CreatingFilesIsTriedAndLeavesNothingBehind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid() && QDir(dir.path()).mkdir("build"));
    test::writeBytes(dir.filePath("a file"), {});
    const std::pair<QString, bool> places[] = {
        {dir.filePath("build"), true}, {dir.filePath("build") + "/", true}, {"/proc/self", false},
        {dir.filePath("gone"), false}, {dir.filePath("a file"), false},     {QString(), false}};
    const auto all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    for (const auto &[folder, writable] : places) {
        EXPECT_EQ(mayCreateFilesIn(folder), writable) << folder.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(all), QStringList({"a file", "build"}));
        EXPECT_TRUE(QDir(dir.filePath("build")).isEmpty(all));
    }
}

// Beside a program run from its build folder, else in the home folder, by
// its bytes even when they are not UTF-8.
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
    qputenv("HOME", "/home/j\xfcrgen");
    EXPECT_EQ(encodeFileName(folderForUserFiles("/usr/bin", answer(false))), "/home/j\xfcrgen");
    // With the real check: an installed program's folder that takes no files.
    EXPECT_EQ(encodeFileName(folderForUserFiles("/proc/self")), "/home/j\xfcrgen");
    qputenv("HOME", home);
}

} // namespace
} // namespace kelo
