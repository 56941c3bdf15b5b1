// The desktop takes effect: the files Kelo writes for its context-menu
// entry and its associations, judged by the desktop's own tools
// (desktop-file-validate, xdg-mime, gio) in throw-away XDG folders.
#include "desktoptools.h"
#include "platform/messagebox.h"
#include "services/contextmenu.h"
#include "services/desktopfiles.h"
#include "services/desktopmirror.h"
#include "services/filetypeassociation.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

const QString verb = QStringLiteral("Kelo the Scriv");
const QString entryId = desktop::entryFileName;

class DesktopMirrorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_sandbox.isValid()); }

    // "gio" makes xdg-mime read the shared-mime-info globs the way GNOME
    // does; without a desktop it asks file(1), which knows no globs.
    std::optional<ToolOutput> xdgMime(const QStringList &arguments, const QString &desktop = {})
    {
        if (!desktop.isEmpty() && QStandardPaths::findExecutable(QStringLiteral("gio")).isEmpty())
            return std::nullopt;
        return runDesktopTool(m_sandbox.folders(), QStringLiteral("xdg-mime"), arguments, desktop);
    }

    bool associate(const QString &extension)
    {
        return FileTypeAssociation(m_store, m_mirror, m_messages, QStringLiteral("/opt/kelo"))
            .DateitypVerknuepfen(extension);
    }

    DesktopSandbox m_sandbox;
    KeyStore m_store{KeyStore::fileIn(m_sandbox.folders().dataHome)};
    DesktopMirror m_mirror{m_sandbox.folders(), verb};
    ContextMenuEntry m_entry{m_store, m_mirror};
    ScriptedMessageBoxes m_messages;
};

TEST_F(DesktopMirrorTest, ContextEntryIsValidForEveryFileAndLeavesNothingBehind)
{
    ASSERT_EQ(m_entry.ProgrammRegistrierung(verb, QStringLiteral("/opt/Kelo the Scriv/kelo")),
              std::nullopt);
    const QString entry = m_mirror.desktopEntryPath();
    const QString menu = m_mirror.serviceMenuPath();
    EXPECT_TRUE(readBytes(entry).contains("\nMimeType=application/octet-stream;\n"));
    EXPECT_TRUE(readBytes(menu).contains("\nMimeType=all/allfiles;\n"));
    EXPECT_TRUE(QFileInfo(menu).isExecutable()) << "Dolphin ignores a local service menu otherwise";
    const QString validator = QStringLiteral("desktop-file-validate");
    const auto entryCheck = runDesktopTool(m_sandbox.folders(), validator, {entry});
    const auto menuCheck = runDesktopTool(m_sandbox.folders(), validator, {menu});
    if (entryCheck && menuCheck) {
        EXPECT_EQ(entryCheck->exitCode, 0);
        EXPECT_EQ(entryCheck->output, QString());
        EXPECT_EQ(menuCheck->exitCode, 0) << menuCheck->output.toStdString();
        // Its only remark is on KDE's pseudo type for all files.
        for (const QString &line : menuCheck->output.split(u'\n', Qt::SkipEmptyParts))
            EXPECT_TRUE(line.contains(QStringLiteral("all/allfiles"))) << line.toStdString();
    }

    EXPECT_TRUE(m_entry.Delete_ContextItem(verb).deleted);
    // Left are the key store and the rebuilt cache, which no longer names Kelo.
    for (const QString &file : filesBelow(m_sandbox.folders().dataHome)) {
        if (file == QStringLiteral("applications/mimeinfo.cache"))
            EXPECT_FALSE(readBytes(m_sandbox.folders().dataHome + u'/' + file).contains("kelo"));
        else
            EXPECT_TRUE(file.startsWith(QStringLiteral("Kelo/"))) << file.toStdString();
    }
    if (!entryCheck || !menuCheck)
        GTEST_SKIP() << "desktop-file-validate is not installed";
}

