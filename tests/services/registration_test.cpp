// The context-menu verb and the association of an extension on the key
// store: the keys written, the steps of a removal, what is refused and what
// the boxes say (the desktop mirrored without its tools), and the options
// panel's buttons for them, which never confirm a failure.
#include "desktoptools.h"
#include "platform/controls.h"
#include "platform/messagebox.h"
#include "services/contextmenu.h"
#include "services/filetypeassociation.h"
#include "shell/optionspanel.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using namespace reg;

const QString verb = "Kelo the Scriv";

class RegistrationTest : public ::testing::Test {
protected:
    QString value(const QString &path)
    {
        QString data = "<missing>";
        m_store.RegQueryValue(HKEY_CLASSES_ROOT, path, &data);
        return data;
    }
    bool exists(const QString &path) { return value("*\\" + path) != QLatin1String("<missing>"); }
    bool associate(const QString &typed, KeyStore *store = nullptr)
    {
        return FileTypeAssociation(store ? *store : m_store, m_mirror, m_messages, m_program)
            .DateitypVerknuepfen(typed);
    }

    DesktopSandbox m_sandbox;
    KeyStore m_store{KeyStore::fileIn(m_sandbox.folders.dataHome)};
    // Fast and independent of what is installed: txt is plain text, no tools.
    DesktopMirror m_mirror{m_sandbox.folders, verb,
                           [](const QString &name) {
                               return name == "x.txt" ? QStringList{"text/plain"} : QStringList{};
                           },
                           [](const QString &, const QStringList &) { return ToolRun{}; }};
    ContextMenuEntry m_entry{m_store, m_mirror};
    ScriptedMessageBoxes m_messages;
    QString m_program = "/opt/Kelo the Scriv/kelo";
};

// Keys below "*" before; deleted; a part of the error; a key that must
// be left and one that must be gone afterwards.
using Removal = std::tuple<QStringList, bool, QString, QString, QString>;
class RemovalTest : public RegistrationTest, public ::testing::WithParamInterface<Removal> {};

TEST_P(RemovalTest, StopsAtTheFirstStepThatCannotBeDone)
{
    const auto &[before, deleted, errorPart, left, gone] = GetParam();
    for (const QString &key : before)
        ASSERT_EQ(m_store.RegSetValue(HKEY_CLASSES_ROOT, "*\\" + key, REG_SZ, "/p %1"), 0);
    ASSERT_EQ(m_mirror.sync(*m_store.snapshot()), std::nullopt);
    // The desktop follows the store, whatever the spelling: an entry while there is a command.
    const auto mirrored = [&] { return QFile::exists(m_mirror.desktopEntryPath()); };
    EXPECT_EQ(mirrored(), exists("shell\\" + verb + "\\command"));

    const ContextMenuEntry::Removal removal = m_entry.Delete_ContextItem(verb);
    EXPECT_EQ(removal.deleted, deleted);
    EXPECT_EQ(removal.error.has_value(), !errorPart.isEmpty());
    EXPECT_TRUE(removal.error.value_or(QString()).contains(errorPart));
    EXPECT_TRUE(exists(left)) << left.toStdString();
    EXPECT_TRUE(gone.isEmpty() || !exists(gone)) << gone.toStdString();
    EXPECT_EQ(mirrored(), exists("shell\\" + verb + "\\command"));
    EXPECT_EQ(QFile::exists(m_mirror.serviceMenuPath()), exists("shell\\" + verb + "\\command"));
}

const QString verbKey = "shell\\Kelo the Scriv";

INSTANTIATE_TEST_SUITE_P(
    Keys, RemovalTest,
    ::testing::Values(Removal{{"shell\\x"}, false, {}, "shell\\x", verbKey},
                      Removal{{"SHELL\\KELO THE SCRIV\\COMMAND"}, true, {}, "shell", verbKey},
                      Removal(QStringList{verbKey + "\\command", verbKey + "\\command\\extra"},
                              false, "Unterschlüssel", verbKey + "\\command\\extra", QString()),
                      Removal(QStringList{verbKey + "\\command", verbKey + "\\ddeexec"}, false,
                              "Unterschlüssel", verbKey + "\\ddeexec", verbKey + "\\command"),
                      Removal{{verbKey}, false, {}, verbKey, verbKey + "\\command"}));

// What was typed, X and T.
using AcceptedExtension = ::testing::TestWithParam<std::tuple<QString, QString, QString>>;

TEST_P(AcceptedExtension, GivesTheKeyAndTheTypeName)
{
    const auto &[typed, X, T] = GetParam();
    EXPECT_EQ(extensionProblem(typed), std::nullopt);
    EXPECT_EQ(deriveExtensionKeys(typed).X, X);
    EXPECT_EQ(deriveExtensionKeys(typed).T, T);
}

const QString a250(250, u'a');
const QString umlauts125(125, u'ä'); // 250 bytes in UTF-8

