// The volumes and the drive, folder and file lists: which volume holds a
// path, the change rule the panels chain their handlers on, what they show.
#include "platform/filenames.h"
#include "platform/listcontrols.h"
#include "support/input.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kelo {
namespace {

// A path on the wrong volume (deepest above it, component-wise; none when
// relative); mount-table escapes or non-UTF-8 bytes misread; kernel, network
// or system mounts taken for volumes.
TEST(Volumes, ThePathIsOnTheDeepestVolumeAboveAndMountsAreReadByTheirBytes)
{
    const QList<Volume> volumes{
        {"/"}, {"/media/a"}, {"/media/ab"}, {"/media/a/inner"}, {"/mnt/x/"}};
    // clang-format off
    const std::pair<const char *, int> cases[] = {
        {"/", 0}, {"/etc/passwd", 0}, {"/media/a/", 1}, {"/media/a/x/y", 1}, {"/media/ab/f", 2},
        {"/media/abc", 0}, {"/media/a/inner/f", 3}, {"/media/a/innerx", 1}, {"/media/a/../ab", 2},
        {"//media//a", 1}, {"/mnt/x/y", 4}, {"media/a", -1}, {"", -1}, {"C:\\", -1}};
    // clang-format on
    for (const auto &[path, expected] : cases)
        EXPECT_EQ(volumeIndexOf(volumes, QString::fromUtf8(path)), expected) << path;
    EXPECT_EQ(volumeIndexOf({{"/media/a"}}, "/etc"), -1); // no root listed

    const QStringList mounts =
        QStringLiteral("/proc /media /media/anna/STICK /mnt /mnt/data/ /home /run/media/bob/USB "
                       "/home/anna /mediafoo /mntx /media/anna/STICK relative/mnt /boot/efi "
                       "/run/media /")
            .split(u' ');
    EXPECT_EQ(userVolumePaths(mounts), (QStringList{"/", "/home", "/media/anna/STICK", "/mnt",
                                                    "/mnt/data", "/run/media/bob/USB"}));
    const QByteArray table = "/dev/sda1 / ext4 rw 0 0\n"
                             "proc /proc proc rw 0 0\n"
                             "/dev/sdb1 /media/anna/\344rger\\040Stick vfat rw 0 0\n"
                             "tmpfs /mnt/ram tmpfs rw 0 0\n"
                             "tmpfs /dev/shm tmpfs rw 0 0\n"
                             "server:/export /mnt/nfs nfs rw 0 0\n"
                             "rootfs / rootfs rw 0 0\n"
                             "/dev/sdc1 /mnt/back\\134slash\\011tab ext4 rw 0 0\n"
                             "kaputt\n";
    EXPECT_EQ(mountedPaths(table), QStringList({"/", decodeFileName("/media/anna/\xE4rger Stick"),
                                                "/mnt/ram", "/mnt/back\\slash\ttab"}));
    const QList<Volume> system = systemVolumes();
    ASSERT_FALSE(system.isEmpty());
    EXPECT_EQ(system.first(), (Volume{"/", true}));
    EXPECT_GE(volumeIndexOf(system, QDir::currentPath()), 0);
}

TEST(Pattern, MatchesWildcardsWithoutRegardToCase)
{
    // clang-format off
    const std::tuple<const char *, const char *, bool> cases[] = {
        {"noext", "*.*", true}, {"A.TXT", "a.txt", true}, {"a.txt.bak", "*.txt", false},
        {"abtxt", "a.txt", false}, {"a.md", "  *.txt ;\t*.MD ", true}, {"a.md", "*.txt;;", false},
        {"a.txt", " ; ", false}, {"ab.txt", "a?.txt", true}, {"a.txt", "a?.txt", false},
        {"abc.txt", "a?.txt", false}, {"x1.txt", "x[1].txt", false}, {"x[1].txt", "x[1].txt", true},
        {"a+b(1).txt", "a+b(1).*", true}, {"a^$|.txt", "a^$|.*", true}, {"a\\b.txt", "a\\b.*", true},
        {"Ärger.txt", "ä*", true}, {"two\nlines.txt", "*.txt", true},
        // Characters beyond the Basic Multilingual Plane, one character for "?".
        {"\xF0\x9F\x98\x80.txt", "?.txt", true}, {"\xF0\x90\x90\x80.txt", "\xF0\x90\x90\xA8.TXT", true},
        // Stars in a row and a long name: no backtracking limit.
        {"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", "*********WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", true},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaac",
         "*a*a*a*a*a*a*a*a*a*a*a*ab", false}};
    // clang-format on
    for (const auto &[name, pattern, expected] : cases) {
        EXPECT_EQ(matchesPattern(QString::fromUtf8(name), QString::fromUtf8(pattern)), expected)
            << name << " ~ " << pattern;
    }
}

