// The window without a mouse or without sight: what a screen reader reads,
// Tab, Enter and Space on the bar, Escape out of the panels and dialogs.
#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "platform/controls.h"
#include "platform/listcontrols.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "services/form2.h"
#include "shell/application.h"
#include "shell/hints.h"
#include "shell/optionspanel.h"
#include "support/form1fixture.h"
#include "tools/editortools.h"
#include "tools/frm_ersetz.h"
#include "tools/frm_such.h"
#include "tools/linetools.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>

namespace kelo::test {
namespace {

QString accessibleText(QWidget *widget, QAccessible::Text which)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    return face != nullptr ? face->text(which) : QString();
}

// The controls a user works with: named (Qt's own parts carry no name or a
// "qt_" one), and taking the focus or of a kind a screen reader lists.
bool isUserControl(QWidget *widget)
{
    const QString name = widget->objectName();
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
        return false;
    return (widget->focusPolicy() & Qt::TabFocus) != 0 || qobject_cast<QAbstractButton *>(widget) ||
           qobject_cast<QLineEdit *>(widget) || qobject_cast<QAbstractItemView *>(widget) ||
           qobject_cast<QComboBox *>(widget) || qobject_cast<QPlainTextEdit *>(widget) ||
           qobject_cast<ClickableLabel *>(widget);
}

class KeyboardReach : public Form1Fixture {
protected:
    Form1 &startActive() { return *activated(&startShown()); }

    frm_such *openSearch(Form1 &form)
    {
        form.editorTools()->search_Click();
        return activated(form.editorTools()->searchDialog());
    }
    frm_ersetz *openReplace(Form1 &form)
    {
        form.lineTools()->cmd_replace_Click();
        return activated(form.lineTools()->replaceDialog());
    }
    Form2 *openAbout(Form1 &form)
    {
        form.about()->open();
        return activated(form.findChild<Form2 *>());
    }
    // The keyboard goes to the active window only.
    template <typename Window> static Window *activated(Window *window)
    {
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }))
            << window->objectName().toStdString();
        return window;
    }

    // Presses a key on the widget that has the focus, as the keyboard does.
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget *focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, key, modifiers);
    }

    static QString focusName()
    {
        QWidget *focus = QApplication::focusWidget();
        return focus != nullptr ? focus->objectName() : QStringLiteral("(none)");
    }

    // Where the focus is, and where each of so many Tabs takes it.
    static QStringList tabs(int presses)
    {
        QStringList visited{focusName()};
        for (int i = 0; i < presses; ++i) {
            press(Qt::Key_Tab);
            visited << focusName();
        }
        return visited;
    }
};

// Every control of the window, its panels, both dialogs and the About window
// has a name to announce. The three are transient children of the main
// window, the only windows a Wayland compositor keeps above it.
TEST_F(KeyboardReach, EveryControlIsAnnouncedAndTheDialogsAreTransientChildren)
{
    Form1 &form = startActive();
    form.Dateiauswahl->showAt(650);
    form.Dateiauswahl2->showAt(650);
    form.Frame1->show();
    const QList<QWidget *> windows = {&form, openSearch(form), openReplace(form), openAbout(form)};
    for (QWidget *child : windows.mid(1)) {
        ASSERT_NE(child->windowHandle(), nullptr) << child->objectName().toStdString();
        EXPECT_EQ(child->windowHandle()->transientParent(), form.windowHandle())
            << child->objectName().toStdString();
    }

    QStringList nameless;
    QSet<QString> looked;
    for (QWidget *window : windows) {
        for (QWidget *widget : window->findChildren<QWidget *>()) {
            if (!isUserControl(widget) || widget->window() != window)
                continue;
            const QString where = window->objectName() + QLatin1Char('.') + widget->objectName();
            looked.insert(where);
            if (accessibleText(widget, QAccessible::Name).trimmed().isEmpty())
                nameless << where;
        }
    }
    EXPECT_TRUE(nameless.isEmpty()) << nameless.join(QLatin1String(", ")).toStdString();
    // The walk reached every kind of place, not only the main window's bar.
    for (const char *control :
         {"Form1.TextBox1", "Form1.lblstatus", "Form1.Info2", "Form1.File1", "Form1.Drive2",
          "Form1.saveas", "Form1.blau", "Form1.txt_reggie", "Form1.lbl_X", "frm_such.txtSuch",
          "frm_such.Option1_1", "frm_ersetz.txt_replace", "frm_ersetz.cmdTAB", "Form2.Text1",
          "Form2.Command1"})
        EXPECT_TRUE(looked.contains(QLatin1String(control))) << control;

    // Where a control's text says too little: German names where it shows no
    // text, a picture button's caption (or its command's text where it has
    // none) with its hint as the description.
    const struct {
        QWidget *widget;
        QString name;
        bool hinted = false; // described by its hint
        QAccessible::Text which = QAccessible::Name;
    } cases[] = {
        {form.TextBox1, QStringLiteral("Editor")},
        {form.lblstatus, QStringLiteral("Statuszeile, nimmt auch Befehle an")},
        // A drop-down list is named by its entry on Linux: what it is, is
        // said in its description.
        {form.Dateiauswahl->Drive1, QStringLiteral("Laufwerk"), false, QAccessible::Description},
        {form.Dateiauswahl->File1, QStringLiteral("Dateien")},
        {form.Dateiauswahl->Filter, QStringLiteral("Filter")},
        {form.Dateiauswahl2->Dir2, QStringLiteral("Ordner")},
        {form.Dateiauswahl2->saveas, QStringLiteral("Dateiname")},
        {form.Frame1->weiss, QStringLiteral("Farbschema weiß")},
        {form.Frame1->txt_reggie, QStringLiteral("Dateiendung")},
        {form.Info2, QStringLiteral("Info")},
        {form.cmd_open, form.Label15->text(), true},
        {form.img_save, form.Label16->text(), true},
        {form.Save_AS, form.Label17->text(), true},
        {form.cmd_fresh, form.Label14->text(), true},
        {form.copy, form.Label3->text(), true},
        {form.img_clear, form.Label9->text(), true},
        {form.cmd_DE2EN, QStringLiteral("Deutsch nach Englisch übersetzen")},
        {form.Print, QStringLiteral("drucken"), true},
        {form.EXIT, QStringLiteral("EXIT"), true},
        {form.Info1, QStringLiteral("Info"), true},
        {form.search, QStringLiteral("search"), true},
        {form.cmd_Einstell, QStringLiteral("Einstellen"), true},
    };
    for (const auto &c : cases) {
        const std::string control = c.widget->objectName().toStdString();
        EXPECT_EQ(accessibleText(c.widget, c.which), c.name) << control;
        if (!c.hinted)
            continue;
        const QString hint = hintFor(c.widget->objectName());
        EXPECT_FALSE(hint.isEmpty()) << control;
        EXPECT_EQ(accessibleText(c.widget, QAccessible::Description), hint) << control;
    }
}

