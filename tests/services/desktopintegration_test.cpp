// The options panel's desktop buttons on a real main window: what the status
// line and the boxes say, and that a failure is never confirmed.
#include "platform/controls.h"
#include "services/keystore.h"
#include "shell/optionspanel.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

const QString registered = "Kelo the Scriv ist nun im Kontextmenü des Explorers verfügbar !";
const QString removed =
    "Der Eintrag ins Kontextmenü des Explorers für Kelo the Scriv wurde gelöscht !";

class DesktopButtons : public Form1Fixture {
protected:
    QString command()
    {
        KeyStore store(KeyStore::fileIn(m_dataHome));
        QString value = "<missing>";
        store.RegQueryValue(reg::HKEY_CLASSES_ROOT, "*\\shell\\Kelo the Scriv\\command", &value);
        return value;
    }
    QString desktopEntry() const { return m_dataHome + "/applications/kelo-the-scriv.desktop"; }
};

TEST_F(DesktopButtons, RegisterAndRemoveTheContextEntryAndAssociateAnExtension)
{
    Form1 &form = start();
    form.Frame1->cmd_register->click();
    EXPECT_EQ(form.lblstatus->text(), registered);
    EXPECT_EQ(command(), form.strProgPfad + " %1");
    EXPECT_TRUE(QFile::exists(desktopEntry()));

    form.Frame1->cmd_delReg->click();
    EXPECT_EQ(form.lblstatus->text(), removed);
    EXPECT_EQ(command(), "<missing>");
    EXPECT_FALSE(QFile::exists(desktopEntry()));
    // Nothing left to remove: the entry is gone all the same.
    form.setStatus(QString());
    form.Frame1->cmd_delReg->click();
    EXPECT_EQ(form.lblstatus->text(), removed);
    EXPECT_TRUE(m_messages.shown().isEmpty());

    form.Frame1->txt_reggie->setText("TXT");
    form.Frame1->txtRegister->click();
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_EQ(m_messages.shown()[0].text,
              "Dateityp: .txt\r\nRegistriert auf: txtfile\r\nopen-Anweisung: " + m_programFolder +
                  "/kelo %1");
    EXPECT_TRUE(
        readBytes(m_configHome + "/mimeapps.list").contains("text/plain=kelo-the-scriv.desktop;"));
}

TEST_F(DesktopButtons, AFailedRegistrationIsReportedNotConfirmed)
{
    writeBytes(m_dataHome, "a file where the data folder belongs");
    Form1 &form = start();
    form.Frame1->cmd_register->click();
    EXPECT_TRUE(form.lblstatus->text().startsWith(
        "Kelo the Scriv konnte nicht ins Kontextmenü eingetragen werden:"))
        << form.lblstatus->text().toStdString();
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_EQ(m_messages.shown()[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(m_messages.shown()[0].text.contains(QDir::toNativeSeparators(m_dataHome)));
}

TEST_F(DesktopButtons, ARemovalTheDesktopDoesNotFollowIsReported)
{
    Form1 &form = start();
    form.Frame1->cmd_register->click();
    ASSERT_EQ(form.lblstatus->text(), registered);
    // Something that cannot be removed as a file stands where the entry was.
    QFile::remove(desktopEntry());
    QDir().mkpath(desktopEntry());
    writeBytes(desktopEntry() + "/inside", "x");

    form.Frame1->cmd_delReg->click();
    EXPECT_TRUE(form.lblstatus->text().startsWith(QStringLiteral(
        "Der Eintrag ins Kontextmenü für Kelo the Scriv konnte nicht gelöscht werden:")))
        << form.lblstatus->text().toStdString();
    EXPECT_EQ(m_messages.shown().size(), 1);
}

} // namespace
} // namespace kelo::test
