// The desktop takes effect: the texts of the files Kelo writes for its
// context-menu entry and its associations, judged by the desktop's own tools
// (desktop-file-validate, xdg-mime, gio) in throw-away XDG folders.
#include "desktoptools.h"
#include "platform/messagebox.h"
#include "services/contextmenu.h"
#include "services/desktopfiles.h"
#include "services/desktopmirror.h"
#include "services/filetypeassociation.h"
#include "support/testenv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using namespace desktop;

const QString verb = "Kelo the Scriv";

// The program, and the Exec value the desktop file holds for it.
using ExecLine = ::testing::TestWithParam<std::tuple<QString, QString>>;

// The validator sees such a path in the context-menu entry below.
TEST_P(ExecLine, QuotesTheProgram)
{
    EXPECT_EQ(execValue(std::get<0>(GetParam())), std::get<1>(GetParam()));
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
    EXPECT_EQ(ownMimeType(".tar.k+1-2"), "application/x-kelo-tar.k+1-2");
    EXPECT_EQ(ownMimeType(".a_20"), "application/x-kelo-a_5f20");
    EXPECT_EQ(ownMimeType(".äß"), "application/x-kelo-_c3_a4_c3_9f");
    EXPECT_EQ(ownMimeType(".a;b=c#"), "application/x-kelo-a_3bb_3dc_23");
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
    EXPECT_EQ(withDefaultApplication(before, "text/plain", entryFileName), after);
}

const QByteArray crowded =
    "# chosen by hand\n[Added Associations]\ntext/plain=other.desktop;\n\n"
    "[Default Applications]\nimage/png=gimp.desktop;\n%1# end of the defaults\n"
    "\n\n[Removed Associations]\ntext/plain=kelo-the-scriv.desktop;\n";
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
        std::tuple{"[Added Associations]\r\ntext/html=a.desktop;\r\n",
                   "[Added Associations]\r\ntext/html=a.desktop;\r\n\r\n"
                   "[Default Applications]\r\ntext/plain=kelo-the-scriv.desktop;\r\n"},
        std::tuple{"[Default Applications]\nimage/png=gimp.desktop;",
                   "[Default Applications]\nimage/png=gimp.desktop;\n"
                   "text/plain=kelo-the-scriv.desktop;\n"},
        std::tuple{"[Default Applications]\n#text/plain=a.desktop;\n",
                   "[Default Applications]\n#text/plain=a.desktop;\n"
                   "text/plain=kelo-the-scriv.desktop;\n"}));

class DesktopMirrorTest : public ::testing::Test {
protected:
    bool associate(const QString &extension)
    {
        return FileTypeAssociation(m_store, m_mirror, m_messages, "/opt/kelo")
            .DateitypVerknuepfen(extension);
    }

    DesktopSandbox m_sandbox;
    KeyStore m_store{KeyStore::fileIn(m_sandbox.folders.dataHome)};
    DesktopMirror m_mirror{m_sandbox.folders, verb};
    ContextMenuEntry m_entry{m_store, m_mirror};
    ScriptedMessageBoxes m_messages;
};

