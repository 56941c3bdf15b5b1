// The bar's file and text commands in the main window: the buttons and keys
// that reach saving, the question on each way of closing, the notice of
// another program's write; print, copy, clear and refresh. What the printer
// code puts on paper is checked through a PDF in the platform tests.
#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "otherwrites.h"
#include "platform/controls.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "platform/textprinter.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

const auto question = [](const QString &path) -> QString {
    return "Datei " + path + " speichern ?";
};
const QString printQuestion = QStringLiteral("Datei jetzt ausdrucken ?");

class SaveWindow : public Form1Fixture {
protected:
    bool panelShows() const
    {
        return m_window->Dateiauswahl2->isVisibleTo(m_window.get()) &&
               m_window->rect().intersects(m_window->Dateiauswahl2->geometry());
    }
    // The window was closed and the shut-down stored the settings.
    bool closed() const { return !m_window->isVisible() && setting(key::filter) != "<missing>"; }
};

// Ctrl+S and "speichern" write the file and say so, and "speichern als" shows
// the save-as panel in place of the open panel.
TEST_F(SaveWindow, CtrlSAndTheButtonsReachSaving)
{
    Form1 &form = startShown({makeFile("alt.txt", "alt\r\n")});
    const QString file = form.currentFile();
    form.TextBox1->setText(QStringLiteral("eins\r\n"));
    form.TextBox1->setFocus();
    QTest::keyClick(form.TextBox1, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(readBytes(file), "eins\r\n");
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("eins\r\n")); // the key types nothing
    form.TextBox1->setText(QStringLiteral("zwei\r\n"));
    form.img_save->click();
    EXPECT_EQ(readBytes(file), "zwei\r\n");
    EXPECT_EQ(m_messages.texts(), QStringList(2, "Datei " + file + " wurde gespeichert"));
    form.cmd_open->click();
    ASSERT_TRUE(form.Dateiauswahl->isVisibleTo(&form));
    form.Save_AS->click();
    EXPECT_TRUE(panelShows());
    EXPECT_FALSE(form.Dateiauswahl->isVisibleTo(&form));
    EXPECT_TRUE(form.Dateiauswahl2->saveas->hasFocus());
}