// The window starts in the editor; Ctrl+Tab leaves it, and Tab runs through
// the status line and the bar from left to right and back into the editor.
// The options panel, once open, is next after the button that opened it.
TEST_F(KeyboardReach, TabRunsFromTheEditorThroughTheBarAndThroughTheDialogs)
{
    Form1 &form = startActive();
    EXPECT_EQ(focusName(), QStringLiteral("TextBox1"));

    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(tabs(16), (QStringList{"lblstatus", "cmd_open", "img_save", "Save_AS", "cmd_fresh",
                                     "copy", "img_clear", "search", "cmd_replace", "cmdDelEmpty",
                                     "cmd_DE2EN", "cmd_EN2DE", "Print", "cmd_Einstell", "EXIT",
                                     "Info1", "TextBox1"}));

    // A plain Tab in the editor is a tab in the text.
    press(Qt::Key_Tab);
    EXPECT_EQ(focusName(), QStringLiteral("TextBox1"));
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("\t"));
    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(focusName(), QStringLiteral("Info1"));

    form.cmd_Einstell->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Space);
    ASSERT_TRUE(form.Frame1->isVisible());
    EXPECT_EQ(tabs(8), (QStringList{"cmd_Einstell", "blau", "schwarz", "weiss", "txt_reggie",
                                    "txtRegister", "cmd_register", "cmd_delReg", "EXIT"}));

    // The dialogs keep their designed order.
    frm_such *search = openSearch(form);
    search->txtSuch->setText(QStringLiteral("x")); // both buttons enabled
    search->cmdSuchen->setFocus();
    EXPECT_EQ(tabs(4),
              (QStringList{"cmdSuchen", "cmdWeitersuchen", "Option1_0", "txtSuch", "cmdSuchen"}));
    search->close();
    openReplace(form);
    EXPECT_EQ(tabs(6), (QStringList{"cmd_exit", "cmd_ersetzen", "txt_replace", "txt_finde",
                                     "cmdTAB", "cmdZSLOESCH", "cmd_exit"}));
}