TEST_F(DesktopMirrorTest, ContextEntryIsValidForEveryFileAndLeavesNothingBehind)
{
    ASSERT_EQ(m_entry.ProgrammRegistrierung(verb, "/opt/Kelo \"the\" 100% $Scriv `x` a\\b ü/kelo"),
              std::nullopt);
    const QString entry = m_mirror.desktopEntryPath();
    const QString menu = m_mirror.serviceMenuPath();
    EXPECT_TRUE(readBytes(entry).contains("\nMimeType=application/octet-stream;\n"));
    EXPECT_TRUE(readBytes(menu).contains("\nMimeType=all/allfiles;\n"));
    EXPECT_TRUE(QFileInfo(menu).isExecutable()) << "Dolphin ignores a local service menu otherwise";
    const auto checked = runDesktopTool(m_sandbox.folders, "desktop-file-validate", {entry, menu});
    if (checked) {
        EXPECT_EQ(checked->exitCode, 0) << checked->output.toStdString();
        // The only remark is on KDE's pseudo type for all files.
        for (const QString &line : checked->output.split(u'\n', Qt::SkipEmptyParts))
            EXPECT_TRUE(line.contains("all/allfiles")) << line.toStdString();
    }

    EXPECT_TRUE(m_entry.Delete_ContextItem(verb).deleted);
    // Left are the key store and the rebuilt cache, which no longer names Kelo.
    const QDir data(m_sandbox.folders.dataHome);
    for (QDirIterator it(data.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString file = data.relativeFilePath(it.next());
        if (file == "applications/mimeinfo.cache")
            EXPECT_FALSE(readBytes(it.filePath()).contains("kelo"));
        else
            EXPECT_TRUE(file.startsWith("Kelo/")) << file.toStdString();
    }
    if (!checked)
        GTEST_SKIP() << "desktop-file-validate is not installed";
}

TEST_F(DesktopMirrorTest, AssociatingTxtMakesKeloTheDefaultForPlainText)
{
    // Another editor was the default so far.
    QDir().mkpath(m_sandbox.folders.dataHome + "/applications");
    writeBytes(m_sandbox.folders.dataHome + "/applications/other-editor.desktop",
               "[Desktop Entry]\nType=Application\nName=Other\nExec=true %f\n"
               "MimeType=text/plain;\n");
    writeBytes(m_mirror.mimeappsPath(),
               "[Default Applications]\ntext/plain=other-editor.desktop;\n");
    ASSERT_TRUE(associate("TXT"));
    EXPECT_TRUE(readBytes(m_mirror.desktopEntryPath()).contains("\nMimeType=text/plain;\n"));

    const auto found =
        runDesktopTool(m_sandbox.folders, "xdg-mime", {"query", "default", "text/plain"});
    if (!found)
        GTEST_SKIP() << "xdg-mime is not installed";
    EXPECT_EQ(found->output, entryFileName);
}

// What was typed, a file with that extension, the type it gets.
class NewExtensionTest :
    public DesktopMirrorTest,
    public ::testing::WithParamInterface<std::tuple<QString, QString, QString>> {};

TEST_P(NewExtensionTest, GetsATypeOfItsOwnThatTheDesktopFinds)
{
    const auto &[typed, probeFile, type] = GetParam();
    ASSERT_TRUE(associate(typed)) << m_messages.texts().join(u'\n').toStdString();
    EXPECT_TRUE(readBytes(m_mirror.desktopEntryPath())
                    .contains(QByteArray("MimeType=" + type.toUtf8() + ";\n")));
    EXPECT_TRUE(readBytes(m_mirror.mimeappsPath())
                    .contains(QByteArray(type.toUtf8() + "=kelo-the-scriv.desktop;")));

    const QString probe = m_sandbox.dir.filePath(probeFile);
    writeBytes(probe, "Hallo\n");
    // As GNOME's, xdg-mime asks gio, which reads the globs; file(1) knows none.
    const auto found =
        QStandardPaths::findExecutable("gio").isEmpty()
            ? std::nullopt
            : runDesktopTool(m_sandbox.folders, "xdg-mime", {"query", "filetype", probe}, "GNOME");
    if (!found)
        GTEST_SKIP() << "xdg-mime or gio is not installed";
    EXPECT_EQ(found->output, type);
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, NewExtensionTest,
    ::testing::Values(std::tuple{"KeloTest", "probe.KELOTEST", "application/x-kelo-kelotest"},
                      std::tuple{" txt", "probe. txt", "application/x-kelo-_20txt"},
                      std::tuple{".", "probe.", "application/x-kelo-_"},
                      std::tuple{QString(250, u'L'), QString("p." + QString(250, u'l')),
                                 ownMimeType("." + QString(250, u'l'))}));

TEST_F(DesktopMirrorTest, ADesktopToolThatFailsIsReported)
{
    DesktopMirror failingTools(m_sandbox.folders, verb, installedMimeTypes,
                               [](const QString &, const QStringList &) {
                                   return ToolRun{true, false, "kaputt"};
                               });
    const auto error =
        ContextMenuEntry(m_store, failingTools).ProgrammRegistrierung(verb, "/opt/kelo");
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains("update-desktop-database"));
    EXPECT_TRUE(error->contains("kaputt"));
}

} // namespace
} // namespace kelo::test
