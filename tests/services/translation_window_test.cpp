// The translation in the main window: its two flag buttons, and closing it while lines are out.
#include "platform/controls.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "services/testhttpserver.h"
#include "services/translation.h"
#include "services/translationdialog.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QProgressDialog>
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

// Closing while line 2 is out cancels the run: the window stays with its text.
TEST_F(TranslateWindow, ClosingWhileALineIsOutKeepsTheTextAndTheWindow)
{
    m_server.setHandler([&](const RecordedRequest &request) {
        if (m_server.requests().size() < 2)
            return TestHttpServer::upperCaseEcho(request);
        QTimer::singleShot(0, m_window.get(), [&] {
            auto *progress = m_window->findChild<QProgressDialog *>();
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return progress->labelText().startsWith(u"Zeile 2"); }));
            m_window->close();
        });
        return CannedAnswer{.body = "<span id=result_box>'x'</span>",
                            .mode = CannedAnswer::Mode::Stall};
    });
    Form1 &form = startWith("eins\r\nzwei\r\ndrei");
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();
    EXPECT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(m_messages.shown().size(), 1); // the question only
    EXPECT_EQ(form.TextBox1->Text(), "eins\r\nzwei\r\ndrei");
    EXPECT_TRUE(form.lblstatus->text().startsWith("Übersetzung abgebrochen"));
    EXPECT_TRUE(form.isVisible());
}

TEST_F(TranslateWindow, ARightClickOnEitherFlagChoosesTheServiceALeftClickTranslatesItsWay)
{
    Form1 &form = startWith("Hallo");
    // A right click or the context-menu key on a flag opens the choice of the service.
    const std::pair<PictureButton *, QContextMenuEvent::Reason> clicks[] = {
        {form.cmd_DE2EN, QContextMenuEvent::Mouse}, {form.cmd_EN2DE, QContextMenuEvent::Keyboard}};
    for (const auto &[flag, reason] : clicks) {
        QString shown;
        QTimer::singleShot(0, &form, [&] {
            auto *dialog = form.findChild<TranslationServiceDialog *>();
            if (dialog) {
                shown = dialog->windowTitle() + u'/' + dialog->serviceBox->currentText();
                dialog->reject();
            }
        });
        QContextMenuEvent event(reason, QPoint(3, 3), flag->mapToGlobal(QPoint(3, 3)));
        QApplication::sendEvent(flag, &event);
        EXPECT_EQ(shown, "Übersetzungsdienst/Übersetzungsseite (klassisch)");
    }
    EXPECT_TRUE(m_server.requests().isEmpty());
    EXPECT_TRUE(m_messages.shown().isEmpty());
    EXPECT_EQ(setting(key::translationService), "<missing>"); // nothing stored after Abbrechen

    m_messages.queueAnswer(MsgAnswer::Yes);
    QTest::mouseClick(form.cmd_DE2EN, Qt::LeftButton);
    EXPECT_EQ(form.TextBox1->Text(), "HALLO\r\n");
    QTest::mouseClick(form.cmd_EN2DE, Qt::LeftButton);
    ASSERT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(m_server.requests()[1].query("langpair"), "en|de");
}

} // namespace
} // namespace kelo::test
