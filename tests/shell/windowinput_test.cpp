// The window as its users reach it: screen reader names, Tab, Enter, Space
// and Escape; hints and the hover spot under the mouse, dragging the file
// panels with the right button; and the status line as a console.
#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "platform/controls.h"
#include "platform/listcontrols.h"
#include "platform/productinfo.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "services/form2.h"
#include "shell/application.h"
#include "shell/hints.h"
#include "shell/optionspanel.h"
#include "support/form1fixture.h"
#include "support/testenv.h"
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

#include <utility>

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

class WindowInput : public Form1Fixture {
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

    // A point of the window that no control covers, between "copy" and "clear".
    const QPoint background{246, 10};
    // Which of the four pictures of the hover spot show.
    static QString spot(Form1 &form)
    {
        QString shown;
        for (QWidget *picture :
             std::initializer_list<QWidget *>{form.Info1, form.Info2, form.Image1, form.Image2})
            shown += picture->isVisible() ? picture->objectName() : QString();
        return shown;
    }

    static void pressRight(QWidget *panel, QPoint at, Qt::MouseButtons buttons = Qt::RightButton)
    {
        sendMouse(panel, QEvent::MouseButtonPress, at, Qt::RightButton, buttons);
    }
    static void releaseRight(QWidget *panel, QPoint at)
    {
        sendMouse(panel, QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
    }

    QLineEdit *status() const { return m_window->lblstatus; }
    void enter(const QString &text)
    {
        status()->setText(text);
        QTest::keyClick(status(), Qt::Key_Return);
    }
};

using KeyboardReach = WindowInput;
using Hints = WindowInput;
using PanelDragging = WindowInput;
using Console = WindowInput;

// A control without a name to announce, or a dialog that is no transient
// child of the main window (Wayland keeps only those above it).
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
    for (const char *control : {"Form1.File1", "Form1.saveas", "Form1.txt_reggie",
                                "frm_such.Option1_1", "frm_ersetz.cmdTAB", "Form2.Command1"})
        EXPECT_TRUE(looked.contains(QLatin1String(control))) << control;

    // The German names where a control shows no text; the bar's buttons are
    // described by their hints, the drop-down list by its description.
    EXPECT_EQ(accessibleText(form.Dateiauswahl->Drive1, QAccessible::Description), "Laufwerk");
    // clang-format off
    const std::pair<QWidget *, QString> names[] = {
        {form.TextBox1, "Editor"}, {form.lblstatus, "Statuszeile, nimmt auch Befehle an"},
        {form.Dateiauswahl->File1, "Dateien"}, {form.Dateiauswahl->Filter, "Filter"},
        {form.Dateiauswahl2->Dir2, "Ordner"}, {form.Dateiauswahl2->saveas, "Dateiname"},
        {form.Frame1->weiss, "Farbschema weiß"}, {form.Frame1->txt_reggie, "Dateiendung"},
        {form.Info2, "Info"}, {form.cmd_open, form.Label15->text()},
        {form.img_save, form.Label16->text()}, {form.Save_AS, form.Label17->text()},
        {form.cmd_fresh, form.Label14->text()}, {form.copy, form.Label3->text()},
        {form.img_clear, form.Label9->text()}, {form.cmd_DE2EN, "Deutsch nach Englisch übersetzen"},
        {form.Print, "drucken"}, {form.EXIT, "EXIT"}, {form.Info1, "Info"},
        {form.search, "search"}, {form.cmd_Einstell, "Einstellen"}};
    // clang-format on
    for (const auto &[widget, name] : names) {
        const QString control = widget->objectName();
        EXPECT_EQ(accessibleText(widget, QAccessible::Name), name) << control.toStdString();
        const QString hint = hintFor(control);
        EXPECT_TRUE(hint.isEmpty() || accessibleText(widget, QAccessible::Description) == hint)
            << control.toStdString();
    }
}

