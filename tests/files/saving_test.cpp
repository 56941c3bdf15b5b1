// Saving in the main window: Speichern, the save-as panel, EXIT and closing.
// Nothing may be lost on any of these ways.
#include "files/saveaspanel.h"
#include "platform/controls.h"
#include "platform/filenames.h"
#include "platform/listcontrols.h"
#include "platform/textbox.h"
#include "platform/settingsstore.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

namespace kelo::test {
namespace {

const QString hoppla = QStringLiteral("Hoppla, es ist ein Fehler aufgetreten !");
const QString askForName = QStringLiteral("Bitte zuerst einen Namen vergeben !");
const auto question = [](const QString &path) -> QString {
    return "Datei " + path + " speichern ?";
};

class Save : public Form1Fixture {
protected:
    void saveAs(const QString &name)
    {
        m_window->Dateiauswahl2->saveas->setText(name);
        QTest::keyClick(m_window->Dateiauswahl2->saveas, Qt::Key_Return);
    }
    bool panelShows() const
    {
        return m_window->Dateiauswahl2->isVisibleTo(m_window.get()) &&
               m_window->rect().intersects(m_window->Dateiauswahl2->geometry());
    }
    // The window was closed and the shut-down stored the settings.
    bool closed() const { return !m_window->isVisible() && setting(key::filter) != "<missing>"; }
};

// A file made read-only or deleted since loading: never confirmed, the old
// file and the text as they were, the window and the panel open.
TEST_F(Save, SpeichernConfirmsFallsBackToUtf8AndLosesNothingOnFailure)
{
    Form1 &form = startShown({makeFile("alt.txt", "Gr\374\337e\r\n")});
    const QString file = form.currentFile();
    form.TextBox1->setText(QStringLiteral("Grüße Ω\r\n"));
    form.TextBox1->setFocus();
    QTest::keyClick(form.TextBox1, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(readBytes(file), QByteArray("Grüße Ω\r\n"));
    EXPECT_EQ(m_messages.texts(), QStringList{"Datei " + file + " wurde gespeichert"});
    EXPECT_FALSE(form.TextBox1->isModified());
    EXPECT_TRUE(form.lblstatus->text().startsWith(QStringLiteral("Gespeichert als UTF-8")));

    form.TextBox1->setText(QStringLiteral("neu"));
    QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadOther);
    m_messages.clear();
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.EXIT->click();
    EXPECT_EQ(m_messages.texts(), QStringList({question(file), hoppla}));
    EXPECT_EQ(m_messages.shown().value(0).buttons, MsgButtons::YesNo);
    EXPECT_FALSE(closed());
    EXPECT_TRUE(form.lblstatus->text().contains(QStringLiteral("schreibgeschützt")));
    EXPECT_EQ(readBytes(file), QByteArray("Grüße Ω\r\n"));
    EXPECT_TRUE(form.TextBox1->isModified());
    EXPECT_TRUE(panelShows());

    ASSERT_TRUE(QFile::remove(file));
    m_messages.clear();
    form.img_save->click();
    EXPECT_EQ(m_messages.texts(), QStringList{askForName});
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("neu"));
}

// The panel writes where it shows; browsing names the file. Bad names write
// nothing, keep the text and the panel, and say why (blank ones only in the
// status line).
TEST_F(Save, SaveAsWritesWhereThePanelShowsAndNothingForBadNames)
{
    Form1 &form = start();
    form.Save_AS->click();
    EXPECT_EQ(form.Dateiauswahl2->Dir2->path(), m_programFolder);
    form.TextBox1->setText(QStringLiteral("mein Text"));
    saveAs("neu.txt");
    const QString path = m_programFolder + "/neu.txt";
    EXPECT_EQ(readBytes(path), "mein Text\r\n");
    EXPECT_EQ(form.currentFile(), path);
    EXPECT_EQ(m_messages.texts(), QStringList{"Datei wurde gespeichert unter " + path});
    EXPECT_FALSE(form.Dateiauswahl2->isVisibleTo(&form));

    form.Dateiauswahl2->saveas->setText("a.txt");
    ASSERT_TRUE(form.Dateiauswahl2->Dir2->setPath("/"));
    EXPECT_EQ(form.currentFile(), QStringLiteral("/a.txt")); // one separator after the root
    QDir(m_work).mkdir("unter");
    ASSERT_TRUE(form.Dateiauswahl2->Dir2->setPath(m_work));

    form.Save_AS->click();
    const std::pair<QString, bool> cases[] = {
        {QString(), false}, {"   ", false}, {"unter/a.txt", true}, {"..", true}, {"unter", true}};
    for (const auto &[typed, fails] : cases) {
        form.lblstatus->clear();
        m_messages.clear();
        saveAs(typed);
        const auto entries = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
        EXPECT_EQ(QDir(m_work).entryList(entries), QStringList{QStringLiteral("unter")});
        EXPECT_TRUE(QDir(m_work + "/unter").entryList(entries).isEmpty());
        EXPECT_EQ(m_messages.texts(), fails ? QStringList{hoppla} : QStringList{})
            << typed.toStdString();
        EXPECT_FALSE(form.lblstatus->text().isEmpty());
        EXPECT_TRUE(panelShows());
    }
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("mein Text"));
}

