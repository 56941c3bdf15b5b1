// The association of an extension: X and T from what was typed, the
// extensions that are refused, the three values and the boxes.
#include "desktoptools.h"
#include "platform/messagebox.h"
#include "services/filetypeassociation.h"
#include "support/testenv.h"

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using namespace reg;

// What was typed, X and T.
using AcceptedExtension = ::testing::TestWithParam<std::tuple<QString, QString, QString>>;

TEST_P(AcceptedExtension, GivesTheKeyAndTheTypeName)
{
    const auto &[typed, X, T] = GetParam();
    EXPECT_EQ(extensionProblem(typed), std::nullopt);
    const ExtensionKeys keys = deriveExtensionKeys(typed);
    EXPECT_EQ(keys.X, X);
    EXPECT_EQ(keys.T, T);
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

class AssociationTest : public ::testing::Test {
protected:
    bool associate(const QString &typed, KeyStore *store = nullptr)
    {
        return FileTypeAssociation(store ? *store : m_store, m_mirror, m_messages, m_program)
            .DateitypVerknuepfen(typed);
    }
    QString value(const QString &path)
    {
        QString data = QStringLiteral("<missing>");
        m_store.RegQueryValue(HKEY_CLASSES_ROOT, path, &data);
        return data;
    }

    DesktopSandbox m_sandbox;
    KeyStore m_store{KeyStore::fileIn(m_sandbox.folders().dataHome)};
    // Fast and independent of what is installed: txt is plain text, no tools.
    DesktopMirror m_mirror{m_sandbox.folders(), QStringLiteral("Kelo the Scriv"),
                           [](const QString &name) {
                               return name == QStringLiteral("x.txt")
                                          ? QStringList{QStringLiteral("text/plain")}
                                          : QStringList{};
                           },
                           [](const QString &, const QStringList &) { return ToolRun{}; }};
    ScriptedMessageBoxes m_messages;
    QString m_program = QStringLiteral("/opt/Kelo the Scriv/kelo");
};

// What was typed, and a part of the message.
class RefusedExtension :
    public AssociationTest,
    public ::testing::WithParamInterface<std::tuple<QString, QString>> {};

TEST_P(RefusedExtension, IsNamedInAStopBoxAndNothingIsWritten)
{
    const auto &[typed, reason] = GetParam();
    EXPECT_FALSE(associate(typed));
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_TRUE(m_messages.shown()[0].text.contains(reason))
        << m_messages.shown()[0].text.toStdString();
    EXPECT_EQ(m_messages.shown()[0].icon, MsgIcon::Critical);
    EXPECT_EQ(filesBelow(m_sandbox.folders().dataHome), QStringList());
    EXPECT_EQ(filesBelow(m_sandbox.folders().configHome), QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Typed, RefusedExtension,
    ::testing::Values(std::tuple{"", "Dateiendung benötigt."}, std::tuple{"a/b", "\"/\""},
                      std::tuple{"a\\b", "\"\\\""}, std::tuple{"..", "zwei Punkte"},
                      std::tuple{"txt..bak", "zwei Punkte"}, std::tuple{"t\tx", "Steuerzeichen"},
                      std::tuple{"*", "Platzhalter"}, std::tuple{"t?t", "Platzhalter"},
                      std::tuple{"[tx]t", "Platzhalter"}, std::tuple{a250 + "a", "zu lang"},
                      std::tuple{umlauts125 + "ä", "zu lang"}));

TEST_F(AssociationTest, WritesTheThreeValuesAndShowsThem)
{
    ASSERT_TRUE(associate(QStringLiteral(".TXT")));
    EXPECT_EQ(value(QStringLiteral(".txt")), QStringLiteral("txtfile"));
    EXPECT_EQ(value(QStringLiteral("txtfile\\shell\\open\\command")),
              QStringLiteral("/opt/Kelo the Scriv/kelo %1"));
    EXPECT_EQ(value(QStringLiteral("txtfile\\DefaultIcon")),
              QStringLiteral("/opt/Kelo the Scriv/kelo,0"));
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_EQ(m_messages.shown()[0].text,
              QStringLiteral("Dateityp: .txt\r\nRegistriert auf: txtfile\r\n"
                             "open-Anweisung: /opt/Kelo the Scriv/kelo %1"));
    EXPECT_EQ(m_messages.shown()[0].icon, MsgIcon::None);
}

TEST_F(AssociationTest, AFailedWriteIsReportedInsteadOfTheSummary)
{
    // The desktop entries' folder is taken by a file: the keys are written,
    // the desktop does not follow, and the box says so.
    writeBytes(m_sandbox.folders().dataHome + QStringLiteral("/applications"), "in the way");
    EXPECT_FALSE(associate(QStringLiteral("txt")));
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_EQ(m_messages.shown()[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(m_messages.shown()[0].text.startsWith(
        QStringLiteral("Die Dateiendung .txt konnte nicht mit Kelo the Scriv verknüpft werden:")));
    EXPECT_TRUE(m_messages.shown()[0].text.contains(QStringLiteral("applications")));

    // The key store's folder is taken by a file: nothing can be written.
    DesktopSandbox other;
    writeBytes(other.folders().dataHome + QStringLiteral("/Kelo"), "in the way");
    KeyStore blocked(KeyStore::fileIn(other.folders().dataHome));
    EXPECT_FALSE(associate(QStringLiteral("txt"), &blocked));
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_EQ(m_messages.shown()[1].icon, MsgIcon::Critical);
    EXPECT_FALSE(m_messages.shown()[1].text.contains(QStringLiteral("Registriert auf")));
}

} // namespace
} // namespace kelo::test
