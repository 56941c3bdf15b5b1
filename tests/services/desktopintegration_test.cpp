// The context-menu verb and the association of an extension: the key store, the desktop files
// mirrored from it (judged by the desktop's tools), refusals and failures.
#include "platform/filenames.h"
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
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using namespace desktop;
using namespace reg;

const QString verb = "Kelo the Scriv";

// The Exec line quotes and escapes the program as the Desktop Entry rules say, a value keeps
// blanks at its ends, and Kelo's own types are valid names that stay apart however long.
TEST(DesktopValues, ExecQuotesTheProgramAndOwnTypesAreDistinctValidNames)
{
    EXPECT_EQ(execValue("/opt/Kelo the Scriv/kelo"), "\"/opt/Kelo the Scriv/kelo\" %f");
    EXPECT_EQ(execValue("/opt/\"K\"/100%/$HOME/`x`/a\\b/kelo"),
              "\"/opt/\\\\\"K\\\\\"/100%%/\\\\$HOME/\\\\`x\\\\`/a\\\\\\\\b/kelo\" %f");
    EXPECT_EQ(execValue("/home/jürgen/it's;#(~)/kelo"), "\"/home/jürgen/it's;#(~)/kelo\" %f");
    EXPECT_EQ(escapeValue(" a\tb\r\n\\ "), "\\sa\\tb\\r\\n\\\\\\s");
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

QByteArray crowdedWith(const QByteArray &line)
{
    return "# chosen by hand\n[Added Associations]\ntext/plain=other.desktop;\n\n"
           "[Default Applications]\nimage/png=gimp.desktop;\n" +
           line +
           "# end of the defaults\n\n\n[Removed Associations]\n"
           "text/plain=kelo-the-scriv.desktop;\n";
}

// mimeapps.list before and after Kelo became the default for text/plain: every other line,
// comment and line end stays as it was.
TEST(Mimeapps, KeloBecomesTheDefaultAndEveryOtherLineStays)
{
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"", "[Default Applications]\ntext/plain=kelo-the-scriv.desktop;\n"},
        {crowdedWith(" Text/Plain = gedit.desktop;vim.desktop\n"),
         crowdedWith("Text/Plain=kelo-the-scriv.desktop;gedit.desktop;vim.desktop;\n")},
        {crowdedWith(""), crowdedWith("").replace("# end of the defaults\n",
                                                  "# end of the defaults\n"
                                                  "text/plain=kelo-the-scriv.desktop;\n")},
        {"[Default Applications]\ntext/plain=a.desktop;kelo-the-scriv.desktop;b;\n",
         "[Default Applications]\ntext/plain=kelo-the-scriv.desktop;a.desktop;b;\n"},
        {"[Added Associations]\r\ntext/html=a.desktop;\r\n",
         "[Added Associations]\r\ntext/html=a.desktop;\r\n\r\n"
         "[Default Applications]\r\ntext/plain=kelo-the-scriv.desktop;\r\n"},
        {"[Default Applications]\ntext/plain=a;\n[Other]\r\nx=y\r\n",
         "[Default Applications]\ntext/plain=kelo-the-scriv.desktop;a;\n[Other]\r\nx=y\r\n"},
        {"[Default Applications]\n#text/plain=a.desktop;\nimage/png=gimp.desktop;",
         "[Default Applications]\n#text/plain=a.desktop;\nimage/png=gimp.desktop;\n"
         "text/plain=kelo-the-scriv.desktop;\n"},
    };
    for (const auto &[before, after] : cases)
        EXPECT_EQ(withDefaultApplication(before, "text/plain", entryFileName), after)
            << before.constData();
}