using SaveLatin1 = Latin1Fixture;

// The save-as panel enters the Latin-1 folder from its folder list and writes
// a newly named file inside it, and nothing else; a save that is refused
// there names the file readably and leaves it as it was.
TEST_F(SaveLatin1, SaveAsWritesIntoAFolderWhoseNameIsNotUtf8)
{
    Form1 &form = startShown();
    form.Save_AS->click();
    SaveAsPanel *panel = form.Dateiauswahl2;
    ASSERT_TRUE(panel->Dir2->setPath(m_work));
    const QList<QListWidgetItem *> folders =
        panel->Dir2->findItems(QStringLiteral("Älteres"), Qt::MatchExactly);
    ASSERT_EQ(folders.size(), 1);
    doubleClick(*panel->Dir2, folders.first());
    EXPECT_EQ(encodeFileName(panel->Dir2->path()), m_folderRaw);

    form.TextBox1->setText(QStringLiteral("mein Text"));
    panel->saveas->setText(QStringLiteral("neu.txt"));
    QTest::keyClick(panel->saveas, Qt::Key_Return);
    EXPECT_EQ(readRaw(m_folderRaw + "/neu.txt"), "mein Text\r\n");
    EXPECT_EQ(rawEntries(m_folderRaw), QByteArrayList({"neu.txt", "\xE4rger.txt"}));
    EXPECT_EQ(encodeFileName(form.currentFile()), m_folderRaw + "/neu.txt");
    EXPECT_EQ(m_messages.texts(),
              QStringList{"Datei wurde gespeichert unter " + m_folderShown + "/neu.txt"});

    form.setCurrentFile(decodeFileName(m_fileRaw));
    ASSERT_EQ(::chmod(m_fileRaw.constData(), S_IRUSR), 0);
    m_messages.clear();
    form.img_save->click();
    EXPECT_EQ(m_messages.texts(), QStringList{hoppla});
    EXPECT_TRUE(form.lblstatus->text().contains(m_fileShown + " ist schreibgeschützt"))
        << form.lblstatus->text().toStdString();
    EXPECT_EQ(readRaw(m_fileRaw), "Gr\374\337e\r\n");
    EXPECT_EQ(rawEntries(m_folderRaw), QByteArrayList({"neu.txt", "\xE4rger.txt"}));
}

TEST(SaveAsPanelDrives, DriveThatIsNotReadyGoesBackAndSaysSo)
{
    QTemporaryDir ready;
    const QString gone = ready.path() + "-weg";
    SaveAsPanel panel([&] { return QList<Volume>{{ready.path(), true}, {gone, false}}; });
    ASSERT_TRUE(panel.Dir2->setPath(ready.path()));
    QStringList reports;
    QObject::connect(&panel, &SaveAsPanel::statusMessage, [&](const QString &t) { reports << t; });
    EXPECT_TRUE(panel.Drive2->setDrive(gone));
    EXPECT_EQ(panel.Drive2->drive(), ready.path());
    EXPECT_EQ(reports, QStringList{QStringLiteral("Laufwerk nicht verfügbar !")});
}

// EXIT asks whenever there is text ("Ja"/"Nein"), every other way of closing
// only over a changed one ("Ja"/"Nein"/"Abbrechen"), and none asks twice. No
// closes without saving, Yes saves and closes, going back (Escape, the box's
// close button, "Abbrechen": all answer Cancel) keeps the window and the text.
enum class Way { Exit, TitleBar, Console };
struct Closing {
    const char *name;
    Way way;
    const char *text; // typed over the loaded "alt", or nothing
    MsgAnswer answer;
    bool asks;
};

