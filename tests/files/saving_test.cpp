// Saving in the main window: Speichern and its messages, the save-as panel,
// EXIT, and the question before the window closes over a changed text.
// Nothing may be lost on any of these ways.
#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "files/saving.h"
#include "platform/controls.h"
#include "platform/listcontrols.h"
#include "platform/textbox.h"
#include "platform/units.h"
#include "shell/startup.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

const QString hoppla = QStringLiteral("Hoppla, es ist ein Fehler aufgetreten !");
const QString askForName = QStringLiteral("Bitte zuerst einen Namen vergeben !");
const QString unnamedQuestion = QStringLiteral("Datei  speichern ?"); // no current file

QString saved(const QString &path)
{
    return QStringLiteral("Datei ") + path + QStringLiteral(" wurde gespeichert");
}

QString question(const QString &path)
{
    return QStringLiteral("Datei ") + path + QStringLiteral(" speichern ?");
}

class Save : public Form1Fixture {
protected:
    Form1 &startWith(const QString &name, const QByteArray &bytes)
    {
        return start({makeFile(name, bytes)});
    }
    // Types a name into the save-as panel's box and presses Enter.
    void saveAs(Form1 &form, const QString &name)
    {
        form.Dateiauswahl2->saveas->setText(name);
        QTest::keyClick(form.Dateiauswahl2->saveas, Qt::Key_Return);
    }
    // The save-as panel shows, inside the window.
    static bool panelShows(Form1 &form)
    {
        return form.Dateiauswahl2->isVisibleTo(&form) &&
               form.rect().intersects(form.Dateiauswahl2->geometry());
    }
    QString inProgramFolder(const QString &name) const
    {
        return QDir(m_programFolder).filePath(name);
    }
    // The window was closed and the shut-down stored the settings.
    bool closed(Form1 &form) const
    {
        return !form.isVisible() && setting(key::filter) != QStringLiteral("<missing>");
    }
};

// ---- Speichern -----------------------------------------------------------------

TEST_F(Save, EmptyTextIsOneLineBreakAndCountsAsUnchangedAfterwards)
{
    Form1 &form = startWith(QStringLiteral("leer.txt"), "etwas");
    form.TextBox1->setText(QString());
    ASSERT_TRUE(form.TextBox1->isModified());
    form.img_save->click();
    EXPECT_EQ(readBytes(form.currentFile()), "\r\n");
    EXPECT_EQ(m_messages.texts(), QStringList{saved(form.currentFile())});
    EXPECT_FALSE(form.TextBox1->isModified());
}

TEST_F(Save, WithoutACurrentFileAndWithoutKeloTxtAsksForAName)
{
    Form1 &form = start();
    form.TextBox1->setText(QStringLiteral("ungesichert"));
    EXPECT_FALSE(form.saving()->Speichern());
    EXPECT_EQ(m_messages.texts(), QStringList{askForName});
    EXPECT_TRUE(panelShows(form));
    EXPECT_EQ(form.currentFile(), inProgramFolder(QStringLiteral("Kelo.txt")));
    EXPECT_FALSE(QFileInfo::exists(form.currentFile())); // never created here
}

TEST_F(Save, WithoutACurrentFileKeloTxtInTheProgramsFolderIsReplaced)
{
    writeBytes(inProgramFolder(QStringLiteral("Kelo.txt")), "alt\r\n");
    Form1 &form = start();
    form.TextBox1->setText(QStringLiteral("neu"));
    EXPECT_TRUE(form.saving()->Speichern());
    EXPECT_EQ(readBytes(inProgramFolder(QStringLiteral("Kelo.txt"))), "neu\r\n");
    EXPECT_EQ(m_messages.texts(), QStringList{saved(inProgramFolder(QStringLiteral("Kelo.txt")))});
}

TEST_F(Save, FileDeletedSinceLoadingAsksForAName)
{
    Form1 &form = startWith(QStringLiteral("weg.txt"), "Inhalt");
    form.TextBox1->setText(QStringLiteral("geändert"));
    ASSERT_TRUE(QFile::remove(form.currentFile()));
    EXPECT_FALSE(form.saving()->Speichern());
    EXPECT_EQ(m_messages.texts(), QStringList{askForName});
    EXPECT_FALSE(QFileInfo::exists(form.currentFile()));
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("geändert"));
}

