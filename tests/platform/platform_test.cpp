// The small platform pieces: settings store, twips and colours.
#include "platform/settingsstore.h"
#include "platform/units.h"
#include "support/testenv.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kelo {
namespace {

TEST(Settings, MissingKeyGivesTheDefaultAndWrittenValuesComeBackExactly)
{
    SettingsStore store;
    const QString expected =
        QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/Kelo/Kelo.conf");
    EXPECT_EQ(store.fileName(), expected);
    EXPECT_EQ(store.read(QStringLiteral("dir1"), QStringLiteral("C:\\")), QStringLiteral("C:\\"));
    const QStringList values = {QStringLiteral("/home/a b/c, d"), QStringLiteral("  Leer  "),
                                QStringLiteral("ä\tß;=\"\\"), QString()};
    for (const QString &value : values) {
        ASSERT_TRUE(store.write(QStringLiteral("Filter"), value));
        EXPECT_EQ(SettingsStore().read(QStringLiteral("Filter"), QStringLiteral("-")), value);
    }
    // Synced at once, in the section Optionen.
    ASSERT_TRUE(store.write(QStringLiteral("lbl_schwarzweissblau"), QStringLiteral("weiss")));
    EXPECT_TRUE(test::readBytes(expected).contains("[Optionen]\n"));
    EXPECT_TRUE(test::readBytes(expected).contains("\nlbl_schwarzweissblau=weiss\n"));
}

TEST(Settings, NonsenseReadsAsTextOrDefaultAndAFailedWriteIsReported)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Kelo.conf"));
    test::writeBytes(file, "\x01\x02 garbage [[[\n[Optionen]\nFilter=*.txt, *.md\n"
                           "dir1=@Variant(\\0\\0\\0\\x7f)\nnoequals\n");
    SettingsStore store(file);
    EXPECT_EQ(store.read(QStringLiteral("Filter"), QString()), QStringLiteral("*.txt, *.md"));
    EXPECT_EQ(store.read(QStringLiteral("drive1"), QStringLiteral("C:")), QStringLiteral("C:"));
    // A folder where the file should be cannot be written, even by root.
    const QString folder = dir.filePath(QStringLiteral("folder.conf"));
    QDir().mkdir(folder);
    EXPECT_FALSE(SettingsStore(folder).write(QStringLiteral("Filter"), QStringLiteral("*.*")));
    EXPECT_EQ(SettingsStore(folder).read(QStringLiteral("dir1"), QStringLiteral("d")),
              QStringLiteral("d"));
}

TEST(Units, TwipsAndPixelsAt96Dpi)
{
    EXPECT_EQ(twipsToPixels(12135), 809);
    EXPECT_EQ(twipsToPixels(7), 0);
    EXPECT_EQ(twipsToPixels(8), 1);
    EXPECT_DOUBLE_EQ(pixelsToTwips(809), 12135);
    EXPECT_EQ(twipsRect(105, 720, 10410, 6000), QRect(7, 48, 694, 400));
}

TEST(Units, ClassicColoursHaveBlueInTheHighByte)
{
    EXPECT_EQ(resolveOleColor(0x800000), QColor(0, 0, 128));
    EXPECT_EQ(resolveOleColor(0xC0E0FF), QColor(255, 224, 192));
    QPalette palette;
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::darkGreen);
    palette.setColor(QPalette::ButtonText, Qt::darkRed);
    EXPECT_EQ(resolveOleColor(0x80000005, palette), QColor(Qt::white));
    EXPECT_EQ(resolveOleColor(0x80000008, palette), QColor(Qt::darkGreen));
    EXPECT_EQ(resolveOleColor(0x80000012, palette), QColor(Qt::darkRed));
}

} // namespace
} // namespace kelo
