// Saving beside a stand-in window: Speichern, the save-as panel, EXIT and the
// question before a changed text goes, none of which may lose anything.
#include "files/saveaspanel.h"
#include "files/saving.h"
#include "otherwrites.h"
#include "platform/controls.h"
#include "platform/filenames.h"
#include "platform/listcontrols.h"
#include "platform/textbox.h"
#include "platform/workprogress.h"
#include "support/fakeport.h"
#include "support/input.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <utility>

namespace kelo::test {
namespace {

const QString hoppla = QStringLiteral("Hoppla, es ist ein Fehler aufgetreten !");
const QString askForName = QStringLiteral("Bitte zuerst einen Namen vergeben !");
const auto question = [](const QString &path) -> QString {
    return "Datei " + path + " speichern ?";
};
const auto savedAs = [](const QString &path) -> QString {
    return "Datei " + path + " wurde gespeichert";
};

// Saving as the window builds it, the panel inside it, on one fake volume.
class Save : public PortTest {
protected:
    void saveAs(const QString &name)
    {
        m_panel.saveas->setText(name);
        QTest::keyClick(m_panel.saveas, Qt::Key_Return);
    }
    bool panelShows()
    {
        return m_panel.isVisibleTo(&m_port.window()) &&
               m_port.window().rect().intersects(m_panel.geometry());
    }