// Never confirmed: Hoppla, the reason in the status line, the old file and
// the text as they were, and the panel open for another name.
TEST_F(Save, FileMadeReadOnlySinceLoadingIsReportedAndLosesNothing)
{
    Form1 &form = startWith(QStringLiteral("fest.txt"), "alter Inhalt\r\n");
    form.TextBox1->setText(QStringLiteral("neuer Inhalt"));
    QFile::setPermissions(form.currentFile(), QFile::ReadOwner | QFile::ReadOther);
    EXPECT_FALSE(form.saving()->Speichern());
    EXPECT_EQ(m_messages.texts(), QStringList{hoppla});
    EXPECT_TRUE(form.lblstatus->text().contains(QStringLiteral("schreibgeschützt")));
    EXPECT_EQ(readBytes(form.currentFile()), "alter Inhalt\r\n");
    EXPECT_TRUE(form.TextBox1->isModified());
    EXPECT_TRUE(panelShows(form));
}

TEST_F(Save, Windows1252TextWithOtherCharactersIsSavedAsUtf8AndSaysSo)
{
    Form1 &form = startWith(QStringLiteral("alt.txt"), "Gr\374\337e\r\n");
    form.TextBox1->setText(QStringLiteral("Grüße Ω\r\n"));
    EXPECT_TRUE(form.saving()->Speichern());
    EXPECT_EQ(readBytes(form.currentFile()), QByteArray("Grüße Ω\r\n"));
    EXPECT_EQ(form.lblstatus->text(),
              QStringLiteral("Gespeichert als UTF-8: der Text enthält Zeichen, die Windows-1252 "
                             "nicht darstellen kann."));
    // The file is UTF-8 now, also once the Ω is gone.
    form.TextBox1->setText(QStringLiteral("Grüße\r\n"));
    form.saving()->Speichern();
    EXPECT_EQ(readBytes(form.currentFile()), QByteArray("Grüße\r\n"));
}