// A focused picture button or colour sample looks focused (they have no
// frame of their own to show it). Enter, the keypad's Enter and Space choose
// a sample's scheme as a click does and trigger each bar button's command;
// other keys do nothing.
TEST_F(KeyboardReach, FocusedButtonsAndSamplesLookFocusedAndEnterOrSpaceTriggerThem)
{
    Form1 &form = startActive();
    form.cmd_Einstell_Click();
    for (QWidget *control : std::initializer_list<QWidget *>{
             form.cmd_open, form.EXIT, form.Frame1->blau, form.Frame1->weiss}) {
        form.TextBox1->setFocus(Qt::TabFocusReason);
        const QImage unfocused = control->grab().toImage();
        control->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(control->hasFocus()) << control->objectName().toStdString();
        EXPECT_NE(control->grab().toImage(), unfocused) << control->objectName().toStdString();
    }

    ClickableLabel *blau = form.Frame1->blau;
    QSignalSpy clicked(blau, &ClickableLabel::clicked);
    blau->setFocus(Qt::TabFocusReason);
    press(Qt::Key_A);
    press(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(clicked.count(), 0);
    for (const auto &[key, modifiers] :
         {std::pair{Qt::Key_Return, Qt::KeyboardModifiers()},
          std::pair{Qt::Key_Enter, Qt::KeyboardModifiers(Qt::KeypadModifier)},
          std::pair{Qt::Key_Space, Qt::KeyboardModifiers()}}) {
        if (!form.Frame1->isVisible())
            form.cmd_Einstell_Click();
        blau->setFocus(Qt::TabFocusReason);
        QTest::keyClick(blau, key, modifiers);
    }
    EXPECT_EQ(clicked.count(), 3);
    // Choosing closes the panel and gives the editor the sample's colour.
    EXPECT_FALSE(form.Frame1->isVisible());
    EXPECT_EQ(form.TextBox1->backColor(), blau->palette().color(blau->backgroundRole()));

    // Each action is cut off from its feature, so that only the presses count.
    const QList<QAbstractButton *> bar = {
        form.cmd_open,  form.img_save, form.Save_AS,      form.cmd_fresh,   form.copy,
        form.img_clear, form.search,   form.cmd_replace,  form.cmdDelEmpty, form.cmd_DE2EN,
        form.cmd_EN2DE, form.Print,    form.cmd_Einstell, form.EXIT,        form.Info1,
    };
    for (QAbstractButton *button : bar) {
        const QString control = button->objectName();
        auto *action = form.findChild<QAction *>(QStringLiteral("action_") + control);
        ASSERT_NE(action, nullptr) << control.toStdString();
        QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
        QSignalSpy triggered(action, &QAction::triggered);
        button->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(button->hasFocus()) << control.toStdString();
        press(Qt::Key_Return);
        press(Qt::Key_Enter, Qt::KeypadModifier);
        press(Qt::Key_Space);
        EXPECT_EQ(triggered.count(), 3) << control.toStdString();
    }
}

// Escape leaves each panel, both dialogs and the About window as its own
// close control ("X", "QUIT", "EXIT") does, from a control inside it.
TEST_F(KeyboardReach, EscapeLeavesEveryPanelAndDialogAsItsCloseControlDoes)
{
    Form1 &form = startActive();
    const auto escapes = [](const char *what, QWidget *window) {
        SCOPED_TRACE(what);
        const QPointer<QWidget> shown = window;
        ASSERT_TRUE(shown->isVisible());
        press(Qt::Key_Escape);
        EXPECT_TRUE(shown.isNull() || !shown->isVisible());
    };
    const struct {
        const char *what;
        std::function<void()> open;
        QWidget *panel, *focus;
    } panels[] = {
        {"open panel", [&] { form.cmd_open_Click(); }, form.Dateiauswahl, form.Dateiauswahl->File1},
        {"open panel, pattern", [&] { form.cmd_open_Click(); }, form.Dateiauswahl,
         form.Dateiauswahl->Filter},
        {"save-as panel", [&] { form.Dateiauswahl2->showAt(650); }, form.Dateiauswahl2,
         form.Dateiauswahl2->saveas},
        {"options panel", [&] { form.cmd_Einstell_Click(); }, form.Frame1, form.Frame1->blau},
    };
    for (const auto &c : panels) {
        c.open();
        c.focus->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(c.focus->hasFocus()) << c.what;
        escapes(c.what, c.panel);
    }
    escapes("Search dialog", openSearch(form));
    frm_ersetz *replace = openReplace(form);
    replace->txt_finde->setText(QStringLiteral("alt"));
    replace->txt_replace->setText(QStringLiteral("neu"));
    replace->txt_finde->setFocus();
    escapes("Replace dialog", replace);
    escapes("About window", openAbout(form));
    // As the close controls do: "QUIT" gave the button its caption back, the
    // Search dialog is no longer the open one, "EXIT" stored the texts.
    EXPECT_EQ(form.cmd_Einstell->text(), QStringLiteral("Einstellen"));
    EXPECT_EQ(form.editorTools()->searchDialog(), nullptr);
    EXPECT_EQ(m_settings->read(key::txtFinde, {}), QStringLiteral("alt"));
    EXPECT_EQ(m_settings->read(key::txtReplace, {}), QStringLiteral("neu"));

    // Escape in the editor closes nothing and leaves the text alone.
    activated(&form);
    form.cmd_open_Click();
    form.TextBox1->setFocus();
    press(Qt::Key_Escape);
    EXPECT_TRUE(form.Dateiauswahl->isVisible());
}

// On a Wayland session Kelo asks for Wayland first and X11 after it; what the
// user chose, and a session without Wayland, stay as they are.
TEST(WindowSystem, WaylandSessionsGetWaylandWithXcbBehindUnlessThePlatformIsChosen)
{
    const struct {
        const char *chosen;
        const char *waylandDisplay;
        const char *expected;
    } cases[] = {
        {"", "wayland-0", "wayland;xcb"},
        {"", "", ""},
        {"xcb", "wayland-0", ""},
        {"offscreen", "wayland-0", ""},
        {"wayland", "", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(windowSystemFor(c.chosen, c.waylandDisplay), QByteArray(c.expected))
            << c.chosen << " / " << c.waylandDisplay;
}

} // namespace
} // namespace kelo::test