// A temporary tree under its canonical path, so that paths the lists report
// compare equal to the ones the test builds.
class ListsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        m_base = QFileInfo(m_tmp.path()).canonicalFilePath();
        for (const char *dir :
             {"a/sub", "b/x", "top/beta", "top/Alpha", "top/gamma", "top/.git", "files/dir.txt"})
            ASSERT_TRUE(QDir().mkpath(at(dir)));
        for (const char *file : {"top/file.txt", "files/b.TXT", "files/a.txt", "files/C.md",
                                 "files/noext", "files/.hidden.txt", "files/x[1]+(2).txt"})
            test::writeBytes(at(file), "x");
        ASSERT_TRUE(QFile::link(at("files/a.txt"), at("files/link.txt")));
        ASSERT_TRUE(QFile::link(at("files/gone"), at("files/dangling.txt")));
        ASSERT_EQ(::mkfifo(QFile::encodeName(at("files/pipe.txt")).constData(), 0600), 0);
    }

    QString at(const char *relative) const { return m_base + '/' + QString::fromUtf8(relative); }
    QString rel(const QString &path) const { return path.mid(m_base.size() + 1); }

    const VolumeSource m_volumes = [this] {
        return QList<Volume>{{at("a")}, {at("b")}, {at("missing"), false}};
    };
    QTemporaryDir m_tmp;
    QString m_base;
};

// Lists that do not start at the current folder; a drive list that takes a
// path on no volume, trusts a stale ready state or loses its drive on reopening.
TEST_F(ListsTest, DriveListStartsAtTheCurrentFolderAndReadsTheVolumesAgainWhenItOpens)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(at("b/x")));
    QList<Volume> mounted = m_volumes();
    DriveListBox drive([&mounted] { return mounted; });
    const DirListBox dir;
    const FileListBox files;
    QDir::setCurrent(previous);
    EXPECT_EQ(QStringList({drive.drive(), drive.currentText(), dir.path(), files.path()}),
              QStringList({at("b"), at("b"), at("b/x"), at("b/x")}));

    for (const char *bad : {"C:", "b", "", "/not-on-a-fake-volume"})
        EXPECT_FALSE(drive.setDrive(QString::fromUtf8(bad))) << bad;
    EXPECT_EQ(drive.drive(), at("b"));
    EXPECT_TRUE(drive.isReady());
    EXPECT_TRUE(drive.setDrive(at("missing")));
    EXPECT_FALSE(drive.isReady());
    ASSERT_TRUE(drive.setDrive(at("a")));
    ASSERT_TRUE(QDir(at("a")).removeRecursively());
    test::writeBytes(at("a"), "a file where the root should be");
    EXPECT_FALSE(drive.isReady()); // asked afresh, not taken from the list

    ASSERT_TRUE(drive.setDrive(at("b")));
    mounted = {{at("b")}, {at("top")}}; // a stick pulled out, another plugged in
    QSignalSpy changed(&drive, &DriveListBox::driveChanged);
    drive.showPopup();
    drive.hidePopup();
    EXPECT_EQ(QStringList({drive.itemText(0), drive.itemText(1)}),
              QStringList({at("b"), at("top")}));
    EXPECT_EQ(drive.count(), 2);
    EXPECT_EQ(drive.drive(), at("b"));
    EXPECT_EQ(changed.count(), 0);
}

