// The translation in the main window: its two flag buttons, and closing the
// window while lines are out. What the translation does is tested beside a
// stand-in window (translation_test.cpp).
#include "platform/controls.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "services/testhttpserver.h"
#include "services/translation.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QDir>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using namespace std::chrono_literals;

class TranslateWindow : public Form1Fixture {
protected:
    Form1 &startWith(const QString &text)
    {
        EXPECT_TRUE(m_server.listen());
        presetSetting(key::translationPage, m_server.url());
        Form1 &form = startShown();
        form.translation()->setTimeLimit(60s);
        form.TextBox1->setText(text);
        return form;
    }

    TestHttpServer m_server;
};

// Each flag translates its way, after the one question; the window's status
// line follows.
TEST_F(TranslateWindow, TheFlagsTranslateEachWay)
{
    Form1 &form = startWith("Hallo Welt");
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();
    EXPECT_EQ(form.TextBox1->Text(), "HALLO WELT\r\n");
    EXPECT_EQ(form.lblstatus->text(), "temporäre Datei wurde gelöscht");
    form.cmd_EN2DE->click();
    ASSERT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(m_server.requests()[0].query("langpair"), "de|en");
    EXPECT_EQ(m_server.requests()[1].query("langpair"), "en|de");
    EXPECT_EQ(m_messages.shown().size(), 1);
}

// Closing the window while line 2 is out cancels the run: the window stays
// with its text, and no more is sent.
TEST_F(TranslateWindow, ClosingWhileALineIsOutKeepsTheTextAndTheWindow)
{
    QString shown; // the progress box's line and button while line 2 is out
    m_server.setHandler([&](const RecordedRequest &request) {
        if (m_server.requests().size() < 2)
            return TestHttpServer::upperCaseEcho(request);
        QTimer::singleShot(0, m_window.get(), [&] {
            auto *progress = m_window->findChild<QProgressDialog *>();
            auto *cancel = progress->findChild<QPushButton *>();
            if (QTest::qWaitFor([&] { return progress->labelText().startsWith(u"Zeile 2"); }))
                shown = progress->labelText() + u'/' + cancel->text();
            m_window->close();
        });
        return CannedAnswer{.body = "<span id=result_box>'x'</span>",
                            .mode = CannedAnswer::Mode::Stall};
    });
    Form1 &form = startWith("eins\r\nzwei\r\ndrei");
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();
    EXPECT_EQ(shown, "Zeile 2 von 3/Abbrechen");
    EXPECT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(m_messages.shown().size(), 1); // the question only
    EXPECT_EQ(form.TextBox1->Text(), "eins\r\nzwei\r\ndrei");
    EXPECT_TRUE(form.lblstatus->text().startsWith("Übersetzung abgebrochen"));
    EXPECT_TRUE(QDir(m_programFolder).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_FALSE(form.findChild<QProgressDialog *>());
    EXPECT_TRUE(form.isVisible());
}

} // namespace
} // namespace kelo::test
