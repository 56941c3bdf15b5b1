// The context-menu verb: registering, and removing it step by step with the
// early returns, whatever the keys looked like before.
#include "desktoptools.h"
#include "services/contextmenu.h"
#include "support/testenv.h"

#include <QFile>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using namespace reg;

const QString verb = QStringLiteral("Kelo the Scriv");

class ContextMenuTest : public ::testing::Test {
protected:
    bool exists(const QString &path)
    {
        HKEY key = 0;
        const bool found = m_store.RegOpenKeyEx(HKEY_CLASSES_ROOT, "*\\" + path, 0, 0, &key) == 0;
        m_store.RegCloseKey(key);
        return found;
    }

    DesktopSandbox m_sandbox;
    KeyStore m_store{KeyStore::fileIn(m_sandbox.folders().dataHome)};
    DesktopMirror m_mirror{m_sandbox.folders(), verb, [](const QString &) { return QStringList(); },
                           [](const QString &, const QStringList &) { return ToolRun{}; }};
    ContextMenuEntry m_entry{m_store, m_mirror};
};

TEST_F(ContextMenuTest, RegisteringTwiceLeavesOneUnquotedEntry)
{
    const QString program = QStringLiteral("/opt/Kelo the Scriv/kelo");
    ASSERT_EQ(m_entry.ProgrammRegistrierung(verb, program), std::nullopt);
    ASSERT_EQ(m_entry.ProgrammRegistrierung(verb, program), std::nullopt);
    const RegKey root = *m_store.snapshot();
    const RegKey *shell = root.findPath({QStringLiteral("*"), QStringLiteral("shell")});
    ASSERT_NE(shell, nullptr);
    ASSERT_EQ(shell->subkeys.size(), 1);
    ASSERT_EQ(shell->subkeys[0].subkeys.size(), 1);
    EXPECT_EQ(shell->subkeys[0].subkeys[0].value, QStringLiteral("/opt/Kelo the Scriv/kelo %1"));
    EXPECT_TRUE(QFile::exists(m_mirror.desktopEntryPath()));
}

// Keys below "*" before; deleted; a part of the error; a key that must
// be left and one that must be gone afterwards.
using Removal = std::tuple<QStringList, bool, QString, QString, QString>;
class RemovalTest : public ContextMenuTest, public ::testing::WithParamInterface<Removal> {};

TEST_P(RemovalTest, StopsAtTheFirstStepThatCannotBeDone)
{
    const auto &[before, deleted, errorPart, left, gone] = GetParam();
    for (const QString &key : before)
        ASSERT_EQ(
            m_store.RegSetValue(HKEY_CLASSES_ROOT, "*\\" + key, REG_SZ, QStringLiteral("/p %1")),
            0);
    ASSERT_EQ(m_mirror.sync(*m_store.snapshot()), std::nullopt);

    const ContextMenuEntry::Removal removal = m_entry.Delete_ContextItem(verb);
    EXPECT_EQ(removal.deleted, deleted);
    EXPECT_EQ(removal.error.has_value(), !errorPart.isEmpty());
    EXPECT_TRUE(removal.error.value_or(QString()).contains(errorPart));
    EXPECT_TRUE(exists(left)) << left.toStdString();
    EXPECT_TRUE(gone.isEmpty() || !exists(gone)) << gone.toStdString();
    // The desktop follows the store: without the command no entry.
    EXPECT_EQ(QFile::exists(m_mirror.desktopEntryPath()), exists("shell\\" + verb + "\\command"));
    EXPECT_EQ(QFile::exists(m_mirror.serviceMenuPath()), exists("shell\\" + verb + "\\command"));
}

const QString verbKey = QStringLiteral("shell\\Kelo the Scriv");

INSTANTIATE_TEST_SUITE_P(
    Keys, RemovalTest,
    ::testing::Values(Removal{{"shell\\x"}, false, {}, "shell\\x", verbKey},
                      Removal{{"SHELL\\KELO THE SCRIV\\COMMAND"}, true, {}, "shell", verbKey},
                      Removal(QStringList{verbKey + "\\command", verbKey + "\\command\\extra"},
                              false, "Unterschlüssel", verbKey + "\\command\\extra", QString()),
                      Removal(QStringList{verbKey + "\\command", verbKey + "\\ddeexec"}, false,
                              "Unterschlüssel", verbKey + "\\ddeexec", verbKey + "\\command"),
                      Removal{{verbKey}, false, {}, verbKey, verbKey + "\\command"}));

} // namespace
} // namespace kelo::test