    // The folder lists start in the current folder: one on the fake volume.
    struct CurrentFolder {
        explicit CurrentFolder(const QString &path) { EXPECT_TRUE(QDir::setCurrent(path)); }
        ~CurrentFolder() { QDir::setCurrent(previous); }
        const QString previous = QDir::currentPath();
    } m_current{m_work};
    SaveAsPanel m_panel{[volume = QFileInfo(m_work).path()] {
                            return QList<Volume>{{volume, true}};
                        },
                        &m_port.window()};
    Saving m_saving{m_port, m_panel};
};

// Speichern writes and confirms, as UTF-8 when Windows-1252 lacks a character
// (the status line says so). A file made read-only since: never confirmed,
// the old file and the text kept, the window and the panel open.
TEST_F(Save, SpeichernConfirmsFallsBackToUtf8AndLosesNothingOnFailure)
{
    m_port.load(m_port.makeFile("alt.txt", "Gr\374\337e\r\n"));
    const QString file = m_port.currentFile();
    editor().setText(QStringLiteral("Grüße Ω\r\n"));
    m_saving.img_save_Click();
    EXPECT_EQ(readBytes(file), QByteArray("Grüße Ω\r\n"));
    EXPECT_EQ(m_messages.texts(), QStringList{savedAs(file)});
    EXPECT_FALSE(editor().isModified());
    EXPECT_TRUE(m_port.statusLine.startsWith(QStringLiteral("Gespeichert als UTF-8")));

    editor().setText(QStringLiteral("neu"));
    QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadOther);
    m_messages.clear();
    m_messages.queueAnswer(MsgAnswer::Yes);
    m_saving.EXIT_Click();
    EXPECT_EQ(m_messages.texts(), QStringList({question(file), hoppla}));
    EXPECT_EQ(m_messages.shown().value(0).buttons, MsgButtons::YesNo);
    EXPECT_EQ(m_port.exits, 0);
    EXPECT_TRUE(m_port.statusLine.contains(QStringLiteral("schreibgeschützt")));
    EXPECT_EQ(readBytes(file), QByteArray("Grüße Ω\r\n"));
    EXPECT_TRUE(editor().isModified());
    EXPECT_TRUE(panelShows());
}

// A progress whose every step runs onStep; false stops the work.
struct Stepping : WorkProgress {
    explicit Stepping(std::function<bool()> onStep)
        : onStep(std::move(onStep))
    {}
    bool step(qint64, qint64) override { return onStep(); }
    std::function<bool()> onStep;
};

const QByteArray longText = QByteArray("Zeile mit \xc3\xa4\r\n").repeated(300'000);

// A long save shows its progress ("Speichere a.txt"). Stopped from Speichern
// or the panel (the closing question takes Speichern's way, as for a failed
// save), file, text and window stay, the status line says so, and no failure
// is reported. A save asked for while one runs (the session ending, as the
// box lets the window work) is refused; the running one writes the text whole.
TEST_F(Save, AStoppedSaveKeepsTheFileTheTextAndTheWindowAndASecondOneWaits)
{
    m_port.load(m_port.makeFile("a.txt", "Grüße\r\n")); // UTF-8
    const QString file = m_port.currentFile();
    editor().replaceAllUtf8(longText);
    QStringList asked;
    m_port.work = [&asked](const QString &what) {
        asked.append(what);
        return std::make_unique<Stepping>([steps = 0]() mutable { return ++steps < 2; });
    };
    const QString kept =
        QStringLiteral("Das Speichern wurde abgebrochen: Die Datei %1 bleibt, wie sie war.");

    m_saving.img_save_Click();
    EXPECT_EQ(asked, QStringList{QStringLiteral("Speichere a.txt")});
    EXPECT_EQ(m_port.statusLine, kept.arg(file));
    EXPECT_TRUE(m_messages.texts().isEmpty());
    EXPECT_FALSE(panelShows());

    m_saving.Save_AS_Click();
    saveAs(QStringLiteral("b.txt"));
    const QString other = QDir(m_panel.Dir2->path()).filePath(QStringLiteral("b.txt"));
    EXPECT_EQ(m_port.statusLine,
              QStringLiteral("Das Speichern wurde abgebrochen: Die Datei %1 wurde nicht angelegt.")
                  .arg(other));
    EXPECT_TRUE(m_messages.texts().isEmpty());
    EXPECT_TRUE(panelShows());
    EXPECT_FALSE(QFileInfo::exists(other));

    EXPECT_EQ(readBytes(file), QByteArray("Grüße\r\n"));
    EXPECT_TRUE(editor().isModified());
    EXPECT_TRUE(editor().utf8View() == longText);
    EXPECT_EQ(QDir(m_work).entryList(QDir::Files | QDir::Hidden), QStringList{"a.txt"});
    EXPECT_EQ(QDir(m_panel.Dir2->path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    m_port.setCurrentFile(file); // the panel named b.txt
    std::optional<bool> nested;
    QString nestedStatus;
    m_port.work = [&](const QString &) {
        return std::make_unique<Stepping>([&] {
            if (!nested) {
                m_port.work = nullptr;
                nested = m_saving.Speichern();
                nestedStatus = m_port.statusLine;
            }
            return true;
        });
    };
    m_saving.img_save_Click();
    ASSERT_TRUE(nested.has_value());
    EXPECT_FALSE(*nested);
    EXPECT_TRUE(nestedStatus.startsWith(QStringLiteral("Es wird gerade gespeichert")));
    EXPECT_EQ(readBytes(file), longText);
    EXPECT_FALSE(editor().isModified());
    EXPECT_EQ(m_messages.texts(), QStringList{savedAs(file)});
    EXPECT_EQ(QDir(m_work).entryList(QDir::Files | QDir::Hidden), QStringList{"a.txt"});
}

// The panel writes where it shows; browsing names the file. Bad names write
// nothing, keep text and panel, and say why (blank ones in the status line).
TEST_F(Save, SaveAsWritesWhereThePanelShowsAndNothingForBadNames)
{
    m_saving.Save_AS_Click();
    EXPECT_EQ(m_panel.Dir2->path(), m_programFolder);
    editor().setText(QStringLiteral("mein Text"));
    saveAs("neu.txt");
    const QString path = m_programFolder + "/neu.txt";
    EXPECT_EQ(readBytes(path), "mein Text\r\n");
    EXPECT_EQ(m_port.currentFile(), path);
    EXPECT_EQ(m_messages.texts(), QStringList{"Datei wurde gespeichert unter " + path});
    EXPECT_FALSE(m_panel.isVisibleTo(&m_port.window()));

    m_panel.saveas->setText("a.txt");
    ASSERT_TRUE(m_panel.Dir2->setPath("/"));
    EXPECT_EQ(m_port.currentFile(), QStringLiteral("/a.txt")); // one separator after the root
    QDir(m_work).mkdir("unter");
    ASSERT_TRUE(m_panel.Dir2->setPath(m_work));

    m_saving.Save_AS_Click();
    const std::pair<QString, bool> cases[] = {
        {QString(), false}, {"   ", false}, {"unter/a.txt", true}, {"..", true}, {"unter", true}};
    for (const auto &[typed, fails] : cases) {
        m_port.statusLine.clear();
        m_messages.clear();
        saveAs(typed);
        const auto entries = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
        EXPECT_EQ(QDir(m_work).entryList(entries), QStringList{QStringLiteral("unter")});
        EXPECT_TRUE(QDir(m_work + "/unter").entryList(entries).isEmpty());
        EXPECT_EQ(m_messages.texts(), fails ? QStringList{hoppla} : QStringList{})
            << typed.toStdString();
        EXPECT_FALSE(m_port.statusLine.isEmpty());
        EXPECT_TRUE(panelShows());
    }
    EXPECT_EQ(editor().Text(), QStringLiteral("mein Text"));
}

class SaveLatin1 : public Save {
protected:
    Latin1Folder m_latin1{m_work};
};

// The panel enters the Latin-1 folder from its list and writes a new file in
// it, nothing else. (Speichern over a Latin-1 name: the window's tests.)
TEST_F(SaveLatin1, SaveAsWritesIntoAFolderWhoseNameIsNotUtf8)
{
    m_port.show();
    m_saving.Save_AS_Click();
    ASSERT_TRUE(m_panel.Dir2->setPath(m_work));
    const QList<QListWidgetItem *> folders =
        m_panel.Dir2->findItems(QStringLiteral("Älteres"), Qt::MatchExactly);
    ASSERT_EQ(folders.size(), 1);
    doubleClick(*m_panel.Dir2, folders.first());
    EXPECT_EQ(encodeFileName(m_panel.Dir2->path()), m_latin1.folderRaw);

    editor().setText(QStringLiteral("mein Text"));
    saveAs(QStringLiteral("neu.txt"));
    EXPECT_EQ(readRaw(m_latin1.folderRaw + "/neu.txt"), "mein Text\r\n");
    EXPECT_EQ(rawEntries(m_latin1.folderRaw), QByteArrayList({"neu.txt", "\xE4rger.txt"}));
    EXPECT_EQ(encodeFileName(m_port.currentFile()), m_latin1.folderRaw + "/neu.txt");
    EXPECT_EQ(m_messages.texts(),
              QStringList{"Datei wurde gespeichert unter " + m_latin1.folderShown + "/neu.txt"});
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

// The panel's start and Speichern's Kelo.txt: the program's folder for a Kelo
// run from its build folder, home for an installed one (/proc/self stands for
// its folder: not even root can create a file there). Kelo.txt is replaced
// but never created, and a Yes to the closing question that did not save
// keeps the window open.
TEST(SaveBeside, ThePanelAndKeloTxtUseTheProgramFolderOrTheHomeFolder)
{
    for (const bool installed : {false, true}) {
        SCOPED_TRACE(installed ? "installed" : "run from its build folder");
        FakePort port;
        const QString root = QFileInfo(port.workFolder()).path();
        if (installed)
            port.setProgramFolder(QStringLiteral("/proc/self"));
        const QString home = root + "/home";
        ASSERT_TRUE(QDir().mkpath(home));
        const QByteArray previousHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home));
        const auto restore = qScopeGuard([&] { qputenv("HOME", previousHome); });
        const QString expected = installed ? home : port.programFolder();

        // Built as the window builds them, once the program's folder is known.
        SaveAsPanel panel([root] { return QList<Volume>{{root, true}}; }, &port.window());
        Saving saving(port, panel);
        saving.Save_AS_Click();
        EXPECT_EQ(panel.Dir2->path(), expected);

        port.editor().setText(QStringLiteral("nicht verlieren"));
        port.boxes.queueAnswer(MsgAnswer::Yes);
        EXPECT_FALSE(saving.confirmDropChangedText());
        const QString kelo = expected + "/Kelo.txt";
        EXPECT_EQ(port.boxes.texts(), QStringList({question(QString()), askForName}));
        EXPECT_EQ(port.currentFile(), kelo);
        EXPECT_TRUE(panel.isVisibleTo(&port.window()));
        EXPECT_FALSE(QFileInfo::exists(kelo));
        writeBytes(kelo, "alt\r\n");
        port.boxes.queueAnswer(MsgAnswer::Yes);
        EXPECT_TRUE(saving.confirmDropChangedText());
        EXPECT_EQ(port.boxes.texts().mid(2), QStringList({question(kelo), savedAs(kelo)}));
        EXPECT_EQ(readBytes(kelo), "nicht verlieren\r\n");
    }
}

// Another program wrote the file after Kelo read it: Speichern asks, "Nein"
// (the default) and going back keep its bytes. A file gone or now a folder is
// not written: the panel asks for a name.
TEST_F(Save, AsksBeforeItWritesOverAnotherProgramsBytes)
{
    const struct {
        const char *name;
        void (*change)(const QString &path);
        MsgAnswer answer; // to the overwrite question, when there is one
        bool asks;
    } cases[] = {{"written", OtherProgram::writes, MsgAnswer::Yes, true},
                 {"written", OtherProgram::writes, MsgAnswer::Cancel, true},
                 {"replaced", OtherProgram::replaces, MsgAnswer::No, true},
                 {"linked", OtherProgram::links, MsgAnswer::Yes, true},
                 {"deleted", OtherProgram::deletes, MsgAnswer::Yes, false},
                 {"folder", OtherProgram::putsAFolder, MsgAnswer::Yes, false}};
    int round = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(int(c.answer)));
        m_port.load(m_port.makeFile(QString::number(++round) + ".txt", "alt\r\n"));
        const QString file = m_port.currentFile();
        editor().setText(QStringLiteral("meins\r\n"));
        m_saving.img_save_Click(); // our own write is no other program's
        ASSERT_EQ(readBytes(file), "meins\r\n");
        editor().setText(QStringLiteral("neu\r\n"));

        c.change(file);
        const QByteArray theirs = QFileInfo(file).isFile() ? readBytes(file) : QByteArray();
        m_messages.clear();
        m_messages.queueAnswer(c.answer);
        m_saving.img_save_Click();
        if (!c.asks) {
            EXPECT_EQ(m_messages.texts(), QStringList{askForName});
            EXPECT_TRUE(panelShows());
            EXPECT_FALSE(QFileInfo(file).isFile());
            m_panel.hide();
            continue;
        }
        ASSERT_FALSE(m_messages.shown().isEmpty());
        EXPECT_TRUE(m_messages.texts().value(0).contains(QStringLiteral("anderen Programm")));
        EXPECT_EQ(m_messages.shown().value(0).buttons, MsgButtons::YesNo);
        EXPECT_EQ(m_messages.shown().value(0).defaultAnswer, MsgAnswer::No);
        const bool written = c.answer == MsgAnswer::Yes;
        EXPECT_EQ(readBytes(file), written ? QByteArray("neu\r\n") : theirs);
        EXPECT_EQ(editor().isModified(), !written);
        EXPECT_EQ(m_messages.texts().size(), written ? 2 : 1); // and "wurde gespeichert"
        if (written) {
            m_messages.clear();
            m_saving.img_save_Click(); // our write again: no question
            EXPECT_EQ(m_messages.texts(), QStringList{savedAs(file)});
        }
    }
}

} // namespace
} // namespace kelo::test
