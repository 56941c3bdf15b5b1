// The small platform pieces: settings store, message boxes, twips and colours.
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/units.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kelo {
namespace {

class Settings : public ::testing::Test {
protected:
    QString file() const { return QDir(m_dir.path()).filePath(QStringLiteral("Kelo.conf")); }
    QTemporaryDir m_dir;
};

TEST_F(Settings, MissingKeyGivesTheDefaultAndWrittenValuesComeBackExactly)
{
    SettingsStore store(file());
    EXPECT_EQ(store.read(QStringLiteral("dir1"), QStringLiteral("C:\\")), QStringLiteral("C:\\"));
    const QStringList values = {QStringLiteral("/home/a b/c, d"), QStringLiteral("  Leer  "),
                                QStringLiteral("ä\tß;=\"\\"), QString()};
    for (const QString &value : values) {
        ASSERT_TRUE(store.write(QStringLiteral("Filter"), value));
        EXPECT_EQ(SettingsStore(file()).read(QStringLiteral("Filter"), QStringLiteral("-")), value);
    }
}

TEST(SettingsFile, UsersSettingsLiveInTheConfigFolder)
{
    const QString expected = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) +
                             QStringLiteral("/Kelo/Kelo.conf");
    SettingsStore store;
    EXPECT_EQ(store.fileName(), expected);
    ASSERT_TRUE(store.write(QStringLiteral("Filter"), QStringLiteral("*.txt")));
    EXPECT_TRUE(test::readBytes(expected).contains("[Optionen]"));
}

TEST_F(Settings, KeysLiveInTheSectionOptionen)
{
    SettingsStore(file()).write(QStringLiteral("lbl_schwarzweissblau"), QStringLiteral("weiss"));
    const QByteArray content = test::readBytes(file());
    EXPECT_TRUE(content.contains("[Optionen]")) << content.constData();
    EXPECT_TRUE(content.contains("lbl_schwarzweissblau=weiss")) << content.constData();
}

TEST_F(Settings, HandEditedNonsenseReadsAsTextOrDefault)
{
    test::writeBytes(file(), "\x01\x02 garbage [[[\n[Optionen]\nFilter=*.txt, *.md\n"
                             "dir1=@Variant(\\0\\0\\0\\x7f)\nnoequals\n");
    SettingsStore store(file());
    EXPECT_EQ(store.read(QStringLiteral("Filter"), QString()), QStringLiteral("*.txt, *.md"));
    EXPECT_EQ(store.read(QStringLiteral("drive1"), QStringLiteral("C:")), QStringLiteral("C:"));
}

TEST_F(Settings, UnwritableFileReportsFailure)
{
    // A folder where the file should be cannot be written, even by root.
    QDir(m_dir.path()).mkdir(QStringLiteral("Kelo.conf"));
    SettingsStore store(file());
    EXPECT_FALSE(store.write(QStringLiteral("Filter"), QStringLiteral("*.*")));
    EXPECT_EQ(store.read(QStringLiteral("dir1"), QStringLiteral("d")), QStringLiteral("d"));
}

TEST(ScriptedBoxes, RecordEveryBoxAndAnswerInTurn)
{
    ScriptedMessageBoxes scripted;
    MessageBoxes &boxes = scripted; // the program sees only the interface
    scripted.queueAnswer(MsgAnswer::Yes);
    EXPECT_EQ(boxes.show(QStringLiteral("Frage ?"), MsgButtons::YesNo), MsgAnswer::Yes);
    EXPECT_EQ(boxes.show(QStringLiteral("Noch eine ?"), MsgButtons::YesNo), MsgAnswer::No);
    EXPECT_EQ(boxes.show(QStringLiteral("Fehler"), MsgButtons::Ok, MsgIcon::Critical,
                         QStringLiteral("Fehler")),
              MsgAnswer::Ok);
    ASSERT_EQ(scripted.shown().size(), 3);
    EXPECT_EQ(scripted.shown()[0].title, QStringLiteral("Kelo the Scriv"));
    EXPECT_EQ(scripted.shown()[2].icon, MsgIcon::Critical);
    EXPECT_EQ(scripted.shown()[2].title, QStringLiteral("Fehler"));
    EXPECT_EQ(int(MsgAnswer::Yes), 6);
}

TEST(Units, TwipsAndPixelsAt96Dpi)
{
    EXPECT_EQ(twipsToPixels(15), 1);
    EXPECT_EQ(twipsToPixels(12135), 809);
    EXPECT_EQ(twipsToPixels(7), 0);
    EXPECT_EQ(twipsToPixels(8), 1);
    EXPECT_DOUBLE_EQ(pixelsToTwips(809), 12135);
    EXPECT_EQ(twipsRect(105, 720, 10410, 6000), QRect(7, 48, 694, 400));
}

TEST(Units, ClassicColoursHaveBlueInTheHighByte)
{
    EXPECT_EQ(resolveOleColor(0x800000), QColor(0, 0, 128));
    EXPECT_EQ(resolveOleColor(0x0000FF), QColor(255, 0, 0));
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
