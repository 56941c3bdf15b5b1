// The mouse on the window, its events as Qt delivers them (on to the window
// when the control does not take them): hints in the status line, the hover
// spot, and dragging the file panels sideways with the right button.
#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "platform/controls.h"
#include "platform/listcontrols.h"
#include "platform/textbox.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <utility>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

class Hints : public Form1Fixture {
protected:
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
};

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

class PanelDragging : public Form1Fixture {
protected:
    static void press(QWidget *panel, QPoint at, Qt::MouseButtons buttons = Qt::RightButton)
    {
        sendMouse(panel, QEvent::MouseButtonPress, at, Qt::RightButton, buttons);
    }
    static void release(QWidget *panel, QPoint at)
    {
        sendMouse(panel, QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
    }
};

TEST_F(PanelDragging, TheRightButtonAloneDragsSidewaysToTheLeftEdge)
{
    startShown();
    for (QWidget *panel : QList<QWidget *>{m_window->Dateiauswahl, m_window->Dateiauswahl2}) {
        panel->move(200, 43);
        panel->show();
        ASSERT_EQ(panel->childAt(20, 3), nullptr) << "the caption row is the panel's own";
        moveMouse(panel, QPoint(20, 3));
        press(panel, {20, 3});
        moveMouse(panel, QPoint(120, 200), Qt::RightButton);
        EXPECT_EQ(panel->pos(), QPoint(300, 43)) << panel->objectName().toStdString();
        EXPECT_EQ(m_window->children().last(), panel);      // in front of the other panel
        moveMouse(panel, QPoint(-400, 3), Qt::RightButton); // never past the window's left edge
        EXPECT_EQ(panel->pos(), QPoint(0, 43));
        release(panel, {20, 200});
        panel->hide();
    }

    // Both buttons, or a press over the lists, do not drag.
    OpenPanel *panel = m_window->Dateiauswahl;
    panel->move(200, 43);
    panel->show();
    moveMouse(panel, QPoint(20, 3));
    press(panel, {20, 3}, Qt::LeftButton | Qt::RightButton);
    moveMouse(panel, QPoint(90, 3), Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(200, 43));
    // Both buttons refreshed the remembered point: letting go of the left one
    // drags on from there.
    moveMouse(panel, QPoint(100, 3), Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(210, 43));
    release(panel, {100, 3});

    // A right-button press on the file list belongs to the list, and so do
    // the movements after it, even when they reach the panel's margin.
    const QPoint inList = panel->File1->geometry().center();
    press(panel, inList);
    moveMouse(panel, inList + QPoint(30, 0), Qt::RightButton);
    moveMouse(panel, QPoint(3, 3), Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(210, 43));
    release(panel, {3, 3});

    // A movement over the list without a button does not refresh the point.
    moveMouse(panel, QPoint(20, 3));
    moveMouse(panel, inList);
    press(panel, {40, 3});
    moveMouse(panel, QPoint(60, 3), Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(250, 43));
}

} // namespace
} // namespace kelo::test