TEST_F(DesktopMirrorTest, AssociatingTxtMakesKeloTheDefaultForPlainText)
{
    // Another editor was the default so far.
    QDir().mkpath(m_sandbox.folders().dataHome + QStringLiteral("/applications"));
    writeBytes(m_sandbox.folders().dataHome + QStringLiteral("/applications/other-editor.desktop"),
               "[Desktop Entry]\nType=Application\nName=Other\nExec=true %f\n"
               "MimeType=text/plain;\n");
    writeBytes(m_mirror.mimeappsPath(),
               "[Default Applications]\ntext/plain=other-editor.desktop;\n");
    ASSERT_TRUE(associate(QStringLiteral("TXT")));
    EXPECT_TRUE(readBytes(m_mirror.desktopEntryPath()).contains("\nMimeType=text/plain;\n"));

    const QStringList query{QStringLiteral("query"), QStringLiteral("default"),
                            QStringLiteral("text/plain")};
    const auto generic = xdgMime(query);
    if (!generic)
        GTEST_SKIP() << "xdg-mime is not installed";
    EXPECT_EQ(generic->output, entryId);
    if (const auto gnome = xdgMime(query, QStringLiteral("GNOME"))) {
        EXPECT_EQ(gnome->output, entryId);
    }
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

    const QString probe = m_sandbox.path(probeFile);
    writeBytes(probe, "Hallo\n");
    const auto found = xdgMime({QStringLiteral("query"), QStringLiteral("filetype"), probe},
                               QStringLiteral("GNOME"));
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
                                 desktop::ownMimeType("." + QString(250, u'l'))}));

TEST_F(DesktopMirrorTest, AProgramPathWithQuotesAndBlanksStartsFromTheEntry)
{
    const QString folder =
        m_sandbox.path(QStringLiteral("Kelo \"the\" $Scriv `x` back\\\\slash\\ ü"));
    const QString program = folder + QStringLiteral("/kelo");
    const QString received = m_sandbox.path(QStringLiteral("received"));
    ASSERT_TRUE(QDir().mkpath(folder));
    writeBytes(program, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + received.toUtf8() +
                            ".tmp' && mv '" + received.toUtf8() + ".tmp' '" + received.toUtf8() +
                            "'\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(m_entry.ProgrammRegistrierung(verb, program), std::nullopt);

    const QString file = m_sandbox.path(QStringLiteral("ein Brief.txt"));
    const auto launched =
        runDesktopTool(m_sandbox.folders(), QStringLiteral("gio"),
                       {QStringLiteral("launch"), m_mirror.desktopEntryPath(), file});
    if (!launched)
        GTEST_SKIP() << "gio is not installed";
    ASSERT_EQ(launched->exitCode, 0) << launched->output.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(received); }, 10000));
    EXPECT_EQ(readBytes(received), QByteArray(file.toUtf8() + '\n'));
}

TEST_F(DesktopMirrorTest, ADesktopToolThatFailsIsReported)
{
    DesktopMirror failingTools(m_sandbox.folders(), verb, installedMimeTypes,
                               [](const QString &, const QStringList &) {
                                   return ToolRun{true, false, QStringLiteral("kaputt")};
                               });
    const auto error = ContextMenuEntry(m_store, failingTools)
                           .ProgrammRegistrierung(verb, QStringLiteral("/opt/kelo"));
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains(QStringLiteral("update-desktop-database")));
    EXPECT_TRUE(error->contains(QStringLiteral("kaputt")));
}

TEST_F(DesktopMirrorTest, KelosOwnTypesDoNotCountAsKnowingAnExtension)
{
    QStringList answer;
    const DesktopMirror mirror(m_sandbox.folders(), verb,
                               [&answer](const QString &) { return answer; });
    answer = {QStringLiteral("application/x-kelo-abc"), QStringLiteral("text/x-abc")};
    EXPECT_EQ(mirror.mimeTypeOf(QStringLiteral(".abc")), QStringLiteral("text/x-abc"));
    answer = {QStringLiteral("application/x-kelo-abc")};
    EXPECT_EQ(mirror.mimeTypeOf(QStringLiteral(".abc")), QStringLiteral("application/x-kelo-abc"));
    answer = {};
    EXPECT_EQ(mirror.mimeTypeOf(QStringLiteral(".abc")), QStringLiteral("application/x-kelo-abc"));
}

} // namespace
} // namespace kelo::test