// Throw-away XDG folders with a key store, a fast mirror independent of what
// is installed (txt is plain text, no tools) and one with the desktop's own.
class Desktop : public ::testing::Test {
protected:
    Desktop()
    {
        QDir().mkpath(m_folders.dataHome);
        QDir().mkpath(m_folders.configHome);
    }
    QString value(const QString &path)
    {
        QString data = "<missing>";
        m_store.RegQueryValue(HKEY_CLASSES_ROOT, path, &data);
        return data;
    }
    bool exists(const QString &path) { return value("*\\" + path) != QLatin1String("<missing>"); }
    bool associate(const QString &typed, DesktopMirror &mirror, KeyStore *store = nullptr)
    {
        return FileTypeAssociation(store ? *store : m_store, mirror, m_messages, m_program)
            .DateitypVerknuepfen(typed);
    }
    // The text of the one box shown since the last look, which must be a critical one.
    QString criticalBox()
    {
        EXPECT_EQ(m_messages.shown().size(), 1);
        const ScriptedMessageBoxes::Shown shown = m_messages.shown().value(0);
        EXPECT_EQ(shown.icon, MsgIcon::Critical);
        m_messages.clear();
        return shown.text;
    }
    // What a tool says with HOME and the XDG folders here and no desktop session but
    // `desktop`, and a last line "failed" unless it exits with 0; none if not installed.
    std::optional<QString> runTool(const QString &program, const QStringList &arguments,
                                   const QString &desktop = {})
    {
        const QString executable = QStandardPaths::findExecutable(program);
        if (executable.isEmpty())
            return std::nullopt;
        QProcessEnvironment environment;
        environment.insert("PATH", qEnvironmentVariable("PATH"));
        if (!desktop.isEmpty())
            environment.insert("XDG_CURRENT_DESKTOP", desktop);
        environment.insert("HOME", m_dir.path());
        environment.insert("XDG_DATA_HOME", m_folders.dataHome);
        environment.insert("XDG_CONFIG_HOME", m_folders.configHome);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(executable, arguments);
        const bool ok = process.waitForFinished(60000) && process.exitCode() == 0 &&
                        process.exitStatus() == QProcess::NormalExit;
        return QString::fromUtf8(process.readAll()).trimmed() + (ok ? "" : "\nfailed");
    }

    QTemporaryDir m_dir;
    DesktopFolders m_folders{m_dir.filePath("data"),
                             m_dir.filePath("config"),
                             {m_dir.filePath("usr/share"), m_dir.filePath("usr/local/share")}};
    KeyStore m_store{KeyStore::fileIn(m_folders.dataHome)};
    DesktopMirror m_mirror{m_folders, verb,
                           [](const QString &name) {
                               return name == "x.txt" ? QStringList{"text/plain"} : QStringList{};
                           },
                           [](const QString &, const QStringList &) { return ToolRun{}; }};
    DesktopMirror m_desktop{m_folders, verb};
    ContextMenuEntry m_entry{m_store, m_mirror};
    ScriptedMessageBoxes m_messages;
    QString m_program = "/opt/Kelo the Scriv/kelo";
};

// Removing the verb stops at the first step that cannot be done and the desktop follows the
// keys: keys below "*" before; deleted; a part of the error; a key left after, one gone.
using Removal = std::tuple<QStringList, bool, QString, QString, QString>;
class RemovalTest : public Desktop, public ::testing::WithParamInterface<Removal> {};

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

// An extension that could not name a file type of its own is refused before anything is
// written; any other gives its key, type name and the summary shown.
TEST_F(Desktop, AnExtensionGivesItsKeyAndTypeNameOrIsRefusedAndNothingIsWritten)
{
    const QString a250(250, u'a');
    const QString umlauts125(125, u'ä'); // 250 bytes in UTF-8
    // What was typed, and a part of the refusal.
    const std::pair<QString, QString> refused[] = {{"", "Dateiendung benötigt."},
                                                   {"a/b", "\"/\""},
                                                   {"a\\b", "\"\\\""},
                                                   {"txt..bak", "zwei Punkte"},
                                                   {"t\tx", "Steuerzeichen"},
                                                   {QString(QChar(0xFFFE)), "Steuerzeichen"},
                                                   {"*", "Platzhalter"},
                                                   {"t?t", "Platzhalter"},
                                                   {"[tx]t", "Platzhalter"},
                                                   {a250 + "a", "zu lang"},
                                                   {umlauts125 + "ä", "zu lang"}};
    for (const auto &[typed, reason] : refused) {
        SCOPED_TRACE(typed.toStdString());
        EXPECT_FALSE(associate(typed, m_mirror));
        const QString shown = criticalBox();
        EXPECT_TRUE(shown.contains(reason)) << shown.toStdString();
    }
    EXPECT_TRUE(QDir(m_folders.dataHome).isEmpty() && QDir(m_folders.configHome).isEmpty());

    // What was typed, the key X and the type name T it gives.
    const std::tuple<QString, QString, QString> accepted[] = {
        {"TXT", ".txt", "txtfile"},
        {".TXT", ".txt", "txtfile"},
        {".", ".", "file"},
        {" txt ", ". txt ", " txt file"},
        {"ÄÖÜ", ".äöü", "äöüfile"},
        {"Tar.GZ", ".tar.gz", "tar.gzfile"},
        {a250, "." + a250, a250 + "file"},
        {umlauts125, "." + umlauts125, umlauts125 + "file"}};
    for (const auto &[typed, X, T] : accepted) {
        SCOPED_TRACE(typed.toStdString());
        m_messages.clear();
        EXPECT_TRUE(associate(typed, m_mirror));
        EXPECT_EQ(value(X), T);
        EXPECT_EQ(value(T + "\\shell\\open\\command"), m_program + " %1");
        EXPECT_EQ(value(T + "\\DefaultIcon"), m_program + ",0");
        EXPECT_EQ(m_messages.texts(), QStringList{"Dateityp: " + X + "\r\nRegistriert auf: " + T +
                                                  "\r\nopen-Anweisung: " + m_program + " %1"});
    }
}

