// The blank-line clean-up and the line emptying on a real main window: one
// undo step, nothing left behind, and the editor text kept whole whenever the
// temporary file fails. The line rules are in tempfile_test, the Replace
// dialog's "ganze Zeile löschen" in frm_ersetz_test.
#include "platform/textbox.h"
#include "support/form1fixture.h"
#include "support/testenv.h"
#include "tools/linetools.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

class LineToolsTest : public Form1Fixture {
protected:
    Form1 &startWith(const QByteArray &text)
    {
        start().TextBox1->loadUtf8(text);
        return *m_window;
    }

    // Everything in a folder, hidden files included.
    static QStringList entries(const QString &folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                      QDir::NoDotAndDotDot);
    }
};

// Each run meets a leftover of a crash and a planted link at the two names.
TEST_F(LineToolsTest, LeerzeilenCleansAsOneUndoStepLeavingNoFileAndFollowingNoLink)
{
    const QDir program(m_programFolder);
    const QString victim = makeFile(QStringLiteral("victim.txt"), "nicht anfassen");
    Form1 &form = start();
    const auto leerzeilen = [&](const QByteArray &text) {
        writeBytes(program.filePath(QStringLiteral("kelo.tmp")), "alter Rest\r\n");
        EXPECT_TRUE(QFile::link(victim, program.filePath(QStringLiteral("Temp_kelo.tmp"))));
        form.TextBox1->loadUtf8(text);
        form.cmdDelEmpty->click();
        const QByteArray result = form.TextBox1->utf8Text();
        EXPECT_EQ(form.lblstatus->text(), QStringLiteral("temporäre Datei gespeichert"));
        EXPECT_EQ(form.TextBox1->SelStart(), 0); // the display refresh ran
        EXPECT_EQ(entries(m_programFolder), QStringList());
        form.TextBox1->undo();
        EXPECT_EQ(form.TextBox1->utf8Text(), text);
        EXPECT_FALSE(form.TextBox1->isUndoAvailable());
        return result;
    };
    EXPECT_EQ(leerzeilen("a\r\n\r\n  b   c\r\n   \r\nd"), QByteArray("a\r\n b c\r\nd\r\n"));
    // A text ending with a line break used to grow by an empty line each time;
    // characters beyond Windows-1252 used to be lost in the file.
    EXPECT_EQ(leerzeilen("a\r\n"), QByteArray("a\r\n"));
    EXPECT_EQ(leerzeilen("Łódź  ☺\r\n\r\n😀"), QByteArray("Łódź ☺\r\n😀\r\n"));
    EXPECT_TRUE(m_messages.shown().isEmpty());

    ASSERT_TRUE(QFile::link(victim, program.filePath(QStringLiteral("kelo.tmp"))));
    form.TextBox1->loadUtf8("a\r\nb");
    EXPECT_TRUE(form.lineTools()->SLoesch(QStringLiteral("b")));
    EXPECT_EQ(form.TextBox1->utf8Text(), QByteArray("a\r\n\r\n"));
    EXPECT_EQ(entries(m_programFolder), QStringList());
    EXPECT_EQ(readBytes(victim), QByteArray("nicht anfassen"));
}

TEST_F(LineToolsTest, UnusableProgramFolderTakesTheRuntimeFolder)
{
    // A file where the program's folder should be: nothing can be made there.
    ASSERT_TRUE(QDir(m_programFolder).removeRecursively());
    writeBytes(m_programFolder, "kein Ordner");
    const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    ASSERT_FALSE(runtime.isEmpty());
    const QStringList before = entries(runtime);

    Form1 &form = startWith("a\r\n\r\nb");
    form.cmdDelEmpty->click();
    EXPECT_EQ(form.TextBox1->utf8Text(), QByteArray("a\r\nb\r\n"));
    EXPECT_TRUE(form.lineTools()->SLoesch(QStringLiteral("b")));
    EXPECT_EQ(form.TextBox1->utf8Text(), QByteArray("a\r\n\r\n"));
    EXPECT_TRUE(m_messages.shown().isEmpty());
    EXPECT_EQ(entries(runtime), before);
}

class BlockedName : public LineToolsTest, public ::testing::WithParamInterface<const char *> {
protected:
    void expectUnchangedWithFehlerBox(Form1 &form, const QByteArray &text, const QString &name)
    {
        EXPECT_EQ(form.TextBox1->utf8Text(), text);
        EXPECT_FALSE(form.TextBox1->isUndoAvailable());
        EXPECT_EQ(entries(m_programFolder), QStringList{name});
        ASSERT_EQ(m_messages.shown().size(), 1);
        EXPECT_EQ(m_messages.shown().first().title, QStringLiteral("Fehler"));
        EXPECT_TRUE(m_messages.shown().first().text.contains(name));
        EXPECT_TRUE(form.lblstatus->text().contains(QStringLiteral("unverändert")));
        m_messages.clear();
    }
};

// A folder that cannot be removed stands where the temporary file or its
// working copy must be made.
TEST_P(BlockedName, KeepsTheTextAndSaysWhatFailed)
{
    const QString name = QString::fromLatin1(GetParam());
    ASSERT_TRUE(QDir(m_programFolder).mkpath(name + QStringLiteral("/drin")));
    const QByteArray text = "a\r\n\r\n  b";
    Form1 &form = startWith(text);
    form.cmdDelEmpty->click();
    expectUnchangedWithFehlerBox(form, text, name);
    if (name == QStringLiteral("kelo.tmp")) { // the line emptying needs no working copy
        EXPECT_FALSE(form.lineTools()->SLoesch(QStringLiteral("a")));
        expectUnchangedWithFehlerBox(form, text, name);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, BlockedName, ::testing::Values("kelo.tmp", "Temp_kelo.tmp"));

} // namespace
} // namespace kelo::test
