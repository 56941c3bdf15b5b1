// The small platform pieces: settings store, twips and colours, line breaks
// leaving the editor, the user's terminal and what ShellExec hands over.
#include "platform/desktoplauncher.h"
#include "platform/linebreaks.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/units.h"
#include "support/fakeservices.h"
#include "support/testenv.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace kelo {
namespace {

// Settings that do not come back exactly, are not in Optionen at once, trip
// on nonsense in the file, or fail to write unreported.
TEST(Settings, ValuesComeBackExactlyAndAFailedWriteIsReported)
{
    SettingsStore store;
    EXPECT_EQ(store.read("dir1", "C:\\"), "C:\\");
    for (const QString &value :
         {u"/home/a b/c, d"_qs, u"  Leer  "_qs, u"ä\tß;=\"\\"_qs, QString()}) {
        ASSERT_TRUE(store.write("Filter", value));
        EXPECT_EQ(SettingsStore().read("Filter", "-"), value);
    }
    ASSERT_TRUE(store.write("lbl_schwarzweissblau", "weiss"));
    const QByteArray written =
        test::readBytes(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Kelo/Kelo.conf");
    EXPECT_TRUE(written.contains("[Optionen]\n")) << written.toStdString();
    EXPECT_TRUE(written.contains("\nlbl_schwarzweissblau=weiss\n"));

    QTemporaryDir dir;
    test::writeBytes(dir.filePath("Kelo.conf"),
                     "\x01\x02 garbage [[[\n[Optionen]\n"
                     "Filter=*.txt, *.md\ndir1=@Variant(\\0\\0\\0\\x7f)\n"
                     "noequals\n");
    EXPECT_EQ(SettingsStore(dir.filePath("Kelo.conf")).read("Filter", QString()), "*.txt, *.md");
    EXPECT_EQ(SettingsStore(dir.filePath("Kelo.conf")).read("drive1", "C:"), "C:");
    // A folder where the file should be cannot be written, even by root.
    const QString folder = dir.filePath("folder.conf");
    QDir().mkdir(folder);
    EXPECT_FALSE(SettingsStore(folder).write("Filter", "*.*"));
    EXPECT_EQ(SettingsStore(folder).read("dir1", "d"), "d");
}

// Twips at 96 dpi, rounded; classic colours have blue in the high byte, and
// the system colours are the palette's.
TEST(Units, TwipsAndClassicColours)
{
    EXPECT_EQ(twipsToPixels(12135), 809);
    EXPECT_EQ(twipsToPixels(7), 0);
    EXPECT_EQ(twipsToPixels(8), 1);
    EXPECT_DOUBLE_EQ(pixelsToTwips(809), 12135);
    EXPECT_EQ(twipsRect(105, 720, 10410, 6000), QRect(7, 48, 694, 400));
    QPalette palette;
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::darkGreen);
    palette.setColor(QPalette::ButtonText, Qt::darkRed);
    // clang-format off
    const std::pair<OleColor, QColor> colours[] = {
        {0x800000, QColor(0, 0, 128)}, {0xC0E0FF, QColor(255, 224, 192)},
        {0x80000005, QColor(Qt::white)}, {0x80000008, QColor(Qt::darkGreen)},
        {0x80000012, QColor(Qt::darkRed)}};
    // clang-format on
    for (const auto &[ole, colour] : colours)
        EXPECT_EQ(resolveOleColor(ole, palette), colour) << std::hex << ole;
}

// CR LF out as LF with lone breaks kept; lone CRs and LFs found sixteen bytes
// at a time against a plain walk, at every place of a block and at random.
TEST(LineBreaks, CrLfBecomesLfAndLoneBreaksAreFoundWithTheBreaksBeforeThem)
{
    // clang-format off
    const std::pair<const char *, const char *> cases[] = {
        {"", ""}, {"a\r\nb\r\n", "a\nb\n"}, {"a\rb\nc", "a\rb\nc"}, {"\r\r\n\n", "\r\n\n"},
        {"\n\r", "\n\r"}, {"x\r", "x\r"}, {"Straße\r\n€", "Straße\n€"}};
    // clang-format on
    for (const auto &[editor, lf] : cases) {
        EXPECT_EQ(crlfToLf(QByteArrayView(editor)), QByteArray(lf)) << editor;
        EXPECT_EQ(crlfToLf(QString::fromUtf8(editor)), QString::fromUtf8(lf)) << editor;
    }

    const auto plainWalk = [](const QByteArray &text) {
        std::vector<long> lone;
        long breaks = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            else if (text[i] == '\r' || text[i] == '\n')
                lone.push_back(breaks);
            else
                continue;
            ++breaks;
        }
        return lone;
    };
    std::vector<QByteArray> texts;
    for (const char *lone : {"\r", "\n", "\n\r", "\r\r", "x"}) {
        for (qsizetype at = 0; at < 40; ++at) {
            QByteArray text = QByteArray("ab\r\n").repeated(12);
            texts.push_back(text.insert(at, lone));
            texts.push_back(text.left(at + 1));
        }
    }
    QRandomGenerator random(11);
    for (int round = 0; round < 2000; ++round) {
        QByteArray text(random.bounded(80), 'a');
        for (char &c : text)
            c = "\r\n\r\na"[random.bounded(5)];
        texts.push_back(text);
    }
    for (const QByteArray &text : texts)
        EXPECT_EQ(loneBreakLines(text), plainWalk(text)) << text.toPercentEncoding().constData();
}