// The Tab order: editor, status line, the bar left to right, the options
// panel after its button, and the dialogs' designed orders.
TEST_F(KeyboardReach, TabRunsFromTheEditorThroughTheBarAndThroughTheDialogs)
{
    Form1 &form = startActive();
    EXPECT_EQ(focusName(), QStringLiteral("TextBox1"));

    press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(tabs(16),
              (QStringList{"lblstatus", "cmd_open", "img_save", "Save_AS", "cmd_fresh", "copy",
                           "img_clear", "search", "cmd_replace", "cmdDelEmpty", "cmd_DE2EN",
                           "cmd_EN2DE", "Print", "cmd_Einstell", "EXIT", "Info1", "TextBox1"}));

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

// Focus that does not show on picture buttons and samples, or Enter, keypad
// Enter and Space that do not trigger them (other keys must not).
TEST_F(KeyboardReach, FocusedButtonsAndSamplesLookFocusedAndEnterOrSpaceTriggerThem)
{
    Form1 &form = startActive();
    form.cmd_Einstell_Click();
    for (QWidget *control : std::initializer_list<QWidget *>{form.cmd_open, form.Frame1->blau}) {
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

// Escape that does not leave a panel or dialog as its own close control does.
TEST_F(KeyboardReach, EscapeLeavesEveryPanelAndDialogAsItsCloseControlDoes)
{
    Form1 &form = startActive();
    const auto escapes = [](const char *what, QWidget *window, QWidget *from = nullptr) {
        SCOPED_TRACE(what);
        const QPointer<QWidget> shown = window;
        ASSERT_TRUE(shown->isVisible());
        if (from != nullptr) {
            from->setFocus(Qt::TabFocusReason);
            ASSERT_TRUE(from->hasFocus());
        }
        press(Qt::Key_Escape);
        EXPECT_TRUE(shown.isNull() || !shown->isVisible());
    };
    form.cmd_open_Click();
    escapes("open panel", form.Dateiauswahl, form.Dateiauswahl->File1);
    form.Dateiauswahl2->showAt(650);
    escapes("save-as panel", form.Dateiauswahl2, form.Dateiauswahl2->saveas);
    form.cmd_Einstell_Click();
    escapes("options panel", form.Frame1, form.Frame1->blau);
    escapes("Search dialog", openSearch(form));
    frm_ersetz *replace = openReplace(form);
    replace->txt_finde->setText(QStringLiteral("alt"));
    replace->txt_replace->setText(QStringLiteral("neu"));
    escapes("Replace dialog", replace, replace->txt_finde);
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
    EXPECT_EQ(windowSystemFor("", "wayland-0"), "wayland;xcb");
    EXPECT_EQ(windowSystemFor("", ""), "");
    EXPECT_EQ(windowSystemFor("xcb", "wayland-0"), "");
}

// Moving over a control replaces the status line, even a half-typed command,
// with its hint; leaving it for the background does not clear it.
TEST_F(Hints, AllThirteenHintsAndTheHoverSpot)
{
    Form1 &form = startShown();
    form.lblstatus->setText(QStringLiteral("hel"));
    // clang-format off
    const std::pair<const char *, const char *> hints[] = {
        {"cmd_open", "öffnet den Dateiauswahl Dialog / Die Box kann mit der rechten Maustaste "
                     "bewegt werden"},
        {"Save_AS", "speichern als / Die Box kann mit der rechten Maustaste bewegt werden"},
        {"img_save", "speichern"}, {"cmd_fresh", "refresh"}, {"search", "nach Texten suchen"},
        {"copy", "copy /markierten Text in die Zwischenablage kopieren"},
        {"img_clear", "Vorsicht ! Löscht den Inhalt des Editorfensters !"},
        {"cmd_replace", "Ersetzen von Texten oder Löschen von Zeilen"},
        {"cmdDelEmpty", "Löschen von Leerzeilen und doppelten Leerzeichen"},
        {"Print", "Ausdruck auf den Standarddrucker"}, {"EXIT", "Programm verlassen"},
        {"cmd_Einstell", "Programm- Optionen /Farben /Highlightlisten"},
        {"Info1", "Informationen über das Programm und den Autor"}};
    // clang-format on
    for (const auto &[name, hint] : hints) {
        auto *control = form.findChild<QWidget *>(QString::fromLatin1(name));
        ASSERT_NE(control, nullptr) << name;
        moveMouse(control);
        moveMouse(&form, background);
        EXPECT_EQ(form.lblstatus->text(), QString::fromUtf8(hint));
    }

    // The hover spot follows the table; other controls and clicks change nothing.
    EXPECT_EQ(spot(form), QStringLiteral("Info1"));
    moveMouse(form.Info1);
    EXPECT_EQ(spot(form), QStringLiteral("Info2"));
    moveMouse(form.EXIT); // from Info1 straight to EXIT: its picture at once
    EXPECT_EQ(spot(form), QStringLiteral("Image1"));
    // Over a text button, unhinted controls and the picture itself it stays.
    moveMouse(form.search);
    form.lblstatus->setText(QStringLiteral("Meldung"));
    form.Dateiauswahl->showAt(650);
    for (QWidget *control :
         QList<QWidget *>{form.cmd_DE2EN, form.Label15, form.Label2, form.Image1,
                          form.TextBox1->viewport(), form.Dateiauswahl, form.lblstatus}) {
        moveMouse(control);
        EXPECT_EQ(form.lblstatus->text(), QStringLiteral("Meldung"))
            << control->objectName().toStdString();
    }
    EXPECT_EQ(spot(form), QStringLiteral("Image1"));
    moveMouse(form.cmd_Einstell);
    EXPECT_EQ(spot(form), QStringLiteral("Image2"));
    moveMouse(&form, background); // only the bare background brings Info1 back
    EXPECT_EQ(spot(form), QStringLiteral("Info1"));

    // A click on the bare background hides nothing.
    form.Dateiauswahl2->showAt(650);
    ASSERT_EQ(form.childAt(background), nullptr);
    QTest::mouseClick(&form, Qt::LeftButton, Qt::NoModifier, background);
    QTest::mouseDClick(&form, Qt::LeftButton, Qt::NoModifier, background);
    EXPECT_TRUE(form.Dateiauswahl2->isVisible());
    EXPECT_TRUE(form.Dateiauswahl2->saveas->isVisible());
}

TEST_F(PanelDragging, TheRightButtonAloneDragsSidewaysToTheLeftEdge)
{
    startShown();
    for (QWidget *panel : QList<QWidget *>{m_window->Dateiauswahl, m_window->Dateiauswahl2}) {
        panel->move(200, 43);
        panel->show();
        ASSERT_EQ(panel->childAt(20, 3), nullptr) << "the caption row is the panel's own";
        moveMouse(panel, QPoint(20, 3));
        pressRight(panel, {20, 3});
        moveMouse(panel, QPoint(120, 200), Qt::RightButton);
        EXPECT_EQ(panel->pos(), QPoint(300, 43)) << panel->objectName().toStdString();
        EXPECT_EQ(m_window->children().last(), panel);      // in front of the other panel
        moveMouse(panel, QPoint(-400, 3), Qt::RightButton); // never past the window's left edge
        EXPECT_EQ(panel->pos(), QPoint(0, 43));
        releaseRight(panel, {20, 200});
        panel->hide();
    }

    // Both buttons, or a press over the lists, do not drag.
    OpenPanel *panel = m_window->Dateiauswahl;
    panel->move(200, 43);
    panel->show();
    moveMouse(panel, QPoint(20, 3));
    pressRight(panel, {20, 3}, Qt::LeftButton | Qt::RightButton);
    moveMouse(panel, QPoint(90, 3), Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(200, 43));
    // Both buttons refreshed the remembered point: letting go of the left one
    // drags on from there.
    moveMouse(panel, QPoint(100, 3), Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(210, 43));
    releaseRight(panel, {100, 3});

    // A right-button press on the file list belongs to the list, and so do
    // the movements after it, even when they reach the panel's margin.
    const QPoint inList = panel->File1->geometry().center();
    pressRight(panel, inList);
    moveMouse(panel, inList + QPoint(30, 0), Qt::RightButton);
    moveMouse(panel, QPoint(3, 3), Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(210, 43));
    releaseRight(panel, {3, 3});

    // A movement over the list without a button does not refresh the point.
    moveMouse(panel, QPoint(20, 3));
    moveMouse(panel, inList);
    pressRight(panel, {40, 3});
    moveMouse(panel, QPoint(60, 3), Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(250, 43));
}

// Console words: only the exact text is a command; near misses stay as typed.
TEST_F(Console, OnlyTheExactWordsDoSomething)
{
    enum class Effect { None, DownloadPage, Terminal, Exit, Author };
    using enum Effect;
    // clang-format off
    const std::pair<const char *, Effect> words[] = {
        {"help", DownloadPage}, {"info", DownloadPage}, {"quentor", DownloadPage},
        {"DOS", Terminal}, {"dos", Terminal}, {"X", Exit}, {"x", Exit}, {"EXIT", Exit},
        {"exit", Exit}, {"autor", Author}, {"Help", None}, {" help", None}, {"help ", None},
        {"HELP", None}, {"Dos", None}, {"Exit", None}, {"xx", None}, {"Autor", None}};
    // clang-format on
    for (const auto &[typed, effect] : words) {
        SCOPED_TRACE(typed);
        m_window.reset();
        QFile::remove(settingsPath());
        m_settings = std::make_unique<SettingsStore>(settingsPath());
        m_launcher.urls.clear();
        m_launcher.terminalsStarted = 0;
        startShown();
        enter(QString::fromUtf8(typed));
        const QString page = effect == Author ? product::authorPage : product::downloadPage;
        const bool opens = effect == Author || effect == DownloadPage;
        EXPECT_EQ(status()->text(), !opens             ? QString::fromUtf8(typed)
                                    : effect == Author ? product::authorContactLine
                                                       : page);
        EXPECT_EQ(m_launcher.urls, opens ? QList<QUrl>{QUrl(page)} : QList<QUrl>());
        EXPECT_EQ(m_launcher.terminalsStarted, effect == Terminal ? 1 : 0);
        EXPECT_EQ(m_window->isVisible(), effect != Exit);
        EXPECT_EQ(setting(key::scheme) == QStringLiteral("blau"), effect == Exit);
    }
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

// Enter (not Ctrl+Enter) runs the line once; the address left behind is no
// command, and a terminal that cannot start is reported.
TEST_F(Console, EnterRunsAtMostOneCommandAndAFailedTerminalIsReported)
{
    startShown();
    enter(QString()); // nothing to run
    enter(QStringLiteral("help"));
    QTest::keyClick(status(), Qt::Key_Return);
    EXPECT_EQ(status()->text(), product::downloadPage);
    EXPECT_EQ(m_launcher.urls.size(), 1);
    status()->setText(QStringLiteral("info"));
    QTest::keyClick(status(), Qt::Key_Return, Qt::ControlModifier); // Ctrl+Enter is no Enter
    EXPECT_EQ(m_launcher.urls.size(), 1);
    QTest::keyClick(status(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(m_launcher.urls.size(), 2);
    QTest::mouseDClick(status(), Qt::LeftButton); // empties whatever the line shows
    EXPECT_EQ(status()->text(), QString());

    m_launcher.terminalStarts = false;
    enter(QStringLiteral("dos"));
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_TRUE(m_messages.texts().first().contains(QStringLiteral("kein Terminal")));
    EXPECT_EQ(m_messages.shown().first().icon, MsgIcon::Critical);
}

} // namespace
} // namespace kelo::test
