// The association of an extension: X and T from what was typed, the
// extensions that are refused, the three values and the boxes.
#include "desktoptools.h"
#include "platform/messagebox.h"
#include "services/filetypeassociation.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using namespace reg;

struct Accepted {
    QString typed;
    QString X;
    QString T;
};

void PrintTo(const Accepted &c, std::ostream *out)
{
    *out << '"' << c.typed.left(20).toStdString() << '"';
}

class AcceptedExtension : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedExtension, GivesTheKeyAndTheTypeName)
{
    EXPECT_EQ(extensionProblem(GetParam().typed), std::nullopt);
    const ExtensionKeys keys = deriveExtensionKeys(GetParam().typed);
    EXPECT_EQ(keys.X, GetParam().X);
    EXPECT_EQ(keys.T, GetParam().T);
}

INSTANTIATE_TEST_SUITE_P(
    Typed, AcceptedExtension,
    ::testing::Values(
        Accepted{QStringLiteral("txt"), QStringLiteral(".txt"), QStringLiteral("txtfile")},
        Accepted{QStringLiteral(".txt"), QStringLiteral(".txt"), QStringLiteral("txtfile")},
        Accepted{QStringLiteral("TXT"), QStringLiteral(".txt"), QStringLiteral("txtfile")},
        Accepted{QStringLiteral(".TXT"), QStringLiteral(".txt"), QStringLiteral("txtfile")},
        Accepted{QStringLiteral("."), QStringLiteral("."), QStringLiteral("file")},
        Accepted{QStringLiteral(" txt "), QStringLiteral(". txt "), QStringLiteral(" txt file")},
        Accepted{QStringLiteral(". "), QStringLiteral(". "), QStringLiteral(" file")},
        Accepted{QStringLiteral("ÄÖÜ"), QStringLiteral(".äöü"), QStringLiteral("äöüfile")},
        Accepted{QStringLiteral("Tar.GZ"), QStringLiteral(".tar.gz"), QStringLiteral("tar.gzfile")},
        Accepted{QString(250, u'a'), QLatin1Char('.') + QString(250, u'a'),
                 QString(250, u'a') + QStringLiteral("file")},
        Accepted{QString(125, u'ä'), QLatin1Char('.') + QString(125, u'ä'),
                 QString(125, u'ä') + QStringLiteral("file")}));

class AssociationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_sandbox.isValid()); }

    bool associate(const QString &typed)
    {
        return FileTypeAssociation(m_store, m_mirror, m_messages, m_program)
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

struct Refused {
    QString typed;
    QString reason; // a part of the message
};

void PrintTo(const Refused &c, std::ostream *out)
{
    *out << '"' << c.typed.left(20).toStdString() << '"';
}

class RefusedExtension : public AssociationTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(RefusedExtension, IsNamedInAStopBoxAndNothingIsWritten)
{
    EXPECT_FALSE(associate(GetParam().typed));
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_TRUE(m_messages.shown()[0].text.contains(GetParam().reason))
        << m_messages.shown()[0].text.toStdString();
    EXPECT_EQ(m_messages.shown()[0].icon, MsgIcon::Critical);
    EXPECT_EQ(filesBelow(m_sandbox.folders().dataHome), QStringList());
    EXPECT_EQ(filesBelow(m_sandbox.folders().configHome), QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Typed, RefusedExtension,
    ::testing::Values(Refused{QString(), QStringLiteral("Dateiendung benötigt.")},
                      Refused{QStringLiteral("a/b"), QStringLiteral("\"/\"")},
                      Refused{QStringLiteral("a\\b"), QStringLiteral("\"\\\"")},
                      Refused{QStringLiteral(".."), QStringLiteral("zwei Punkte")},
                      Refused{QStringLiteral("txt..bak"), QStringLiteral("zwei Punkte")},
                      Refused{QStringLiteral("t\tx"), QStringLiteral("Steuerzeichen")},
                      Refused{QStringLiteral("txt\n"), QStringLiteral("Steuerzeichen")},
                      Refused{QStringLiteral("*"), QStringLiteral("Platzhalter")},
                      Refused{QStringLiteral("t?t"), QStringLiteral("Platzhalter")},
                      Refused{QStringLiteral("[tx]t"), QStringLiteral("Platzhalter")},
                      Refused{QString(251, u'a'), QStringLiteral("zu lang")},
                      Refused{QString(126, u'ä'), QStringLiteral("zu lang")},
                      Refused{QString(300, u'x'), QStringLiteral("zu lang")}));

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

    // A second association of the same extension writes the same values.
    const QByteArray before = readBytes(m_store.fileName());
    ASSERT_TRUE(associate(QStringLiteral("txt")));
    EXPECT_EQ(readBytes(m_store.fileName()), before);
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
    m_messages.clear();
    EXPECT_FALSE(FileTypeAssociation(blocked, m_mirror, m_messages, m_program)
                     .DateitypVerknuepfen(QStringLiteral("txt")));
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_EQ(m_messages.shown()[0].icon, MsgIcon::Critical);
    EXPECT_FALSE(m_messages.shown()[0].text.contains(QStringLiteral("Registriert auf")));
}

} // namespace
} // namespace kelo::test