// What the desktop files could not say, and every write or tool that fails, is reported in
// place of the summary.
TEST_F(Desktop, FailedWritesToolsAndAProgramPathNotInUtf8AreReportedInsteadOfTheSummary)
{
    // A program path not in UTF-8 cannot be named in the desktop's UTF-8 files: the menu entry
    // and an association say so (the path shown readably) and write nothing.
    const QString program = std::exchange(m_program, decodeFileName("/opt/K\xE4lo/kelo"));
    const auto error = m_entry.ProgrammRegistrierung(verb, m_program);
    EXPECT_TRUE(error && error->contains("nicht in UTF-8") && error->contains("nichts eingetragen"))
        << error.value_or(QString()).toStdString();
    EXPECT_FALSE(associate("txt", m_mirror));
    QString shown = criticalBox();
    EXPECT_TRUE(shown.contains("/opt/Kälo/kelo") && shown.contains("nichts eingetragen"))
        << shown.toStdString();
    EXPECT_TRUE(QDir(m_folders.dataHome).isEmpty() && QDir(m_folders.configHome).isEmpty());

    // The desktop entries' folder is taken by a file: the keys are written, the desktop does
    // not follow, and the box says so.
    m_program = program;
    writeBytes(m_folders.dataHome + "/applications", "in the way");
    EXPECT_FALSE(associate("txt", m_mirror));
    shown = criticalBox();
    EXPECT_TRUE(shown.startsWith(
                    "Die Dateiendung .txt konnte nicht mit Kelo the Scriv verknüpft werden:") &&
                shown.contains("applications"))
        << shown.toStdString();

    // The key store's folder is taken by a file: nothing can be written.
    writeBytes(m_dir.filePath("Kelo"), "in the way");
    KeyStore blocked(KeyStore::fileIn(m_dir.path()));
    EXPECT_FALSE(associate("txt", m_mirror, &blocked));
    EXPECT_FALSE(criticalBox().contains("Registriert auf"));

    // A desktop tool that fails is named with what it said.
    DesktopMirror failingTools(m_folders, verb, installedMimeTypes,
                               [](const QString &, const QStringList &) {
                                   return ToolRun{true, false, "kaputt"};
                               });
    const auto failed = ContextMenuEntry(m_store, failingTools).ProgrammRegistrierung(verb, "/k");
    EXPECT_TRUE(failed && failed->contains("update-desktop-database") &&
                failed->contains("kaputt"));
}

