// The services as the main window's buttons reach them: the About window, the translation
// flags and the desktop buttons, whose status line never confirms a failure.
#include "platform/controls.h"
#include "platform/productinfo.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "platform/units.h"
#include "services/desktopfiles.h"
#include "services/desktopintegration.h"
#include "services/form2.h"
#include "services/keystore.h"
#include "services/testhttpserver.h"
#include "services/translation.h"
#include "services/translationdialog.h"
#include "shell/optionspanel.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using namespace std::chrono_literals;
using namespace desktop;
using namespace reg;

// The About window goes beside the main window when the screen has room for it, exactly so
// much included, and else to the screen's left edge, at the main window's height.
TEST(Placement, BesideTheMainWindowWhenThereIsRoomElseAtTheLeftEdge)
{
    // Screen width, main window left, top and width, the About window's left.
    const std::tuple<double, double, double, double, double> cases[] = {
        {19200, 1395, 300, 12285, 13680}, // room 5520
        {19200, 1396, 300, 12285, 0},
        {19200, -3000, 45, 12285, 9285}};
    for (const auto &[screenWidth, mainLeft, mainTop, mainWidth, left] : cases) {
        const AboutPlacement placement =
            placeAboutWindow(screenWidth, mainLeft, mainTop, mainWidth);
        EXPECT_EQ(placement.left, left) << mainLeft;
        EXPECT_EQ(placement.top, mainTop) << mainLeft;
    }
}

using AboutWindow = Form1Fixture;

// It opens once, placed and sliding open; a second click shows it as it is; after closing it is
// built and placed anew. The link opens the download page, the pictures swap under the mouse.
TEST_F(AboutWindow, OpensOnceBesideTheMainWindowAndAfterClosingIsBuiltAnew)
{
    start().move(0, 30);
    m_window->setWindowWidthTwips(6000);
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    ASSERT_GE(pixelsToTwips(m_window->screen()->availableGeometry().width()), 6000 + 5520)
        << "the test screen is too narrow";
    m_window->Info1->click();
    QPointer<Form2> form2 = m_window->findChild<Form2 *>();
    ASSERT_NE(form2, nullptr);
    EXPECT_EQ(form2->pos(), QPoint(twipsToPixels(6000), 30));
    // It slides open in steps of 200 twips to at least its designed width.
    EXPECT_GE(form2->windowWidthTwips(), Form2::designWidthTwips());
    EXPECT_LT(form2->windowWidthTwips(), Form2::designWidthTwips() + 200);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    QTest::mouseClick(form2->Label5, Qt::LeftButton);
    EXPECT_EQ(m_launcher.urls, QList<QUrl>{QUrl(product::downloadPage)});
    moveMouse(form2->Image1, QPoint(5, 5));
    EXPECT_TRUE(form2->Image2->isVisible() && !form2->Image1->isVisible());
    ASSERT_EQ(form2->childAt(QPoint(3, 3)), nullptr);
    moveMouse(form2, QPoint(3, 3));
    EXPECT_TRUE(form2->Image1->isVisible() && !form2->Image2->isVisible());

    form2->move(5, 300);
    form2->setWindowWidthTwips(2000);
    const QSize size = form2->size();
    m_window->Info2->show();
    m_window->Info2->click();
    EXPECT_EQ(m_window->findChildren<Form2 *>(), QList<Form2 *>{form2.data()});
    EXPECT_EQ(form2->pos(), QPoint(5, 300));
    EXPECT_EQ(form2->size(), size);
    form2->Command1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form2.isNull(); }));

    m_window->Info1->click();
    form2 = m_window->findChild<Form2 *>();
    ASSERT_NE(form2, nullptr);
    EXPECT_EQ(form2->pos(), QPoint(twipsToPixels(6000), 30));
    moveMouse(form2->Image1, QPoint(5, 5));
    QTest::mouseClick(form2->Image2, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form2.isNull(); }));
}

class TranslateWindow : public Form1Fixture {
protected:
    TestHttpServer m_server;
};

