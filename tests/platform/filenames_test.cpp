// File names that are not UTF-8 come back byte for byte.
#include "platform/filenames.h"
#include "support/testenv.h"

#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

#include <random>

namespace kelo {
namespace {

TEST(FileNames, EveryByteStringComesBackAndUtf8NamesReadAsQtReadsThem)
{
    const QByteArray latin1("\xE4rger.txt");
    EXPECT_EQ(decodeFileName(latin1).size(), latin1.size());
    EXPECT_TRUE(hasUndecodableBytes(decodeFileName(latin1)));
    EXPECT_EQ(encodeFileName(decodeFileName(latin1)), latin1);
    // Well-formed names are the text Qt makes of them.
    for (const QByteArray &name : {QByteArray("/home/a b/Ärger €.txt"), QByteArray("\xF0\x9F\x98\x80"),
                                  QByteArray()}) {
        EXPECT_EQ(decodeFileName(name), QFile::decodeName(name));
        EXPECT_FALSE(hasUndecodableBytes(decodeFileName(name)));
        EXPECT_EQ(encodeFileName(decodeFileName(name)), name);
    }
    // U+FEFF is a character of a name like any other, at its start too.
    EXPECT_EQ(decodeFileName("\xEF\xBB\xBFname"), QStringLiteral("\uFEFFname"));
    EXPECT_EQ(decodeFileName("a\xEF\xBB\xBF\xEF\xBB\xBF"), QStringLiteral("a\uFEFF\uFEFF"));
    // A name that holds one of the characters standing for bytes, a cut
    // sequence, an overlong form and a surrogate.
    for (const QByteArray &name : {QByteArray("\xEF\x9E\x80"), QByteArray("a\xE2\x82"),
                                  QByteArray("\xC0\xAF"), QByteArray("\xED\xA0\x80")})
        EXPECT_EQ(encodeFileName(decodeFileName(name)), name) << name.toHex().toStdString();

    std::mt19937 random(7);
    for (int round = 0; round < 5000; ++round) {
        QByteArray name;
        for (int n = int(random() % 24); n > 0; --n)
            name += char(random() % 3 == 0 ? 'a' + random() % 26 : 0x80 + random() % 128);
        ASSERT_EQ(encodeFileName(decodeFileName(name)), name) << name.toHex().toStdString();
    }
}

// Shown, a byte that is not UTF-8 is its Windows-1252 letter (the five it
// leaves undefined are U+FFFD); a UTF-8 name shows as it is.
TEST(FileNames, NamesShowAsTheyReadInWindows1252)
{
    const std::pair<QByteArray, QString> cases[] = {
        {"/home/\xC4lteres/\xE4rger.txt", "/home/Älteres/ärger.txt"},
        {"\x80 \x9F \xFF", "€ Ÿ ÿ"},
        {"\x81\x8D\x8F\x90\x9D", QString(5, QChar::ReplacementCharacter)},
        {"Grüße \xEF\x9E\x80", "Grüße ïž€"}, // a name that holds a character standing for a byte
        {"Grüße", "Grüße"}};
    for (const auto &[bytes, shown] : cases)
        EXPECT_EQ(displayFileName(decodeFileName(bytes)), shown) << bytes.toHex().toStdString();
}

// A dropped file's URL gives the bytes of its path, percent-encoded or not;
// another host is kept as Qt keeps it.
TEST(FileNames, DroppedUrlsGiveTheFilesOwnBytes)
{
    const std::pair<QUrl, QByteArray> cases[] = {
        {QUrl::fromEncoded("file:///tmp/%C4lteres/%E4rger.txt"), "/tmp/\xC4lteres/\xE4rger.txt"},
        {QUrl::fromEncoded("file:///tmp/a%20b%2Bc%25"), "/tmp/a b+c%"},
        {QUrl::fromLocalFile("/tmp/Grüße x"), "/tmp/Grüße x"},
        {QUrl::fromEncoded("file://localhost/etc/x"), "/etc/x"},
        {QUrl::fromEncoded("file://server/share/a"), "//server/share/a"}};
    for (const auto &[url, path] : cases)
        EXPECT_EQ(encodeFileName(localFilePath(url)), path) << url.toString().toStdString();
}

} // namespace
} // namespace kelo
