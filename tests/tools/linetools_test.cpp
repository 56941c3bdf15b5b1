// The blank-line clean-up and the line emptying on a real main window: the
// examples, one undo step each, nothing left in the program's folder, and the
// editor text kept whole whenever the temporary file fails.
#include "platform/textbox.h"
#include "support/form1fixture.h"
#include "support/testenv.h"
#include "tools/linetools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

// Table cases carry a name, which failure messages show.
template <typename Case>
auto operator<<(std::ostream &out, const Case &c) -> decltype(out << c.name)
{
    return out << c.name;
}

const QString saved = QStringLiteral("temporäre Datei gespeichert");

class LineToolsTest : public Form1Fixture {
protected:
    Form1 &startWith(const QByteArray &text)
    {
        Form1 &form = start();
        form.TextBox1->loadUtf8(text);
        return form;
    }

    // Everything in a folder, hidden files included.
    static QStringList entries(const QString &folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                      QDir::NoDotAndDotDot);
    }

    void expectUnchangedWithFehlerBox(Form1 &form, const QByteArray &text, const QString &file)
    {
        EXPECT_EQ(form.TextBox1->utf8Text(), text);
        EXPECT_FALSE(form.TextBox1->isUndoAvailable());
        ASSERT_EQ(m_messages.shown().size(), 1);
        const auto &box = m_messages.shown().first();
        EXPECT_EQ(box.title, QStringLiteral("Fehler"));
        EXPECT_EQ(box.icon, MsgIcon::Critical);
        EXPECT_EQ(box.buttons, MsgButtons::Ok);
        EXPECT_TRUE(box.text.contains(file)) << box.text.toStdString();
        EXPECT_TRUE(form.lblstatus->text().contains(QStringLiteral("unverändert")));
    }
};

struct CleanCase {
    const char *name;
    QByteArray text;
    QByteArray result;
};

class Leerzeilen : public LineToolsTest, public ::testing::WithParamInterface<CleanCase> {};