// A right click or the context-menu key on either flag opens the choice of the service and a
// left click translates its way; closing the window while line 2 is out cancels the run, and
// the window stays with its text.
TEST_F(TranslateWindow, TheFlagsChooseOrTranslateAndClosingWhileALineIsOutKeepsTheWindow)
{
    ASSERT_TRUE(m_server.listen());
    presetSetting(key::translationPage, m_server.url());
    Form1 &form = startShown();
    form.translation()->setTimeLimit(60s);
    form.TextBox1->setText("Hallo");
    const std::pair<PictureButton *, QContextMenuEvent::Reason> clicks[] = {
        {form.cmd_DE2EN, QContextMenuEvent::Mouse}, {form.cmd_EN2DE, QContextMenuEvent::Keyboard}};
    for (const auto &[flag, reason] : clicks) {
        QString shown;
        QTimer::singleShot(0, &form, [&] {
            if (auto *dialog = form.findChild<TranslationServiceDialog *>()) {
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

    m_server.setHandler([&](const RecordedRequest &request) {
        if (m_server.requests().size() < 4)
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
    form.TextBox1->setText("eins\r\nzwei\r\ndrei");
    form.cmd_DE2EN->click();
    EXPECT_EQ(m_server.requests().size(), 4);
    EXPECT_EQ(m_messages.shown().size(), 1); // the question only
    EXPECT_EQ(form.TextBox1->Text(), "eins\r\nzwei\r\ndrei");
    EXPECT_TRUE(form.lblstatus->text().startsWith("Übersetzung abgebrochen"));
    EXPECT_TRUE(form.isVisible());
}

const QString registered = "Kelo the Scriv ist nun im Kontextmenü des Explorers verfügbar !";
const QString removed =
    "Der Eintrag ins Kontextmenü des Explorers für Kelo the Scriv wurde gelöscht !";

// The buttons of the main window, with Kelo installed into a prefix beside packaging/'s desktop
// entry: the entries name the installed program and keep out of the application menu, the
// status line says in German what was done, and a failure is reported, never confirmed.
class DesktopButtons : public Form1Fixture {
protected:
    QString command()
    {
        QString value = "<missing>";
        KeyStore(KeyStore::fileIn(m_dataHome))
            .RegQueryValue(HKEY_CLASSES_ROOT, "*\\shell\\Kelo the Scriv\\command", &value);
        return value;
    }
    QString desktopEntry() const { return m_dataHome + "/applications/kelo-the-scriv.desktop"; }
};

TEST_F(DesktopButtons, RegisterRemoveAndAssociateAndAFailureIsNotConfirmed)
{
    const QDir prefix(m_root.filePath("prefix"));
    ASSERT_TRUE(prefix.mkpath("bin") && prefix.mkpath("share/applications"));
    const QString packaged = QStringLiteral(KELO_PACKAGING_DIR "/") + installedEntryFileName;
    ASSERT_TRUE(
        QFile::copy(packaged, prefix.filePath("share/applications/") + installedEntryFileName));
    // The menu's entry shows the icon installed under the same id.
    EXPECT_TRUE(
        readBytes(packaged).contains(QByteArray("\nIcon=" + applicationId.toUtf8() + "\n")));
    m_programFolder = prefix.filePath("bin");
    m_dataDirs = {prefix.filePath("share")};
    const QString program = prefix.filePath("bin/kelo");

    Form1 &form = start();
    form.Frame1->cmd_register->click();
    form.Frame1->cmd_register->click();
    EXPECT_EQ(form.lblstatus->text(), registered);
    EXPECT_EQ(command(), program + " %1"); // unquoted
    const RegKey root = *KeyStore(KeyStore::fileIn(m_dataHome)).snapshot();
    EXPECT_EQ(root.findPath({"*", "shell"})->subkeys.size(), 1);
    const QByteArray entry = readBytes(desktopEntry());
    EXPECT_TRUE(entry.contains(QByteArray("\nExec=\"" + program.toUtf8() + "\" %f\n")) &&
                entry.contains("\nNoDisplay=true\n"))
        << entry.constData();
    form.Frame1->cmd_delReg->click();
    EXPECT_EQ(form.lblstatus->text(), removed);
    EXPECT_EQ(command(), "<missing>");
    EXPECT_FALSE(QFile::exists(desktopEntry()));
    // Nothing left to remove: the entry is gone all the same.
    form.setStatus(QString());
    form.Frame1->cmd_delReg->click();
    EXPECT_EQ(form.lblstatus->text(), removed);
    EXPECT_TRUE(m_messages.shown().isEmpty());
    // A command with a subkey of its own cannot be removed.
    KeyStore(KeyStore::fileIn(m_dataHome))
        .RegSetValue(HKEY_CLASSES_ROOT, "*\\shell\\Kelo the Scriv\\command\\x", REG_SZ, {});
    form.Frame1->cmd_delReg->click();
    EXPECT_TRUE(form.lblstatus->text().startsWith(
        "Der Eintrag ins Kontextmenü für Kelo the Scriv konnte nicht gelöscht werden:"))
        << form.lblstatus->text().toStdString();
    EXPECT_EQ(m_messages.shown().size(), 1);

    form.Frame1->txt_reggie->setText("TXT");
    form.Frame1->txtRegister->click();
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_TRUE(m_messages.texts()[1].endsWith("open-Anweisung: " + program + " %1"));
    EXPECT_TRUE(
        readBytes(m_configHome + "/mimeapps.list").contains("text/plain=kelo-the-scriv.desktop;"));

    // Nowhere to write: the box names the folder.
    ASSERT_TRUE(QDir(m_dataHome).removeRecursively());
    writeBytes(m_dataHome, "a file where the data folder belongs");
    form.Frame1->cmd_register->click();
    EXPECT_TRUE(form.lblstatus->text().startsWith(
        "Kelo the Scriv konnte nicht ins Kontextmenü eingetragen werden:"))
        << form.lblstatus->text().toStdString();
    ASSERT_EQ(m_messages.shown().size(), 3);
    EXPECT_EQ(m_messages.shown()[2].icon, MsgIcon::Critical);
    EXPECT_TRUE(m_messages.texts()[2].contains(QDir::toNativeSeparators(m_dataHome)));
}

} // namespace
} // namespace kelo::test
