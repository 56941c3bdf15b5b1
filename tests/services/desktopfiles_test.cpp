// The texts of the desktop files: the quoting of the program in Exec lines,
// Kelo's own type names, and mimeapps.list edited line by line.
#include "desktoptools.h"
#include "services/atomicfile.h"
#include "services/desktopfiles.h"
#include "support/testenv.h"

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using namespace desktop;

// The program, and the Exec value the desktop file holds for it.
using ExecLine = ::testing::TestWithParam<std::tuple<QString, QString>>;

TEST_P(ExecLine, QuotesTheProgramAndTheValidatorAcceptsTheEntry)
{
    const auto &[program, exec] = GetParam();
    EXPECT_EQ(execValue(program), exec);

    DesktopSandbox sandbox;
    const QString entry = sandbox.path(QStringLiteral("kelo-the-scriv.desktop"));
    ASSERT_FALSE(
        writeFileAtomically(entry, desktopEntry(QStringLiteral("Kelo the Scriv"), program,
                                                {QStringLiteral("application/octet-stream")})));
    const auto validated =
        runDesktopTool(sandbox.folders(), QStringLiteral("desktop-file-validate"), {entry});
    if (!validated)
        GTEST_SKIP() << "desktop-file-validate is not installed";
    EXPECT_EQ(validated->exitCode, 0) << validated->output.toStdString();
    EXPECT_EQ(validated->output, QString()) << "hints or warnings";
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ExecLine,
    ::testing::Values(std::tuple{"/opt/Kelo the Scriv/kelo", "\"/opt/Kelo the Scriv/kelo\" %f"},
                      std::tuple{"/opt/\"Kelo\"/kelo", "\"/opt/\\\\\"Kelo\\\\\"/kelo\" %f"},
                      std::tuple{"/opt/100%/kelo", "\"/opt/100%%/kelo\" %f"},
                      std::tuple{"/opt/$HOME/`x`/kelo", "\"/opt/\\\\$HOME/\\\\`x\\\\`/kelo\" %f"},
                      std::tuple{"/opt/a\\b/kelo", "\"/opt/a\\\\\\\\b/kelo\" %f"},
                      std::tuple{"/opt/it's;#(~)/kelo", "\"/opt/it's;#(~)/kelo\" %f"},
                      std::tuple{"/home/jürgen/Über/kelo", "\"/home/jürgen/Über/kelo\" %f"}));

TEST(OwnMimeType, DistinctExtensionsGetDistinctValidNames)
{
    const QList<std::pair<QString, QString>> cases = {
        {QStringLiteral(".xyz"), QStringLiteral("application/x-kelo-xyz")},
        {QStringLiteral(".tar.k+1-2"), QStringLiteral("application/x-kelo-tar.k+1-2")},
        {QStringLiteral("."), QStringLiteral("application/x-kelo-_")},
        {QStringLiteral(". txt "), QStringLiteral("application/x-kelo-_20txt_20")},
        {QStringLiteral(".a_20"), QStringLiteral("application/x-kelo-a_5f20")},
        {QStringLiteral(".äß"), QStringLiteral("application/x-kelo-_c3_a4_c3_9f")},
        {QStringLiteral(".a;b=c#"), QStringLiteral("application/x-kelo-a_3bb_3dc_23")},
    };
    for (const auto &[extension, type] : cases)
        EXPECT_EQ(ownMimeType(extension), type) << extension.toStdString();

    // Long names must fit update-mime-database's file per type.
    const QString longest = QLatin1Char('.') + QString(125, u'ä');
    const QString sibling = longest.chopped(1) + QLatin1Char('a');
    EXPECT_LE(ownMimeType(longest).size(), 230);
    EXPECT_EQ(ownMimeType(longest).left(40), ownMimeType(sibling).left(40));
    EXPECT_NE(ownMimeType(longest), ownMimeType(sibling));
}

// mimeapps.list before and after Kelo became the default for text/plain.
using Mimeapps = ::testing::TestWithParam<std::tuple<QByteArray, QByteArray>>;

TEST_P(Mimeapps, KeloBecomesTheDefaultAndEveryOtherLineStays)
{
    const auto &[before, after] = GetParam();
    EXPECT_EQ(withDefaultApplication(before, QStringLiteral("text/plain"), entryFileName), after);
}

const QByteArray crowded = "# chosen by hand\n"
                           "[Added Associations]\n"
                           "text/plain=other.desktop;\n"
                           "\n"
                           "[Default Applications]\n"
                           "image/png=gimp.desktop;\n"
                           "%1"
                           "# end of the defaults\n"
                           "\n"
                           "\n"
                           "[Removed Associations]\n"
                           "text/plain=kelo-the-scriv.desktop;\n";

QByteArray crowdedWith(const QByteArray &line)
{
    QByteArray text = crowded;
    return text.replace("%1", line);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Mimeapps,
    ::testing::Values(
        std::tuple{"", "[Default Applications]\ntext/plain=kelo-the-scriv.desktop;\n"},
        std::tuple{crowdedWith(" Text/Plain = gedit.desktop;vim.desktop\n"),
                   crowdedWith("Text/Plain=kelo-the-scriv.desktop;gedit.desktop;vim.desktop;\n")},
        std::tuple{crowdedWith(""),
                   crowdedWith("").replace("# end of the defaults\n",
                                           "# end of the defaults\n"
                                           "text/plain=kelo-the-scriv.desktop;\n")},
        std::tuple{"[Default Applications]\ntext/plain=a.desktop;kelo-the-scriv.desktop;b;\n",
                   "[Default Applications]\ntext/plain=kelo-the-scriv.desktop;a.desktop;b;\n"},
        std::tuple{"[Default Applications]\ntext/plain=kelo-the-scriv.desktop;\n[X]\ny=z\n",
                   "[Default Applications]\ntext/plain=kelo-the-scriv.desktop;\n[X]\ny=z\n"},
        std::tuple{"[Added Associations]\r\ntext/html=a.desktop;\r\n",
                   "[Added Associations]\r\ntext/html=a.desktop;\r\n\r\n"
                   "[Default Applications]\r\ntext/plain=kelo-the-scriv.desktop;\r\n"},
        std::tuple{"[Default Applications]\nimage/png=gimp.desktop;",
                   "[Default Applications]\nimage/png=gimp.desktop;\n"
                   "text/plain=kelo-the-scriv.desktop;\n"},
        std::tuple{"[Default Applications]\n#text/plain=a.desktop;\n",
                   "[Default Applications]\n#text/plain=a.desktop;\n"
                   "text/plain=kelo-the-scriv.desktop;\n"}));

} // namespace
} // namespace kelo::test