// EXIT asks whenever there is text (Ja/Nein), the other ways only over a
// changed one (Ja/Nein/Abbrechen), none twice. Going back (Cancel) keeps the
// window and the text.
TEST_F(SaveWindow, ClosingAsksOnlyWhenItShouldAndNeverTwice)
{
    enum class Way { Exit, TitleBar, Console };
    const struct {
        const char *name;
        Way way;
        const char *text; // typed over the loaded "alt", or nothing
        MsgAnswer answer;
        bool asks;
    } cases[] = {{"EXIT, empty text", Way::Exit, "", MsgAnswer::Yes, false},
                 {"EXIT, unchanged", Way::Exit, nullptr, MsgAnswer::No, true},
                 {"EXIT, changed, Ja", Way::Exit, "neu", MsgAnswer::Yes, true},
                 {"EXIT, going back", Way::Exit, "neu", MsgAnswer::Cancel, true},
                 {"closed, unchanged", Way::TitleBar, nullptr, MsgAnswer::Yes, false},
                 {"closed, changed, Nein", Way::TitleBar, "neu", MsgAnswer::No, true},
                 {"closed, changed, Ja", Way::TitleBar, "neu", MsgAnswer::Yes, true},
                 {"closed, going back", Way::TitleBar, "neu", MsgAnswer::Cancel, true},
                 {"console, going back", Way::Console, "neu", MsgAnswer::Cancel, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_window.reset();
        QFile::remove(settingsPath());
        m_settings = std::make_unique<SettingsStore>(settingsPath());
        m_messages.clear();
        Form1 &form = startShown({makeFile("zu.txt", "alt\r\n")});
        if (c.text)
            form.TextBox1->setText(QString::fromUtf8(c.text));
        m_messages.queueAnswer(c.answer);
        if (c.way == Way::Exit) {
            form.EXIT->click();
        } else if (c.way == Way::TitleBar) {
            closeWindow();
        } else {
            form.lblstatus->setText(QStringLiteral("exit"));
            QTest::keyClick(form.lblstatus, Qt::Key_Return);
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
}

// Another program changed the file: back in the window, the status line says
// so, once. A folder in its place is gone too. (That a replaced or linked file
// counts as changed, the save-over tests check through the same changeOf.)
TEST_F(SaveWindow, TheWindowSaysWhatAnotherProgramDidWhenItIsActiveAgain)
{
    const std::pair<void (*)(const QString &), const char *> changes[] = {
        {OtherProgram::writes, "geändert"},
        {OtherProgram::deletes, "nicht mehr"},
        {OtherProgram::putsAFolder, "nicht mehr"}};
    for (const auto &[change, status] : changes) {
        SCOPED_TRACE(status);
        m_window.reset();
        Form1 &form = startShown({makeFile("geteilt.txt", "alt\r\n")});
        const QString file = form.currentFile();
        form.TextBox1->setText(QStringLiteral("meins\r\n"));
        form.img_save->click(); // our own write is no other program's
        ASSERT_EQ(readBytes(file), "meins\r\n");
        const auto activate = [&form] {
            QApplication::setActiveWindow(nullptr);
            form.activateWindow();
            QApplication::setActiveWindow(&form);
        };
        form.lblstatus->clear();
        activate();
        EXPECT_EQ(form.lblstatus->text(), QString());

        change(file);
        activate();
        EXPECT_TRUE(form.lblstatus->text().contains(QString::fromUtf8(status)))
            << form.lblstatus->text().toStdString();
        form.lblstatus->clear();
        activate();
        EXPECT_EQ(form.lblstatus->text(), QString());
        if (QFileInfo(file).isDir()) {
            ASSERT_TRUE(QDir().rmdir(file));
        }
    }
}

using Commands = Form1Fixture;

// Print asks first and prints the editor's text, or says why not; copy takes
// the whole text whatever is selected; clear asks nothing, keeps the file and
// is one undo step; refresh applies the scheme again.
TEST_F(Commands, PrintCopyClearAndRefresh)
{
    const QString path = makeFile("x.txt", "Größe\r\nStraße\r\n\r\nEnde\r");
    Form1 &form = startShown({path});
    form.TextBox1->setSelStart(7);
    form.TextBox1->setSelLength(6);
    form.TextBox1->setSelText(QStringLiteral("neu")); // not saved
    const QString text = QStringLiteral("Größe\r\nneu\r\n\r\nEnde\r");
    m_messages.queueAnswer(MsgAnswer::No);
    form.Print->click();
    form.TextBox1->setFocus();
    m_messages.queueAnswer(MsgAnswer::Yes);
    QTest::keyClick(form.TextBox1, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(m_printer.printed, QStringList{text});
    EXPECT_EQ(m_messages.shown().value(0).buttons, MsgButtons::YesNo);
    EXPECT_EQ(form.TextBox1->Text(), text); // Ctrl+P typed no "p"

    form.TextBox1->setSelStart(2);
    form.TextBox1->setSelLength(3);
    form.copy->click();
    const QString copied = QStringLiteral("Größe\nneu\n\nEnde\r");
    EXPECT_EQ(QApplication::clipboard()->text(), copied);
    EXPECT_EQ(QApplication::clipboard()->mimeData()->data(QStringLiteral("text/plain")),
              copied.toUtf8());
    form.img_clear->click();
    EXPECT_EQ(form.TextBox1->Text(), QString());
    EXPECT_EQ(form.currentFile(), path);
    EXPECT_EQ(QApplication::clipboard()->text(), copied); // a copy, not the editor's bytes
    form.copy->click(); // an empty text empties the clipboard
    EXPECT_EQ(QApplication::clipboard()->text(), QString());
    form.TextBox1->undo();
    EXPECT_EQ(form.TextBox1->Text(), text);
    form.TextBox1->setBackColor(Qt::red);
    form.cmd_fresh->click();
    EXPECT_EQ(form.TextBox1->backColor(), QColor(0, 0, 128));

    m_printer.answer = {false, noPrinterMessage()};
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.Print->click();
    EXPECT_EQ(m_messages.texts(),
              QStringList({printQuestion, printQuestion, printQuestion,
                           QStringLiteral("Es ist kein Drucker eingerichtet.")}));
    EXPECT_EQ(m_messages.shown().value(3).icon, MsgIcon::Critical);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); // the wait cursor is gone
}

// Copying a big text with no memory for its copy says so, empties the
// clipboard and leaves the text as it is.
TEST_F(Commands, CopyWithoutMemoryForTheTextSaysSo)
{
    Form1 &form = startShown({});
    const QString big = QStringLiteral("Zeile\r\n").repeated(300 * 1024);
    form.TextBox1->setText(big);
    QApplication::clipboard()->setText(QStringLiteral("vorher"));
    qsizetype asked = 0;
    form.TextBox1->setRoomCheck([&asked](std::initializer_list<qsizetype> blocks) {
        asked = *blocks.begin();
        return false;
    });
    form.copy->click();
    EXPECT_EQ(asked, big.size());
    EXPECT_EQ(QApplication::clipboard()->text(), QString());
    EXPECT_EQ(m_messages.texts(),
              QStringList{QStringLiteral("Der Text kann nicht in die Zwischenablage kopiert "
                                         "werden: Dafür ist nicht genug Arbeitsspeicher frei.")});
    EXPECT_EQ(form.TextBox1->Text(), big);
}

} // namespace
} // namespace kelo::test
