// Saving in the main window: the buttons and keys that reach it, the question
// on each way of closing, and the notice of another program's write.
#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "otherwrites.h"
#include "platform/controls.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

const auto question = [](const QString &path) -> QString {
    return "Datei " + path + " speichern ?";
};

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

// Ctrl+S and "speichern" write the file, reasons show in the status line, and
// "speichern als" shows the save-as panel in place of the open panel.
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

    QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadOther);
    form.img_save->click();
    EXPECT_TRUE(form.lblstatus->text().contains(QStringLiteral("schreibgeschützt")));
    EXPECT_TRUE(panelShows());

    form.Dateiauswahl2->hide();
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
enum class Way { Exit, TitleBar, Console };
struct Closing {
    const char *name;
    Way way;
    const char *text; // typed over the loaded "alt", or nothing
    MsgAnswer answer;
    bool asks;
};

class SaveOnClose : public SaveWindow, public ::testing::WithParamInterface<Closing> {};

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

// Another program changed the file: back in the window, the status line says
// so, once. A folder in its place is gone too. (That a replaced or linked file
// counts as changed, the save-over tests check through the same changeOf.)
TEST_F(SaveWindow, TheWindowSaysWhatAnotherProgramDidWhenItIsActiveAgain)
{
    const std::pair<void (*)(const QString &), const char *> changes[] = {
        {writeOther, "geändert"}, {deleteIt, "nicht mehr"}, {folderInstead, "nicht mehr"}};
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

} // namespace
} // namespace kelo::test
