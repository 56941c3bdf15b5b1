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
    void SetUp() override { ASSERT_TRUE(m_sandbox.isValid()); }

    void create(const QString &path)
    {
        ASSERT_EQ(m_store.RegSetValue(HKEY_CLASSES_ROOT, path, REG_SZ, QStringLiteral("/p %1")),
                  ERROR_SUCCESS);
    }
    bool exists(const QString &path)
    {
        HKEY key = 0;
        const bool found = m_store.RegOpenKeyEx(HKEY_CLASSES_ROOT, path, 0, 0, &key) == 0;
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

TEST_F(ContextMenuTest, RemovingWhatIsNotThereChangesNothingAndIsNoFailure)
{
    const ContextMenuEntry::Removal removal = m_entry.Delete_ContextItem(verb);
    EXPECT_FALSE(removal.deleted);
    EXPECT_EQ(removal.error, std::nullopt);
    EXPECT_FALSE(QFile::exists(m_store.fileName()));
}

TEST_F(ContextMenuTest, ACommandKeyInCapitalsIsRemovedWithTheVerb)
{
    create(QStringLiteral("*\\SHELL\\KELO THE SCRIV\\COMMAND"));
    const ContextMenuEntry::Removal removal = m_entry.Delete_ContextItem(verb);
    EXPECT_TRUE(removal.deleted);
    EXPECT_EQ(removal.error, std::nullopt);
    EXPECT_FALSE(exists(QStringLiteral("*\\shell\\Kelo the Scriv")));
    EXPECT_TRUE(exists(QStringLiteral("*\\shell")));
}

TEST_F(ContextMenuTest, ACommandWithSubkeysStopsTheRemovalAtOnce)
{
    create(QStringLiteral("*\\shell\\Kelo the Scriv\\command\\extra"));
    const ContextMenuEntry::Removal removal = m_entry.Delete_ContextItem(verb);
    EXPECT_FALSE(removal.deleted);
    ASSERT_TRUE(removal.error.has_value());
    EXPECT_TRUE(removal.error->contains(QStringLiteral("Unterschlüssel")));
    EXPECT_TRUE(exists(QStringLiteral("*\\shell\\Kelo the Scriv\\command\\extra")));
}

TEST_F(ContextMenuTest, AVerbWithOtherSubkeysLosesOnlyItsCommand)
{
    create(QStringLiteral("*\\shell\\Kelo the Scriv\\command"));
    create(QStringLiteral("*\\shell\\Kelo the Scriv\\ddeexec"));
    ASSERT_EQ(m_mirror.sync(*m_store.snapshot()), std::nullopt);
    ASSERT_TRUE(QFile::exists(m_mirror.serviceMenuPath()));

    const ContextMenuEntry::Removal removal = m_entry.Delete_ContextItem(verb);
    EXPECT_FALSE(removal.deleted);
    EXPECT_TRUE(removal.error.has_value());
    EXPECT_FALSE(exists(QStringLiteral("*\\shell\\Kelo the Scriv\\command")));
    EXPECT_TRUE(exists(QStringLiteral("*\\shell\\Kelo the Scriv\\ddeexec")));
    // Without its command the entry is gone from the desktop.
    EXPECT_FALSE(QFile::exists(m_mirror.serviceMenuPath()));
    EXPECT_FALSE(QFile::exists(m_mirror.desktopEntryPath()));
}

TEST_F(ContextMenuTest, AVerbWithoutCommandStays)
{
    create(QStringLiteral("*\\shell\\Kelo the Scriv"));
    const ContextMenuEntry::Removal removal = m_entry.Delete_ContextItem(verb);
    EXPECT_FALSE(removal.deleted);
    EXPECT_EQ(removal.error, std::nullopt);
    EXPECT_TRUE(exists(QStringLiteral("*\\shell\\Kelo the Scriv")));
}

} // namespace
} // namespace kelo::test