// The user's $TERMINAL (with arguments), else the first known program on the
// PATH; the fake terminals write their name and arguments into a file.
TEST(Terminals, TheUsersOwnTerminalThenTheFirstKnownOneOnThePath)
{
    QTemporaryDir dir;
    const QString marker = dir.filePath("started");
    const auto makeTerminal = [&](const QString &name, bool executable = true) {
        test::writeBytes(dir.filePath(name),
                         "#!/bin/sh\necho \"${0##*/} $*\" > '" + marker.toUtf8() + "'\n");
        if (executable)
            QFile::setPermissions(dir.filePath(name),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    // The line the terminal wrote ("" when none started in time).
    const auto startWith = [&](const QString &terminalVariable) -> QString {
        QFile::remove(marker);
        QProcessEnvironment env;
        env.insert("PATH", dir.path());
        if (!terminalVariable.isNull())
            env.insert("TERMINAL", terminalVariable);
        if (!SystemDesktopLauncher(env).startTerminal())
            return "none";
        static_cast<void>(QTest::qWaitFor([&] { return QFileInfo(marker).size() > 0; }, 10000));
        return QString::fromUtf8(test::readBytes(marker)).trimmed();
    };
    makeTerminal("xterm", false); // found by name, but no program
    EXPECT_EQ(startWith(QString()), "none");
    makeTerminal("xfce4-terminal");
    makeTerminal("konsole");
    EXPECT_EQ(startWith("/nirgends/term"), "konsole");
    makeTerminal("x-terminal-emulator");
    makeTerminal("mein terminal");
    EXPECT_EQ(startWith(QLatin1Char('"') + dir.filePath("mein terminal") + "\" -e bash"),
              "mein terminal -e bash");
}

// A path becomes a file URL (blanks and all); only "open" is known, and an
// empty path is nothing to open.
TEST(ShellExecTest, PathsAreOpenedAsFilesAndFailuresReported)
{
    test::RecordingLauncher launcher;
    EXPECT_TRUE(ShellExec(launcher, "/tmp/eine Datei.txt", 1, "open"));
    EXPECT_FALSE(ShellExec(launcher, "/tmp/x", 1, "print"));
    EXPECT_FALSE(ShellExec(launcher, QString()));
    launcher.opens = false;
    EXPECT_FALSE(ShellExec(launcher, "https://www.example.org/"));
    EXPECT_EQ(launcher.urls, (QList<QUrl>{QUrl::fromLocalFile("/tmp/eine Datei.txt"),
                                          QUrl("https://www.example.org/")}));
}

// Real message boxes: going back is never "Nein", "Abbrechen" only where
// offered, the asked default, and the focus back where it was.
TEST(MessageBoxesTest, GoingBackIsCancelAndFocusComesBack)
{
    const auto key = [](Qt::Key pressed) {
        return [pressed](QMessageBox *box) { QTest::keyClick(box, pressed); };
    };
    const auto closeButton = [](QMessageBox *box) { box->close(); };
    const auto nein = [](QMessageBox *box) {
        for (QAbstractButton *button : box->buttons())
            if (button->text() == QStringLiteral("Nein"))
                button->click();
    };
    struct Case {
        MsgButtons buttons;
        MsgAnswer defaultAnswer;
        std::function<void(QMessageBox *)> act;
        MsgAnswer answer;
        bool cancelShown;
    };
    const Case cases[] = {
        {MsgButtons::YesNo, MsgAnswer::Yes, key(Qt::Key_Escape), MsgAnswer::Cancel, false},
        {MsgButtons::YesNo, MsgAnswer::Yes, key(Qt::Key_Return), MsgAnswer::Yes, false},
        {MsgButtons::YesNo, MsgAnswer::No, key(Qt::Key_Return), MsgAnswer::No, false},
        {MsgButtons::YesNoCancel, MsgAnswer::Yes, closeButton, MsgAnswer::Cancel, true},
        {MsgButtons::YesNoCancel, MsgAnswer::Yes, nein, MsgAnswer::No, true},
        {MsgButtons::Ok, MsgAnswer::Yes, key(Qt::Key_Escape), MsgAnswer::Ok, false},
    };
    QWidget window;
    auto *field = new QLineEdit(&window);
    window.show();
    QApplication::setActiveWindow(&window);
    for (const Case &c : cases) {
        SCOPED_TRACE(int(&c - cases));
        field->setFocus();
        bool cancelShown = false;
        // Acts on the box once it is up.
        std::function<void()> act = [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box) {
                QTimer::singleShot(5, act);
                return;
            }
            for (QAbstractButton *button : box->buttons())
                cancelShown |=
                    button->text() == QStringLiteral("Abbrechen") && button->isVisibleTo(box);
            c.act(box);
        };
        QTimer::singleShot(0, act);
        QtMessageBoxes boxes(&window);
        EXPECT_EQ(
            boxes.show(QStringLiteral("Frage ?"), c.buttons, MsgIcon::None, {}, c.defaultAnswer),
            c.answer);
        EXPECT_EQ(cancelShown, c.cancelShown);
        // The window's own focus: where the keys go once it is active again.
        EXPECT_EQ(window.focusWidget(), field);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.isActiveWindow(); }));
        EXPECT_EQ(QApplication::focusWidget(), field);
    }
}

} // namespace
} // namespace kelo