TEST_P(Leerzeilen, CleansTheTextAsOneUndoStepAndLeavesNoFile)
{
    Form1 &form = startWith(GetParam().text);
    form.cmdDelEmpty->click();

    EXPECT_EQ(form.TextBox1->utf8Text(), GetParam().result);
    EXPECT_EQ(form.lblstatus->text(), saved);
    EXPECT_EQ(form.TextBox1->SelStart(), 0); // the display refresh ran
    EXPECT_TRUE(m_messages.shown().isEmpty());
    EXPECT_EQ(entries(m_programFolder), QStringList());

    if (GetParam().result != GetParam().text) {
        form.TextBox1->undo();
        EXPECT_EQ(form.TextBox1->utf8Text(), GetParam().text);
        EXPECT_FALSE(form.TextBox1->isUndoAvailable());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Leerzeilen,
    ::testing::Values(CleanCase{"Example", "a\r\n\r\n  b   c\r\n   \r\nd", "a\r\n b c\r\nd\r\n"},
                      CleanCase{"Empty", "", ""}, CleanCase{"NoLineEnd", "x", "x\r\n"},
                      CleanCase{"EndingWithCrLfDoesNotGrow", "a\r\n", "a\r\n"},
                      CleanCase{"LoneLfLinesAreOneLine", "a  b\n\nc", "a b\n\nc\r\n"},
                      CleanCase{"BeyondWindows1252", "Łódź  ☺\r\n\r\n😀", "Łódź ☺\r\n😀\r\n"}),
    [](const auto &info) { return std::string(info.param.name); });

struct EmptyCase {
    const char *name;
    QByteArray text;
    QString find;
    QByteArray result;
};

class ZeileLoeschen : public LineToolsTest, public ::testing::WithParamInterface<EmptyCase> {};

TEST_P(ZeileLoeschen, EmptiesTheMatchingLinesAsOneUndoStepAndLeavesNoFile)
{
    Form1 &form = startWith(GetParam().text);
    EXPECT_TRUE(form.lineTools()->SLoesch(GetParam().find));

    EXPECT_EQ(form.TextBox1->utf8Text(), GetParam().result);
    EXPECT_EQ(form.lblstatus->text(), saved);
    EXPECT_EQ(entries(m_programFolder), QStringList());
    // Once more changes nothing: no empty line is added at the end each time.
    EXPECT_TRUE(form.lineTools()->SLoesch(GetParam().find));
    EXPECT_EQ(form.TextBox1->utf8Text(), GetParam().result);

    if (GetParam().result != GetParam().text) {
        form.TextBox1->undo();
        EXPECT_EQ(form.TextBox1->utf8Text(), GetParam().text);
        EXPECT_FALSE(form.TextBox1->isUndoAvailable());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ZeileLoeschen,
    ::testing::Values(EmptyCase{"Example", "xabcx\r\nABC\r\nq", "abc", "\r\nABC\r\nq\r\n"},
                      EmptyCase{"EndingWithCrLfDoesNotGrow", "a\r\n", "zzz", "a\r\n"},
                      EmptyCase{"EmptyTextEmptiesEveryLine", "a\r\n\r\nb", "", "\r\n\r\n\r\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(LineToolsTest, LeftoversAndLinksAtTheNamesAreReplacedNotFollowed)
{
    const QDir program(m_programFolder);
    const QString victim = makeFile(QStringLiteral("victim.txt"), "nicht anfassen");
    writeBytes(program.filePath(QStringLiteral("kelo.tmp")), "alter Rest\r\n");
    ASSERT_TRUE(QFile::link(victim, program.filePath(QStringLiteral("Temp_kelo.tmp"))));

    Form1 &form = startWith("a  b\r\n\r\nc");
    form.cmdDelEmpty->click();
    EXPECT_EQ(form.TextBox1->utf8Text(), QByteArray("a b\r\nc\r\n"));
    EXPECT_EQ(entries(m_programFolder), QStringList());
    EXPECT_EQ(readBytes(victim), QByteArray("nicht anfassen"));

    ASSERT_TRUE(QFile::link(victim, program.filePath(QStringLiteral("kelo.tmp"))));
    EXPECT_TRUE(form.lineTools()->SLoesch(QStringLiteral("c")));
    EXPECT_EQ(form.TextBox1->utf8Text(), QByteArray("a b\r\n\r\n"));
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

// A folder that cannot be removed stands where a file must be made.
void blockName(const QString &folder, const QString &name)
{
    ASSERT_TRUE(QDir(folder).mkpath(name + QStringLiteral("/drin")));
}

TEST_F(LineToolsTest, TemporaryFileThatCannotBeMadeKeepsTheText)
{
    blockName(m_programFolder, QStringLiteral("kelo.tmp"));
    const QByteArray text = "a\r\n\r\n  b";
    Form1 &form = startWith(text);

    form.cmdDelEmpty->click();
    expectUnchangedWithFehlerBox(form, text, QStringLiteral("kelo.tmp"));

    m_messages.clear();
    EXPECT_FALSE(form.lineTools()->SLoesch(QStringLiteral("a")));
    expectUnchangedWithFehlerBox(form, text, QStringLiteral("kelo.tmp"));
    EXPECT_EQ(entries(m_programFolder), QStringList{QStringLiteral("kelo.tmp")});
}

TEST_F(LineToolsTest, WorkingCopyThatCannotBeMadeKeepsTheTextAndLeavesNoFile)
{
    blockName(m_programFolder, QStringLiteral("Temp_kelo.tmp"));
    const QByteArray text = "a\r\n\r\n  b";
    Form1 &form = startWith(text);

    form.cmdDelEmpty->click();
    expectUnchangedWithFehlerBox(form, text, QStringLiteral("Temp_kelo.tmp"));
    EXPECT_EQ(entries(m_programFolder), QStringList{QStringLiteral("Temp_kelo.tmp")});
}

} // namespace
} // namespace kelo::test