TEST_F(Save, CtrlSSavesAlsoFromTheEditor)
{
    Form1 &form = startWith(QStringLiteral("kurz.txt"), "x");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.TextBox1->setText(QStringLiteral("getippt"));
    form.TextBox1->setFocus();
    QTest::keyClick(form.TextBox1, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(readBytes(form.currentFile()), "getippt\r\n");
}

// ---- The save-as panel -------------------------------------------------------

TEST_F(Save, PanelStartsInTheProgramsFolderWhereANewTextGoes)
{
    Form1 &form = start();
    form.cmd_open_Click();
    form.Save_AS->click();
    EXPECT_EQ(form.Dateiauswahl2->y(), twipsToPixels(650));
    EXPECT_FALSE(form.Dateiauswahl->isVisibleTo(&form));
    EXPECT_EQ(form.Dateiauswahl2->Dir2->path(), m_programFolder);
    EXPECT_TRUE(form.currentFile().isEmpty());
    form.TextBox1->setText(QStringLiteral("Erster Text"));

    saveAs(form, QStringLiteral("neu.txt"));

    const QString path = inProgramFolder(QStringLiteral("neu.txt"));
    EXPECT_EQ(readBytes(path), "Erster Text\r\n");
    EXPECT_EQ(form.currentFile(), path);
    EXPECT_EQ(m_messages.texts(),
              QStringList{QStringLiteral("Datei wurde gespeichert unter ") + path});
    EXPECT_FALSE(form.Dateiauswahl2->isVisibleTo(&form));
}

TEST_F(Save, WithoutACurrentFileTheFolderShownIsTheFolderUsed)
{
    Form1 &form = start();
    ASSERT_TRUE(form.Dateiauswahl2->Dir2->setPath(m_work));
    form.setCurrentFile(QString());
    saveAs(form, QStringLiteral("b.txt"));
    EXPECT_EQ(readBytes(QDir(m_work).filePath(QStringLiteral("b.txt"))), "\r\n");
    EXPECT_FALSE(QFileInfo::exists(inProgramFolder(QStringLiteral("b.txt"))));
}

TEST_F(Save, BrowsingChangesTheCurrentFileAndSaveAsReplacesWithoutAsking)
{
    Form1 &form = startWith(QStringLiteral("erst.txt"), "erst\r\n");
    QDir(m_work).mkdir(QStringLiteral("unter"));
    const QString existing = makeFile(QStringLiteral("unter/a.txt"), "wird ersetzt");
    form.Dateiauswahl2->saveas->setText(QStringLiteral("a.txt"));
    ASSERT_TRUE(form.Dateiauswahl2->Dir2->setPath(QFileInfo(existing).path()));
    EXPECT_EQ(form.currentFile(), existing); // browsing alone names it
    saveAs(form, QStringLiteral("a.txt"));
    EXPECT_EQ(readBytes(existing), "erst\r\n");
    EXPECT_EQ(m_messages.texts().size(), 1);
}

TEST_F(Save, TheRootFolderIsJoinedWithOneSeparator)
{
    Form1 &form = start();
    form.Dateiauswahl2->saveas->setText(QStringLiteral("a.txt"));
    ASSERT_TRUE(form.Dateiauswahl2->Dir2->setPath(QStringLiteral("/")));
    EXPECT_EQ(form.currentFile(), QStringLiteral("/a.txt"));
    saveAs(form, QStringLiteral("tmp")); // a folder: fails, still one separator
    EXPECT_EQ(form.currentFile(), QStringLiteral("/tmp"));
    EXPECT_EQ(m_messages.texts(), QStringList{hoppla});
}

// Names that are no file name in the shown folder: nothing is written, the
// text stays, the status line says why, the panel stays open.
struct BadName {
    const char *name;
    QString typed;
    bool hoppla; // a blank name only gets the status line
};

class SaveBadName : public Save, public ::testing::WithParamInterface<BadName> {};

INSTANTIATE_TEST_SUITE_P(NameBox, SaveBadName,
                         ::testing::Values(BadName{"Empty", QString(), false},
                                           BadName{"Blanks", QStringLiteral("   "), false},
                                           BadName{"Slash", QStringLiteral("unter/a.txt"), true},
                                           BadName{"DotDot", QStringLiteral(".."), true},
                                           BadName{"ExistingFolder", QStringLiteral("unter"), true},
                                           BadName{"TooLong", QString(300, QLatin1Char('n')),
                                                   true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_P(SaveBadName, NothingIsWrittenAndTheTextStays)
{
    Form1 &form = start();
    QDir(m_work).mkdir(QStringLiteral("unter"));
    ASSERT_TRUE(form.Dateiauswahl2->Dir2->setPath(m_work));
    form.Save_AS->click();
    form.TextBox1->setText(QStringLiteral("mein Text"));
    const auto entries = [this] {
        return QDir(m_root.path())
                   .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) +
               QDir(m_work).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) +
               QDir(m_work + QStringLiteral("/unter")).entryList(QDir::AllEntries | QDir::Hidden);
    };
    const QStringList before = entries();

    saveAs(form, GetParam().typed);

    EXPECT_EQ(entries(), before);
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("mein Text"));
    EXPECT_EQ(m_messages.texts(), GetParam().hoppla ? QStringList{hoppla} : QStringList{});
    EXPECT_FALSE(form.lblstatus->text().isEmpty());
    EXPECT_TRUE(panelShows(form));
}

// ---- EXIT and closing ----------------------------------------------------------

TEST_F(Save, ExitWithAnEmptyTextClosesWithoutAQuestion)
{
    Form1 &form = start();
    form.show();
    form.TextBox1->setText(QStringLiteral("x"));
    form.TextBox1->setText(QString()); // changed, but empty: EXIT's own rule
    form.EXIT->click();
    EXPECT_TRUE(closed(form));
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

TEST_F(Save, ExitAsksOnceAlsoForAnUnchangedTextAndNoClosesWithoutSaving)
{
    Form1 &form = startWith(QStringLiteral("nein.txt"), "alt\r\n");
    form.show();
    m_messages.queueAnswer(MsgAnswer::No);
    form.saving()->EXIT_Click();
    EXPECT_TRUE(closed(form));
    ASSERT_EQ(m_messages.shown().size(), 1); // closing does not ask again
    EXPECT_EQ(m_messages.shown().first().text, question(form.currentFile()));
    EXPECT_EQ(m_messages.shown().first().buttons, MsgButtons::YesNo);
}

TEST_F(Save, ExitYesWithoutAFileKeepsTheWindowOpenUntilTheTextIsSaved)
{
    Form1 &form = start();
    form.show();
    form.TextBox1->setText(QStringLiteral("nicht verlieren"));
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.saving()->EXIT_Click();
    EXPECT_EQ(m_messages.texts(), QStringList({unnamedQuestion, askForName}));
    EXPECT_FALSE(closed(form));
    EXPECT_TRUE(panelShows(form));

    saveAs(form, QStringLiteral("gerettet.txt"));
    m_messages.queueAnswer(MsgAnswer::No);
    form.saving()->EXIT_Click();
    EXPECT_TRUE(closed(form));
    EXPECT_EQ(readBytes(inProgramFolder(QStringLiteral("gerettet.txt"))), "nicht verlieren\r\n");
}

TEST_F(Save, ExitYesWithAFailedWriteKeepsTheWindowOpen)
{
    Form1 &form = startWith(QStringLiteral("nur.txt"), "alt\r\n");
    form.show();
    QFile::setPermissions(form.currentFile(), QFile::ReadOwner);
    form.TextBox1->setText(QStringLiteral("neu"));
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.saving()->EXIT_Click();
    EXPECT_EQ(m_messages.texts(), QStringList({question(form.currentFile()), hoppla}));
    EXPECT_FALSE(closed(form));
    EXPECT_TRUE(panelShows(form));
}

TEST_F(Save, ClosingAChangedTextAsksAndNoClosesWithoutSaving)
{
    Form1 &form = startWith(QStringLiteral("zu.txt"), "alt\r\n");
    form.TextBox1->setText(QStringLiteral("neu"));
    m_messages.queueAnswer(MsgAnswer::No);
    closeWindow();
    EXPECT_TRUE(closed(form));
    EXPECT_EQ(m_messages.texts(), QStringList{question(form.currentFile())});
    EXPECT_EQ(readBytes(form.currentFile()), "alt\r\n");
}

TEST_F(Save, ClosingAChangedTextAndYesSavesAndCloses)
{
    Form1 &form = startWith(QStringLiteral("ja.txt"), "alt\r\n");
    form.TextBox1->setText(QStringLiteral("neu"));
    m_messages.queueAnswer(MsgAnswer::Yes);
    closeWindow();
    EXPECT_TRUE(closed(form));
    EXPECT_EQ(readBytes(form.currentFile()), "neu\r\n");
}

TEST_F(Save, ClosingAChangedTextAndYesWithoutAFileStaysOpenWithEveryWindow)
{
    Form1 &form = start();
    form.TextBox1->setText(QStringLiteral("neu getippt"));
    m_messages.queueAnswer(MsgAnswer::Yes);
    QWidget other;
    other.show();
    closeWindow();
    EXPECT_FALSE(closed(form));
    EXPECT_TRUE(other.isVisible());
    EXPECT_EQ(m_messages.texts(), QStringList({unnamedQuestion, askForName}));

    // Saved (the text counts as unchanged): closing asks nothing more.
    saveAs(form, QStringLiteral("jetzt.txt"));
    m_messages.clear();
    closeWindow();
    EXPECT_TRUE(closed(form));
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

// ---- The panel's drive list ----------------------------------------------------

TEST(SaveAsPanelDrives, DriveThatIsNotReadyGoesBackAndSaysSo)
{
    QTemporaryDir ready;
    ASSERT_TRUE(ready.isValid());
    const QString readyPath = ready.path();
    const QString gonePath = readyPath + QStringLiteral("-weg"); // listed, cannot be read
    SaveAsPanel panel([readyPath, gonePath] {
        return QList<Volume>{{readyPath, true}, {gonePath, false}};
    });
    ASSERT_TRUE(panel.Dir2->setPath(readyPath));
    QStringList reports;
    QObject::connect(&panel, &SaveAsPanel::statusMessage, [&](const QString &t) { reports << t; });
    QObject::connect(&panel, &SaveAsPanel::folderChosen, [&](const QString &t) { reports << t; });

    EXPECT_TRUE(panel.Drive2->setDrive(gonePath));

    EXPECT_EQ(panel.Drive2->drive(), readyPath);
    EXPECT_EQ(panel.Dir2->path(), readyPath);
    EXPECT_EQ(reports, QStringList{QStringLiteral("Laufwerk nicht verfügbar !")});
}

} // namespace
} // namespace kelo::test