// The two change handlers of the open panel, chained as the panel chains
// them; the log shows what ran inside what.
TEST_F(ListsTest, ChangeHandlersRunNestedAndOnlyOnRealChanges)
{
    DriveListBox drive(m_volumes);
    DirListBox dir;
    QStringList log;
    QObject::connect(&dir, &DirListBox::pathChanged, [&] {
        log << "dir>" + rel(dir.path());
        EXPECT_TRUE(dir.setPath(dir.path() + "/./")); // the same folder: no re-entry
        drive.setDrive(dir.path());
        log << "dir<";
    });
    QObject::connect(&drive, &DriveListBox::driveChanged, [&] {
        log << "drive>" + rel(drive.drive());
        if (drive.isReady()) {
            dir.setPath(drive.drive());
        } else {
            drive.setDrive(dir.path());
            log << "status";
        }
        log << "drive<";
    });

    ASSERT_TRUE(dir.setPath(at("a/sub"))); // the same drive: no drive handler
    EXPECT_EQ(log, QStringList({"dir>a/sub", "dir<"}));
    log.clear();
    ASSERT_TRUE(dir.setPath(at("b/x")));
    EXPECT_EQ(log, QStringList({"dir>b/x", "drive>b", "dir>b", "dir<", "drive<", "dir<"}));
    log.clear();
    ASSERT_TRUE(drive.setDrive(at("missing")));
    EXPECT_EQ(log, QStringList({"drive>missing", "drive>b", "drive<", "status", "drive<"}));
    log.clear();
    drive.setCurrentIndex(0);
    EXPECT_EQ(log, QStringList({"drive>a", "dir>a", "dir<", "drive<"}));
}

// The folder list shows the ancestors, then the sorted visible subfolders;
// a double click or Enter opens one.
TEST_F(ListsTest, FolderListShowsAncestorsThenSortedVisibleSubfoldersAndOpensThem)
{
    DirListBox dir;
    QSignalSpy changed(&dir, &DirListBox::pathChanged);
    ASSERT_TRUE(dir.setPath(at("top/beta/../gamma/../")));
    for (const QString &bad : {at("top/file.txt"), QString()})
        EXPECT_FALSE(dir.setPath(bad)) << bad.toStdString();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(dir.path(), at("top"));

    QStringList paths{"/"};
    for (const QString &part : at("top").split('/', Qt::SkipEmptyParts))
        paths << QDir::cleanPath(paths.last() + '/' + part);
    const int current = int(paths.size()) - 1;
    paths << at("top/Alpha") << at("top/beta") << at("top/gamma");
    ASSERT_EQ(dir.count(), paths.size());
    for (int i = 0; i < dir.count(); ++i) {
        EXPECT_EQ(dir.item(i)->data(DirListBox::PathRole).toString(), paths.at(i));
        EXPECT_EQ(dir.item(i)->text(), i == 0 ? "/" : QFileInfo(paths.at(i)).fileName());
        EXPECT_EQ(dir.item(i)->data(DirListBox::LevelRole).toInt(), std::min(i, current + 1));
    }
    EXPECT_EQ(dir.currentRow(), current);

    dir.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dir));
    test::doubleClick(dir, dir.findItems("beta", Qt::MatchExactly).value(0));
    EXPECT_EQ(dir.path(), at("top/beta"));
    dir.setCurrentRow(dir.currentRow() - 1); // the parent, "top"
    QTest::keyClick(&dir, Qt::Key_Return);
    EXPECT_EQ(dir.path(), at("top"));
    ASSERT_TRUE(dir.setPath(".."));
    EXPECT_EQ(dir.path(), m_base);
    ASSERT_TRUE(dir.setPath("/"));
    EXPECT_EQ(dir.path(), "/");
    EXPECT_EQ(dir.currentRow(), 0);
}

// The file list: matching regular files (and links to them), reread when
// set; a click, double click or Enter is a choice, the focus alone is none.
TEST_F(ListsTest, FileListShowsMatchingRegularFilesRereadsAndOpens)
{
    FileListBox files;
    files.setPath(at("files"));
    EXPECT_EQ(files.list(),
              QStringList({"a.txt", "b.TXT", "C.md", "link.txt", "noext", "x[1]+(2).txt"}));
    files.setPattern(" *.md;X*");
    EXPECT_EQ(files.list(), QStringList({"C.md", "x[1]+(2).txt"}));
    files.setPattern("*.txt");
    files.setListIndex(1);
    EXPECT_EQ(files.fileName(), "b.TXT");
    test::writeBytes(at("files/0.txt"), "new");
    files.setPath(at("files"));
    EXPECT_EQ(files.list().value(0), "0.txt");
    EXPECT_EQ(files.fileName(), "");
    files.setListIndex(0);
    files.setPattern("*.md");
    EXPECT_EQ(files.listIndex(), -1);
    files.selectionModel()->setCurrentIndex(files.model()->index(0, 0),
                                            QItemSelectionModel::NoUpdate);
    EXPECT_EQ(files.fileName(), "");
    files.setPath(at("files/a.txt"));
    EXPECT_TRUE(files.list().isEmpty());

    files.setPath(at("files"));
    files.setPattern("*.*");
    files.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&files));
    QSignalSpy clicked(&files, &FileListBox::fileClicked);
    QStringList opened;
    QObject::connect(&files, &FileListBox::fileDoubleClicked, [&] { opened << files.fileName(); });
    QTest::mouseClick(files.viewport(), Qt::LeftButton, {},
                      files.visualItemRect(files.item(0)).center());
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(files.fileName(), "0.txt");
    test::doubleClick(files, files.item(3));
    files.setCurrentRow(2);
    QTest::keyClick(&files, Qt::Key_Enter);
    EXPECT_EQ(opened, QStringList({"C.md", "b.TXT"}));
}

