// Saving in the main window: Speichern, the save-as panel, EXIT and closing.
// Nothing may be lost on any of these ways.
#include "files/saveaspanel.h"
#include "platform/controls.h"
#include "platform/filenames.h"
#include "platform/listcontrols.h"
#include "platform/textbox.h"
#include "shell/startup.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

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

// EXIT asks whenever there is text, closing only over a changed one, and
// neither asks twice; No closes without saving, Yes saves and closes.
struct Closing {
    const char *name;
    bool exitButton;
    const char *text; // typed over the loaded "alt", or nothing
    MsgAnswer answer;
    bool asks;
};

class SaveOnClose : public Save, public ::testing::WithParamInterface<Closing> {};

INSTANTIATE_TEST_SUITE_P(
    Questions, SaveOnClose,
    ::testing::Values(Closing{"ExitEmptyText", true, "", MsgAnswer::Yes, false},
                      Closing{"ExitUnchanged", true, nullptr, MsgAnswer::No, true},
                      Closing{"CloseUnchanged", false, nullptr, MsgAnswer::Yes, false},
                      Closing{"CloseChangedNo", false, "neu", MsgAnswer::No, true},
                      Closing{"CloseChangedYes", false, "neu", MsgAnswer::Yes, true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_P(SaveOnClose, AsksOnlyWhenItShouldAndNeverTwice)
{
    const Closing &c = GetParam();
    Form1 &form = startShown({makeFile("zu.txt", "alt\r\n")});
    if (c.text)
        form.TextBox1->setText(QString::fromUtf8(c.text));
    m_messages.queueAnswer(c.answer);
    c.exitButton ? form.EXIT->click() : closeWindow();
    const bool saved = c.asks && c.answer == MsgAnswer::Yes;
    EXPECT_TRUE(closed());
    EXPECT_EQ(m_messages.texts().value(0), c.asks ? question(form.currentFile()) : QString());
    EXPECT_EQ(m_messages.texts().size(), int(c.asks) + int(saved)); // the confirmation
    EXPECT_EQ(readBytes(form.currentFile()), saved ? "neu\r\n" : "alt\r\n");
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

} // namespace
} // namespace kelo::test