// Registered and removed again, the verb leaves only the key store and the rebuilt cache,
// which no longer names Kelo.
TEST_F(Desktop, TheContextEntryServesEveryFileAndLeavesNothingBehind)
{
    ContextMenuEntry entry(m_store, m_desktop);
    ASSERT_EQ(entry.ProgrammRegistrierung(verb, m_program), std::nullopt);
    EXPECT_TRUE(
        readBytes(m_desktop.desktopEntryPath()).contains("\nMimeType=application/octet-stream;\n"));
    EXPECT_TRUE(readBytes(m_desktop.serviceMenuPath()).contains("\nMimeType=all/allfiles;\n"));
    EXPECT_TRUE(QFileInfo(m_desktop.serviceMenuPath()).isExecutable())
        << "Dolphin ignores a local service menu otherwise";

    EXPECT_TRUE(entry.Delete_ContextItem(verb).deleted);
    const QDir data(m_folders.dataHome);
    for (QDirIterator it(data.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString file = data.relativeFilePath(it.next());
        if (file == "applications/mimeinfo.cache")
            EXPECT_FALSE(readBytes(it.filePath()).contains("kelo"));
        else
            EXPECT_TRUE(file.startsWith("Kelo/")) << file.toStdString();
    }
}

// What was typed, a file with that extension, the type it gets, with Kelo as its default.
class NewExtension :
    public Desktop,
    public ::testing::WithParamInterface<std::tuple<QString, QString, QString>> {};

TEST_P(NewExtension, GetsATypeTheDesktopFindsWithKeloAsItsDefault)
{
    const auto &[typed, probeFile, type] = GetParam();
    ASSERT_TRUE(associate(typed, m_desktop)) << m_messages.texts().join(u'\n').toStdString();
    EXPECT_TRUE(readBytes(m_desktop.desktopEntryPath())
                    .contains(QByteArray("MimeType=" + type.toUtf8() + ";\n")));
    EXPECT_TRUE(readBytes(m_desktop.mimeappsPath())
                    .contains(QByteArray(type.toUtf8() + "=kelo-the-scriv.desktop;")));

    const QString probe = m_dir.filePath(probeFile);
    writeBytes(probe, "Hallo\n");
    // As GNOME's, xdg-mime asks gio, which reads the globs; file(1) knows none.
    const auto found = QStandardPaths::findExecutable("gio").isEmpty()
                           ? std::nullopt
                           : runTool("xdg-mime", {"query", "filetype", probe}, "GNOME");
    if (!found)
        GTEST_SKIP() << "xdg-mime or gio is not installed";
    EXPECT_EQ(*found, type);
    EXPECT_EQ(runTool("xdg-mime", {"query", "default", type}), entryFileName);
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, NewExtension,
    ::testing::Values(std::tuple{"TXT", "probe.txt", "text/plain"},
                      std::tuple{"KeloTest", "probe.KELOTEST", "application/x-kelo-kelotest"},
                      std::tuple{" txt", "probe. txt", "application/x-kelo-_20txt"},
                      std::tuple{".", "probe.", "application/x-kelo-_"},
                      std::tuple{QString(250, u'L'), QString("p." + QString(250, u'l')),
                                 ownMimeType("." + QString(250, u'l'))}));

// Where an installed Kelo's desktop entry lies ("" nowhere, a trailing "/" a folder of that
// name), and whether Kelo's own entries keep out of the menu. One entry serves the verb and the
// association, and the desktop's check finds nothing wrong with it or the service menu, even
// for a program path full of what must be escaped.
using InstalledAt = std::tuple<const char *, bool>;
class Installed : public Desktop, public ::testing::WithParamInterface<InstalledAt> {};

TEST_P(Installed, EntriesBesideAnInstalledKeloStayOutOfTheMenuButOpenTheirTypes)
{
    const auto &[at, hidden] = GetParam();
    const QString installed = m_dir.filePath(at);
    if (installed.endsWith('/'))
        ASSERT_TRUE(QDir().mkpath(installed));
    else if (*at) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(installed).path()));
        writeBytes(installed, "[Desktop Entry]\n");
    }
    ASSERT_EQ(m_entry.ProgrammRegistrierung(verb, "/opt/Kelo \"the\" 100% $Scriv `x` a\\b ü/kelo"),
              std::nullopt);
    ASSERT_TRUE(associate("txt", m_mirror));

    const QByteArray entry = readBytes(m_mirror.desktopEntryPath());
    const QByteArray icon =
        hidden ? "\nIcon=org.example.kelo.Kelo\n" : "\nIcon=accessories-text-editor\n";
    EXPECT_EQ(entry.contains("\nNoDisplay=true\n"), hidden) << entry.constData();
    EXPECT_TRUE(entry.contains(icon)) << entry.constData();
    EXPECT_TRUE(entry.contains("\nMimeType=application/octet-stream;text/plain;\n"));
    const QByteArray menu = readBytes(m_mirror.serviceMenuPath());
    EXPECT_EQ(menu.count(icon), 2) << menu.constData();
    const auto checked =
        runTool("desktop-file-validate", {m_mirror.desktopEntryPath(), m_mirror.serviceMenuPath()});
    // The only remark allowed is on KDE's pseudo type for all files.
    for (const QString &line : checked.value_or(QString()).split(u'\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.contains("all/allfiles")) << line.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Places, Installed,
    ::testing::Values(InstalledAt{"", false},
                      InstalledAt{"usr/share/applications/org.example.kelo.Kelo.desktop", true},
                      InstalledAt{"usr/local/share/applications/org.example.kelo.Kelo.desktop",
                                  true},
                      // installed with the prefix ~/.local
                      InstalledAt{"data/applications/org.example.kelo.Kelo.desktop", true},
                      InstalledAt{"usr/share/applications/org.example.kelo.Kelo.desktop/", false},
                      InstalledAt{"usr/share/applications/kelo.desktop", false},
                      InstalledAt{"usr/share/org.example.kelo.Kelo.desktop", false}));

} // namespace
} // namespace kelo::test
