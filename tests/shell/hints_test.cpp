// Hints in the status line and the hover spot, driven by mouse movements as
// Qt delivers them: to the control under the pointer, and on to the window
// when the control does not take them.
#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "platform/controls.h"
#include "platform/textbox.h"
#include "shell/hints.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

void moveOver(QWidget *widget, QPoint at = {-1, -1})
{
    if (at == QPoint(-1, -1))
        at = widget->rect().center();
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

class Hints : public Form1Fixture {
protected:
    Form1 &shown()
    {
        Form1 &form = start();
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
        return form;
    }
    // A point of the window that no control covers.
    static QPoint background(Form1 &form)
    {
        const QPoint point(246, 10); // between "copy" and "clear"
        EXPECT_EQ(form.childAt(point), nullptr);
        return point;
    }
    // Which of the four pictures shows, as a word.
    static QString spot(Form1 &form)
    {
        QStringList shown;
        for (QWidget *picture :
             {static_cast<QWidget *>(form.Info1), static_cast<QWidget *>(form.Info2),
              static_cast<QWidget *>(form.Image1), static_cast<QWidget *>(form.Image2)}) {
            if (picture->isVisible())
                shown.append(picture->objectName());
        }
        return shown.join(u'+');
    }
};

struct HintCase {
    const char *control;
    const char *hint;
};

class HintTable : public Hints, public ::testing::WithParamInterface<HintCase> {};

TEST_P(HintTable, MovingOverTheControlReplacesTheStatusLine)
{
    Form1 &form = shown();
    form.lblstatus->setText(QStringLiteral("hel")); // a half-typed command
    auto *control = form.findChild<QWidget *>(QString::fromLatin1(GetParam().control));
    ASSERT_NE(control, nullptr);
    moveOver(control);
    EXPECT_EQ(form.lblstatus->text(), QString::fromUtf8(GetParam().hint));
    // Leaving the control does not clear it.
    moveOver(&form, background(form));
    EXPECT_EQ(form.lblstatus->text(), QString::fromUtf8(GetParam().hint));
}

INSTANTIATE_TEST_SUITE_P(
    AllThirteen, HintTable,
    ::testing::Values(
        HintCase{"cmd_open", "öffnet den Dateiauswahl Dialog / Die Box kann mit der rechten "
                             "Maustaste bewegt werden"},
        HintCase{"img_save", "speichern"},
        HintCase{"Save_AS", "speichern als / Die Box kann mit der rechten Maustaste bewegt werden"},
        HintCase{"cmd_fresh", "refresh"},
        HintCase{"copy", "copy /markierten Text in die Zwischenablage kopieren"},
        HintCase{"img_clear", "Vorsicht ! Löscht den Inhalt des Editorfensters !"},
        HintCase{"search", "nach Texten suchen"},
        HintCase{"cmd_replace", "Ersetzen von Texten oder Löschen von Zeilen"},
        HintCase{"cmdDelEmpty", "Löschen von Leerzeilen und doppelten Leerzeichen"},
        HintCase{"Print", "Ausdruck auf den Standarddrucker"},
        HintCase{"cmd_Einstell", "Programm- Optionen /Farben /Highlightlisten"},
        HintCase{"EXIT", "Programm verlassen"},
        HintCase{"Info1", "Informationen über das Programm und den Autor"}),
    [](const ::testing::TestParamInfo<HintCase> &info) { return std::string(info.param.control); });

TEST_F(Hints, ControlsWithoutAHintLeaveTheStatusLineAlone)
{
    Form1 &form = shown();
    form.Info2->show();
    form.Dateiauswahl->showAt(650);
    form.lblstatus->setText(QStringLiteral("Meldung"));
    for (QWidget *control :
         {static_cast<QWidget *>(form.cmd_DE2EN), static_cast<QWidget *>(form.cmd_EN2DE),
          static_cast<QWidget *>(form.Info2), static_cast<QWidget *>(form.Label15),
          static_cast<QWidget *>(form.Label2), static_cast<QWidget *>(form.TextBox1->viewport()),
          static_cast<QWidget *>(form.Dateiauswahl), static_cast<QWidget *>(form.lblstatus)}) {
        moveOver(control);
        EXPECT_EQ(form.lblstatus->text(), QStringLiteral("Meldung"))
            << control->objectName().toStdString();
    }
}

TEST_F(Hints, TheHoverSpotFollowsTheTable)
{
    Form1 &form = shown();
    EXPECT_EQ(spot(form), QStringLiteral("Info1"));
    moveOver(form.Info1);
    EXPECT_EQ(spot(form), QStringLiteral("Info2"));
    // From Info1 (now Info2) straight to EXIT: its picture shows at once.
    moveOver(form.EXIT);
    EXPECT_EQ(spot(form), QStringLiteral("Image1"));
    // Over the text buttons, a caption label and the picture itself it stays.
    moveOver(form.search);
    moveOver(form.Label15);
    moveOver(form.Image1);
    EXPECT_EQ(spot(form), QStringLiteral("Image1"));
    moveOver(form.cmd_Einstell);
    EXPECT_EQ(spot(form), QStringLiteral("Image2"));
    moveOver(form.EXIT);
    EXPECT_EQ(spot(form), QStringLiteral("Image1"));
    // Only the bare background brings Info1 back.
    moveOver(&form, background(form));
    EXPECT_EQ(spot(form), QStringLiteral("Info1"));
}

TEST_F(Hints, TheTableOnlyNamesTheFourMovers)
{
    EXPECT_FALSE(spotChangeFor(QStringLiteral("Info2")).has_value());
    EXPECT_FALSE(spotChangeFor(QStringLiteral("search")).has_value());
    EXPECT_EQ(hintFor(QStringLiteral("Info2")), QString());
    EXPECT_EQ(hintFor(QStringLiteral("cmd_DE2EN")), QString());
    EXPECT_EQ(hintedControls().size(), 13);
}

TEST_F(Hints, AClickOnTheBareBackgroundHidesNothing)
{
    Form1 &form = shown();
    form.Dateiauswahl2->showAt(650);
    const QPoint point = background(form);
    QTest::mouseClick(&form, Qt::LeftButton, Qt::NoModifier, point);
    QTest::mouseDClick(&form, Qt::LeftButton, Qt::NoModifier, point);
    EXPECT_TRUE(form.Dateiauswahl2->isVisible());
    EXPECT_TRUE(form.Dateiauswahl2->saveas->isVisible());
    form.Dateiauswahl2->hide();
    form.Dateiauswahl2->showAt(650);
    EXPECT_TRUE(form.Dateiauswahl2->saveas->isVisible());
}

TEST_F(Hints, TheRedXClosesItsPanel)
{
    Form1 &form = shown();
    form.Dateiauswahl->showAt(650);
    QTest::mouseClick(form.Dateiauswahl->lbl_X, Qt::LeftButton);
    EXPECT_FALSE(form.Dateiauswahl->isVisible());
    form.Dateiauswahl2->showAt(650);
    QTest::mouseClick(form.Dateiauswahl2->lbl_X2, Qt::LeftButton);
    EXPECT_FALSE(form.Dateiauswahl2->isVisible());
}

} // namespace
} // namespace kelo::test