class SaveOnClose : public Save, public ::testing::WithParamInterface<Closing> {};

INSTANTIATE_TEST_SUITE_P(
    Questions, SaveOnClose,
    ::testing::Values(Closing{"ExitEmptyText", Way::Exit, "", MsgAnswer::Yes, false},
                      Closing{"ExitUnchanged", Way::Exit, nullptr, MsgAnswer::No, true},
                      Closing{"ExitChangedYes", Way::Exit, "neu", MsgAnswer::Yes, true},
                      Closing{"ExitGoesBack", Way::Exit, "neu", MsgAnswer::Cancel, true},
                      Closing{"CloseUnchanged", Way::TitleBar, nullptr, MsgAnswer::Yes, false},
                      Closing{"CloseChangedNo", Way::TitleBar, "neu", MsgAnswer::No, true},
                      Closing{"CloseChangedYes", Way::TitleBar, "neu", MsgAnswer::Yes, true},
                      Closing{"CloseGoesBack", Way::TitleBar, "neu", MsgAnswer::Cancel, true},
                      Closing{"ConsoleChangedNo", Way::Console, "neu", MsgAnswer::No, true},
                      Closing{"ConsoleGoesBack", Way::Console, "neu", MsgAnswer::Cancel, true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_P(SaveOnClose, AsksOnlyWhenItShouldAndNeverTwice)
{
    const Closing &c = GetParam();
    Form1 &form = startShown({makeFile("zu.txt", "alt\r\n")});
    if (c.text)
        form.TextBox1->setText(QString::fromUtf8(c.text));
    m_messages.queueAnswer(c.answer);
    switch (c.way) {
    case Way::Exit:
        form.EXIT->click();
        break;
    case Way::TitleBar:
        closeWindow();
        break;
    case Way::Console:
        form.lblstatus->setText(QStringLiteral("exit"));
        QTest::keyClick(form.lblstatus, Qt::Key_Return);
        break;
    }
    const bool saved = c.asks && c.answer == MsgAnswer::Yes;
    const bool wentBack = c.answer == MsgAnswer::Cancel;
    EXPECT_EQ(closed(), !wentBack);
    EXPECT_EQ(m_messages.texts().value(0), c.asks ? question(form.currentFile()) : QString());
    if (c.asks) {
        EXPECT_EQ(m_messages.shown().value(0).buttons,
                  c.way == Way::Exit ? MsgButtons::YesNo : MsgButtons::YesNoCancel);
    }
    EXPECT_EQ(m_messages.texts().size(), int(c.asks) + int(saved)); // the confirmation
    EXPECT_EQ(readBytes(form.currentFile()), saved ? "neu\r\n" : "alt\r\n");
    if (wentBack) {
        EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("neu"));
        EXPECT_TRUE(form.TextBox1->isModified());
    }
}

// Without a current file Speichern replaces Kelo.txt but never creates it; a
// Yes that did not save keeps the window open.
TEST_F(Save, WithoutAFileKeloTxtIsReplacedButNotCreatedAndTheWindowStays)
{
    Form1 &form = startShown();
    form.TextBox1->setText(QStringLiteral("nicht verlieren"));
    m_messages.queueAnswer(MsgAnswer::Yes);
    closeWindow();
    const QString kelo = m_programFolder + "/Kelo.txt";
    EXPECT_EQ(m_messages.texts(), QStringList({question(QString()), askForName}));
    EXPECT_FALSE(closed());
    EXPECT_TRUE(panelShows());
    EXPECT_FALSE(QFileInfo::exists(kelo));

    writeBytes(kelo, "alt\r\n");
    m_messages.queueAnswer(MsgAnswer::Yes);
    closeWindow();
    EXPECT_EQ(m_messages.texts().value(2), question(kelo));
    EXPECT_TRUE(closed());
    EXPECT_EQ(readBytes(kelo), "nicht verlieren\r\n");
}

// Another program wrote the file after Kelo read it: Speichern asks first,
// "Nein" (the default) and going back keep that program's bytes. A file that
// is gone, or a folder now, is not written: the save-as panel asks for a name.
struct OtherWrite {
    const char *name;
    void (*change)(const QString &path);
    MsgAnswer answer; // to the overwrite question, when there is one
    bool asks;
    const char *status; // what the window says when it becomes active again
};

void writeOther(const QString &path)
{
    writeBytes(path, "vom anderen Programm\n");
}
void replaceOther(const QString &path)
{
    // Same size and time as before, but another file: only the inode tells.
    const QFileInfo before(path);
    writeBytes(path + ".neu", "ALT\r\n");
    QFile(path + ".neu").setFileTime(before.lastModified(), QFileDevice::FileModificationTime);
    ASSERT_EQ(std::rename(QFile::encodeName(path + ".neu").constData(),
                          QFile::encodeName(path).constData()),
              0);
}
void linkOther(const QString &path)
{
    writeBytes(path + ".ziel", "alt\r\n");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::link(path + ".ziel", path));
}
void deleteIt(const QString &path)
{
    ASSERT_TRUE(QFile::remove(path));
}
void folderInstead(const QString &path)
{
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkdir(path));
}

