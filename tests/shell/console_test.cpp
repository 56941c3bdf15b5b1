// The status-line console: the command words exactly, their near misses, the
// double click, the terminal and the way out.
#include "shell/console.h"
#include "shell/productinfo.h"
#include "shell/startup.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

class Console : public Form1Fixture {
protected:
    void SetUp() override
    {
        Form1Fixture::SetUp();
        startShown();
    }
    QLineEdit *status() const { return m_window->lblstatus; }
    void enter(const QString &text)
    {
        status()->setText(text);
        QTest::keyClick(status(), Qt::Key_Return);
    }
};

enum class Effect { None, DownloadPage, Terminal, Exit, Author };

struct CommandCase {
    const char *text;
    Effect effect;
};

class Commands : public Console, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(Commands, OnlyTheExactWordsDoSomething)
{
    const QString typed = QString::fromUtf8(GetParam().text);
    enter(typed);
    const Effect effect = GetParam().effect;

    QString expectedStatus = typed;
    QList<QUrl> expectedUrls;
    if (effect == Effect::DownloadPage) {
        expectedStatus = product::downloadPage;
        expectedUrls = {QUrl(product::downloadPage)};
    } else if (effect == Effect::Author) {
        expectedStatus = product::authorContactLine;
        expectedUrls = {QUrl(product::authorPage)};
    }
    EXPECT_EQ(status()->text(), expectedStatus);
    EXPECT_EQ(m_launcher.urls, expectedUrls);
    EXPECT_EQ(m_launcher.terminalsStarted, effect == Effect::Terminal ? 1 : 0);
    EXPECT_EQ(m_window->isVisible(), effect != Effect::Exit);
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Words, Commands,
    ::testing::Values(CommandCase{"help", Effect::DownloadPage},
                      CommandCase{"info", Effect::DownloadPage},
                      CommandCase{"quentor", Effect::DownloadPage},
                      CommandCase{"DOS", Effect::Terminal}, CommandCase{"dos", Effect::Terminal},
                      CommandCase{"X", Effect::Exit}, CommandCase{"x", Effect::Exit},
                      CommandCase{"EXIT", Effect::Exit}, CommandCase{"exit", Effect::Exit},
                      CommandCase{"autor", Effect::Author},
                      // Near misses: other cases, blanks, more or less.
                      CommandCase{"Help", Effect::None}, CommandCase{" help", Effect::None},
                      CommandCase{"help ", Effect::None}, CommandCase{"HELP", Effect::None},
                      CommandCase{"Dos", Effect::None}, CommandCase{"Exit", Effect::None},
                      CommandCase{"xx", Effect::None}, CommandCase{"Autor", Effect::None},
                      CommandCase{"autor\t", Effect::None}, CommandCase{"hilfe", Effect::None}));

TEST_F(Console, HelpLeavesTheAddressWhichIsNoCommandTheNextTime)
{
    enter(QStringLiteral("help"));
    QTest::keyClick(status(), Qt::Key_Return);
    EXPECT_EQ(status()->text(), product::downloadPage);
    EXPECT_EQ(m_launcher.urls.size(), 1);
    // Ctrl+Enter is no Enter; the keypad's Enter is.
    status()->setText(QStringLiteral("info"));
    QTest::keyClick(status(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(m_launcher.urls.size(), 1);
    QTest::keyClick(status(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(m_launcher.urls.size(), 2);
}

TEST_F(Console, EnterInAnEmptyOrHugeStatusLineDoesNothing)
{
    enter(QString());
    EXPECT_EQ(status()->text(), QString());
    const QString huge = QString(10000, u'x');
    enter(huge);
    EXPECT_EQ(status()->text(), huge);
    enter(QStringLiteral("exit") + QString(9996, u' '));
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_TRUE(m_launcher.urls.isEmpty());
    EXPECT_EQ(m_launcher.terminalsStarted, 0);
}

TEST_F(Console, ADoubleClickEmptiesTheStatusLineWhateverItShows)
{
    m_window->setStatus(QStringLiteral("Die Datei wurde gespeichert."));
    QTest::mouseDClick(status(), Qt::LeftButton);
    EXPECT_EQ(status()->text(), QString());
}

TEST_F(Console, ATerminalThatCannotStartIsReportedInGerman)
{
    m_launcher.terminalStarts = false;
    enter(QStringLiteral("dos"));
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_TRUE(m_messages.texts().first().contains(QStringLiteral("kein Terminal")));
    EXPECT_EQ(m_messages.shown().first().icon, MsgIcon::Critical);
    EXPECT_EQ(status()->text(), QStringLiteral("dos"));
}

TEST_F(Console, ExitTakesTheWayOutOfTheTitleBar)
{
    enter(QStringLiteral("exit"));
    EXPECT_FALSE(m_window->isVisible());
    // The shut-down ran: the settings were written.
    EXPECT_EQ(setting(key::filter), QStringLiteral("*.*"));
}

} // namespace
} // namespace kelo::test
