// The status-line console: the command words exactly, their near misses, the
// double click, the terminal and the way out.
#include "platform/productinfo.h"
#include "platform/settingsstore.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <utility>

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

class Commands :
    public Console,
    public ::testing::WithParamInterface<std::pair<const char *, Effect>> {};

TEST_P(Commands, OnlyTheExactWordsDoSomething)
{
    const auto [typed, effect] = GetParam();
    enter(QString::fromUtf8(typed));
    QString expectedStatus = QString::fromUtf8(typed);
    QList<QUrl> expectedUrls;
    if (effect == Effect::DownloadPage || effect == Effect::Author) {
        const bool author = effect == Effect::Author;
        expectedStatus = author ? product::authorContactLine : product::downloadPage;
        expectedUrls = {QUrl(author ? product::authorPage : product::downloadPage)};
    }
    EXPECT_EQ(status()->text(), expectedStatus);
    EXPECT_EQ(m_launcher.urls, expectedUrls);
    EXPECT_EQ(m_launcher.terminalsStarted, effect == Effect::Terminal ? 1 : 0);
    EXPECT_EQ(m_window->isVisible(), effect != Effect::Exit);
    // The exit words take the title bar's way out, whose shut-down writes the settings.
    EXPECT_EQ(setting(key::scheme) == QStringLiteral("blau"), effect == Effect::Exit);
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

using enum Effect;
INSTANTIATE_TEST_SUITE_P(
    Words, Commands,
    ::testing::Values(std::pair{"help", DownloadPage}, std::pair{"info", DownloadPage},
                      std::pair{"quentor", DownloadPage}, std::pair{"DOS", Terminal},
                      std::pair{"dos", Terminal}, std::pair{"X", Exit}, std::pair{"x", Exit},
                      std::pair{"EXIT", Exit}, std::pair{"exit", Exit}, std::pair{"autor", Author},
                      // Near misses: other cases, blanks, more or less.
                      std::pair{"Help", None}, std::pair{" help", None}, std::pair{"help ", None},
                      std::pair{"HELP", None}, std::pair{"Dos", None}, std::pair{"Exit", None},
                      std::pair{"xx", None}, std::pair{"Autor", None}));

TEST_F(Console, EnterRunsAtMostOneCommandAndAFailedTerminalIsReported)
{
    enter(QString());
    const QString huge(10000, u'x');
    enter(huge);
    EXPECT_EQ(status()->text(), huge);
    enter(QStringLiteral("help"));
    QTest::keyClick(status(), Qt::Key_Return); // the address left behind is no command
    EXPECT_EQ(status()->text(), product::downloadPage);
    EXPECT_EQ(m_launcher.urls.size(), 1);
    status()->setText(QStringLiteral("info"));
    QTest::keyClick(status(), Qt::Key_Return, Qt::ControlModifier); // Ctrl+Enter is no Enter
    EXPECT_EQ(m_launcher.urls.size(), 1);
    QTest::keyClick(status(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(m_launcher.urls.size(), 2);
    QTest::mouseDClick(status(), Qt::LeftButton); // empties whatever the line shows
    EXPECT_EQ(status()->text(), QString());

    m_launcher.terminalStarts = false; // a terminal that cannot start is reported
    enter(QStringLiteral("dos"));
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_TRUE(m_messages.texts().first().contains(QStringLiteral("kein Terminal")));
    EXPECT_EQ(m_messages.shown().first().icon, MsgIcon::Critical);
}

} // namespace
} // namespace kelo::test