class SaveOverOtherWrites : public Save, public ::testing::WithParamInterface<OtherWrite> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveOverOtherWrites,
    ::testing::Values(OtherWrite{"WrittenNo", writeOther, MsgAnswer::No, true, "geändert"},
                      OtherWrite{"WrittenYes", writeOther, MsgAnswer::Yes, true, "geändert"},
                      OtherWrite{"WrittenGoBack", writeOther, MsgAnswer::Cancel, true, "geändert"},
                      OtherWrite{"ReplacedNo", replaceOther, MsgAnswer::No, true, "geändert"},
                      OtherWrite{"LinkedYes", linkOther, MsgAnswer::Yes, true, "geändert"},
                      OtherWrite{"Deleted", deleteIt, MsgAnswer::Yes, false, "nicht mehr"},
                      OtherWrite{"Folder", folderInstead, MsgAnswer::Yes, false, "nicht mehr"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_P(SaveOverOtherWrites, AsksBeforeItWritesOverAnotherProgramsBytes)
{
    const OtherWrite &c = GetParam();
    Form1 &form = startShown({makeFile("geteilt.txt", "alt\r\n")});
    const QString file = form.currentFile();
    form.TextBox1->setText(QStringLiteral("meins\r\n"));
    // A save of our own is no other program's write.
    form.img_save->click();
    ASSERT_EQ(readBytes(file), "meins\r\n");
    form.TextBox1->setText(QStringLiteral("neu\r\n"));

    c.change(file);
    const QByteArray theirs = QFileInfo(file).isFile() ? readBytes(file) : QByteArray();
    // Back in the window, the status line says what happened, once.
    QApplication::setActiveWindow(nullptr);
    form.activateWindow();
    QApplication::setActiveWindow(&form);
    EXPECT_TRUE(form.lblstatus->text().contains(QString::fromUtf8(c.status)))
        << form.lblstatus->text().toStdString();

    m_messages.clear();
    m_messages.queueAnswer(c.answer);
    form.img_save->click();
    if (!c.asks) {
        EXPECT_EQ(m_messages.texts(), QStringList{askForName});
        EXPECT_TRUE(panelShows());
        EXPECT_FALSE(QFileInfo(file).isFile());
        return;
    }
    ASSERT_FALSE(m_messages.shown().isEmpty());
    EXPECT_TRUE(m_messages.texts().value(0).contains(QStringLiteral("anderen Programm")));
    EXPECT_EQ(m_messages.shown().value(0).buttons, MsgButtons::YesNo);
    EXPECT_EQ(m_messages.shown().value(0).defaultAnswer, MsgAnswer::No);
    const bool written = c.answer == MsgAnswer::Yes;
    EXPECT_EQ(readBytes(file), written ? QByteArray("neu\r\n") : theirs);
    EXPECT_EQ(form.TextBox1->isModified(), !written);
    EXPECT_EQ(m_messages.texts().size(), written ? 2 : 1); // and "wurde gespeichert"
    if (written) {
        // Now it is our write again: the next save does not ask.
        m_messages.clear();
        form.img_save->click();
        EXPECT_EQ(m_messages.texts(), QStringList{"Datei " + file + " wurde gespeichert"});
    }
}

} // namespace
} // namespace kelo::test