INSTANTIATE_TEST_SUITE_P(
    Typed, AcceptedExtension,
    ::testing::Values(std::tuple{"txt", ".txt", "txtfile"}, std::tuple{".txt", ".txt", "txtfile"},
                      std::tuple{"TXT", ".txt", "txtfile"}, std::tuple{".TXT", ".txt", "txtfile"},
                      std::tuple{".", ".", "file"}, std::tuple{" txt ", ". txt ", " txt file"},
                      std::tuple{". ", ". ", " file"}, std::tuple{"ÄÖÜ", ".äöü", "äöüfile"},
                      std::tuple{"Tar.GZ", ".tar.gz", "tar.gzfile"},
                      std::tuple{a250, "." + a250, a250 + "file"},
                      std::tuple{umlauts125, "." + umlauts125, umlauts125 + "file"}));

// What was typed, and a part of the message.
class RefusedExtension :
    public RegistrationTest,
    public ::testing::WithParamInterface<std::tuple<QString, QString>> {};

TEST_P(RefusedExtension, IsNamedInAStopBoxAndNothingIsWritten)
{
    const auto &[typed, reason] = GetParam();
    EXPECT_FALSE(associate(typed));
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_TRUE(m_messages.shown()[0].text.contains(reason)) << m_messages.texts()[0].toStdString();
    EXPECT_EQ(m_messages.shown()[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(QDir(m_sandbox.folders.dataHome).isEmpty() &&
                QDir(m_sandbox.folders.configHome).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Typed, RefusedExtension,
    ::testing::Values(std::tuple{"", "Dateiendung benötigt."}, std::tuple{"a/b", "\"/\""},
                      std::tuple{"a\\b", "\"\\\""}, std::tuple{"..", "zwei Punkte"},
                      std::tuple{"txt..bak", "zwei Punkte"}, std::tuple{"t\tx", "Steuerzeichen"},
                      std::tuple{"*", "Platzhalter"}, std::tuple{"t?t", "Platzhalter"},
                      std::tuple{"[tx]t", "Platzhalter"}, std::tuple{a250 + "a", "zu lang"},
                      std::tuple{umlauts125 + "ä", "zu lang"}));

TEST_F(RegistrationTest, WritesTheThreeValuesAndShowsThem)
{
    ASSERT_TRUE(associate(".TXT"));
    EXPECT_EQ(value(".txt"), "txtfile");
    EXPECT_EQ(value("txtfile\\shell\\open\\command"), "/opt/Kelo the Scriv/kelo %1");
    EXPECT_EQ(value("txtfile\\DefaultIcon"), "/opt/Kelo the Scriv/kelo,0");
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_EQ(m_messages.shown()[0].text, "Dateityp: .txt\r\nRegistriert auf: txtfile\r\n"
                                          "open-Anweisung: /opt/Kelo the Scriv/kelo %1");
    EXPECT_EQ(m_messages.shown()[0].icon, MsgIcon::None);
}

TEST_F(RegistrationTest, AFailedWriteIsReportedInsteadOfTheSummary)
{
    // The desktop entries' folder is taken by a file: the keys are written,
    // the desktop does not follow, and the box says so.
    writeBytes(m_sandbox.folders.dataHome + "/applications", "in the way");
    EXPECT_FALSE(associate("txt"));
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_EQ(m_messages.shown()[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(m_messages.texts()[0].startsWith(
                    "Die Dateiendung .txt konnte nicht mit Kelo the Scriv verknüpft werden:") &&
                m_messages.texts()[0].contains("applications"));

    // The key store's folder is taken by a file: nothing can be written.
    DesktopSandbox other;
    writeBytes(other.folders.dataHome + "/Kelo", "in the way");
    KeyStore blocked(KeyStore::fileIn(other.folders.dataHome));
    EXPECT_FALSE(associate("txt", &blocked));
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_EQ(m_messages.shown()[1].icon, MsgIcon::Critical);
    EXPECT_FALSE(m_messages.shown()[1].text.contains("Registriert auf"));
}

const QString registered = "Kelo the Scriv ist nun im Kontextmenü des Explorers verfügbar !";
const QString removed =
    "Der Eintrag ins Kontextmenü des Explorers für Kelo the Scriv wurde gelöscht !";

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

TEST_F(DesktopButtons, RegisterRemoveAndAssociateAndAFailedRemovalIsNotConfirmed)
{
    Form1 &form = start();
    form.Frame1->cmd_register->click();
    form.Frame1->cmd_register->click();
    EXPECT_EQ(form.lblstatus->text(), registered);
    EXPECT_EQ(command(), form.strProgPfad + " %1"); // unquoted
    const RegKey root = *KeyStore(KeyStore::fileIn(m_dataHome)).snapshot();
    EXPECT_EQ(root.findPath({"*", "shell"})->subkeys.size(), 1);
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
    EXPECT_EQ(m_messages.texts()[1],
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
    EXPECT_TRUE(m_messages.texts()[0].contains(QDir::toNativeSeparators(m_dataHome)));
}

} // namespace
} // namespace kelo::test