TEST_F(ListsTest, ListsOfAHiddenPanelReadTheirFolderOnlyWhenLookedAt)
{
    QWidget panel; // never shown yet, like a file panel at start-up
    DirListBox folders(&panel, PanelList::Fill::WhenShown);
    FileListBox files(&panel, PanelList::Fill::WhenShown);
    ASSERT_TRUE(folders.setPath(at("top")));
    files.setPath(at("files"));
    EXPECT_EQ(folders.count(), 0);
    EXPECT_EQ(files.count(), 0);

    // Asking for the entries reads the folder as it is now.
    test::writeBytes(at("files/spät.txt"), "x");
    EXPECT_TRUE(files.list().contains("spät.txt"));
    // Showing the panel reads the folder list's folder.
    panel.show();
    EXPECT_EQ(folders.item(folders.count() - 1)->text(), "gamma");
    // Once shown, a change reads at once.
    ASSERT_TRUE(folders.setPath(at("a")));
    EXPECT_EQ(folders.item(folders.count() - 1)->text(), "sub");
}

// Non-UTF-8 names listed, sorted and matched as they read in Windows-1252
// (U+FFFD where it has none), kept as bytes, and told apart by the tooltip.
TEST_F(ListsTest, NamesThatAreNotUtf8AreListedReadablyAndKeptAsTheyAre)
{
    const QByteArray base = m_base.toUtf8() + "/latin1";
    const auto cleanup = qScopeGuard([&] { test::removeRawTree(base); });
    const QByteArray folder = base + "/\xC4lteres";
    test::makeRawFolder(base);
    test::makeRawFolder(folder);
    for (const QByteArray name :
         {"\xE4rger.txt", "\xC3\xA4rger.txt", "Zebra.txt", "\x81.txt", ".\xE4-versteckt"})
        test::writeRaw(folder + '/' + name, "x");

    DirListBox dir;
    ASSERT_TRUE(dir.setPath(decodeFileName(base)));
    const QListWidgetItem *entry = dir.item(dir.count() - 1);
    EXPECT_EQ(entry->text(), QStringLiteral("Älteres"));
    EXPECT_EQ(encodeFileName(entry->data(DirListBox::PathRole).toString()), folder);
    EXPECT_TRUE(entry->toolTip().contains(QStringLiteral("nicht in UTF-8")));

    // Entering it by a double click is the main window's test.
    FileListBox files;
    files.setPath(entry->data(DirListBox::PathRole).toString());
    QByteArrayList names;
    QStringList shown;
    for (int i = 0; i < files.count(); ++i) {
        names << encodeFileName(files.list().at(i));
        shown << files.item(i)->text();
        EXPECT_EQ(files.item(i)->toolTip().contains(QStringLiteral("nicht in UTF-8")),
                  names.last() == "\xE4rger.txt" || names.last() == "\x81.txt");
    }
    EXPECT_EQ(names, QByteArrayList({"Zebra.txt", "\xC3\xA4rger.txt", "\xE4rger.txt", "\x81.txt"}));
    EXPECT_EQ(shown, QStringList({"Zebra.txt", "ärger.txt", "ärger.txt", u"\uFFFD.txt"_qs}));
    files.setPattern(QStringLiteral("Ä*"));
    files.setListIndex(1);
    EXPECT_EQ(encodeFileName(files.fileName()), "\xE4rger.txt");
}

} // namespace
} // namespace kelo
