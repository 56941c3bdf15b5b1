// The About window: where it is placed, how it opens, the picture pair, the
// link and the ways it closes.
#include "platform/controls.h"
#include "platform/units.h"
#include "services/form2.h"
#include "shell/productinfo.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

struct PlacementCase {
    double screenWidth;
    double mainLeft;
    double mainTop;
    double mainWidth;
    double left;
};

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, BesideTheMainWindowWhenThereIsRoomElseAtTheLeftEdge)
{
    const PlacementCase &c = GetParam();
    const AboutPlacement placement =
        placeAboutWindow(c.screenWidth, c.mainLeft, c.mainTop, c.mainWidth);
    EXPECT_EQ(placement.left, c.left);
    EXPECT_EQ(placement.top, c.mainTop); // always level with the main window
}

INSTANTIATE_TEST_SUITE_P(Rooms, Placement,
                         ::testing::Values(
                             // Room of exactly 5520 twips: against the main window.
                             PlacementCase{19200, 1395, 300, 12285, 13680},
                             // One twip too little: the left edge of the screen.
                             PlacementCase{19200, 1396, 300, 12285, 0},
                             PlacementCase{28800, 0, 0, 12285, 12285},
                             // A screen narrower than both windows together.
                             PlacementCase{12000, 0, 1500, 12285, 0},
                             // A main window partly off the screen's left edge.
                             PlacementCase{19200, -3000, 45, 12285, 9285}));

// Counts the size changes of the About window while it opens.
class ResizeCounter : public QObject {
public:
    int resizes = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize && watched->objectName() == QLatin1String("Form2"))
            ++resizes;
        return false;
    }
};

class AboutWindow : public Form1Fixture {
protected:
    void SetUp() override
    {
        Form1Fixture::SetUp();
        Form1 &form = start();
        form.move(0, 30);
        form.setWindowWidthTwips(6000);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    // The one open About window, or null.
    static Form2 *about()
    {
        QList<Form2 *> open;
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *form2 = qobject_cast<Form2 *>(window); form2 && form2->isVisible())
                open.append(form2);
        }
        EXPECT_LE(open.size(), 1);
        return open.value(0);
    }
    double screenWidthTwips() const
    {
        return pixelsToTwips(m_window->screen()->availableGeometry().width());
    }
};

TEST_F(AboutWindow, OpensBesideTheMainWindowAndSlidesToItsFullWidth)
{
    ASSERT_GE(screenWidthTwips() - 6000 - 5520, 0) << "the test screen is too narrow";
    ResizeCounter counter;
    qApp->installEventFilter(&counter);
    m_window->Info1->click();
    qApp->removeEventFilter(&counter);

    Form2 *form2 = about();
    ASSERT_NE(form2, nullptr);
    EXPECT_EQ(form2->windowTitle(), QStringLiteral("Info Kelo the Scriv"));
    EXPECT_EQ(form2->pos(), QPoint(twipsToPixels(6000), 30));
    // From the narrowest width in steps of 200 twips: at least the designed
    // width, less than one step beyond it.
    EXPECT_GE(form2->windowWidthTwips(), Form2::designWidthTwips());
    EXPECT_LT(form2->windowWidthTwips(), Form2::designWidthTwips() + 200);
    EXPECT_GE(counter.resizes, int((Form2::designWidthTwips() - 165) / 200));
    EXPECT_EQ(form2->height(), twipsToPixels(4065));
    // Not modal: the main window takes input meanwhile.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(m_window->isEnabled());
}

TEST_F(AboutWindow, WithTooLittleRoomItGoesToTheLeftEdgeLevelWithTheMainWindow)
{
    m_window->move(twipsToPixels(screenWidthTwips() - 6000 - 5520) + 1, 70);
    m_window->Info1->click();
    ASSERT_NE(about(), nullptr);
    EXPECT_EQ(about()->pos(), QPoint(m_window->screen()->availableGeometry().left(), 70));
}

TEST_F(AboutWindow, ASecondClickShowsTheOpenWindowWithoutPlacingOrSlidingAgain)
{
    m_window->Info1->click();
    QPointer<Form2> first = about();
    ASSERT_NE(first, nullptr);
    first->move(5, 300);
    first->setWindowWidthTwips(2000);
    const QSize size = first->size();
    m_window->Info2->show();
    m_window->Info2->click();
    EXPECT_EQ(about(), first.data());
    EXPECT_EQ(first->pos(), QPoint(5, 300));
    EXPECT_EQ(first->size(), size);
}

TEST_F(AboutWindow, ClosingUnloadsItAndTheNextClickBuildsItAnew)
{
    m_window->Info1->click();
    QPointer<Form2> first = about();
    ASSERT_NE(first, nullptr);
    first->move(5, 300);
    first->Command1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.isNull(); }));

    m_window->Info1->click();
    Form2 *second = about();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->pos(), QPoint(twipsToPixels(6000), 30)); // placed again
}

TEST_F(AboutWindow, TheLinkAndThePicturePairWhoseSecondPictureCloses)
{
    m_window->Info1->click();
    QPointer<Form2> form2 = about();
    ASSERT_NE(form2, nullptr);
    EXPECT_EQ(form2->Label5->text(), product::downloadPage);
    QTest::mouseClick(form2->Label5, Qt::LeftButton);
    EXPECT_EQ(m_launcher.urls, QList<QUrl>{QUrl(product::downloadPage)});

    EXPECT_TRUE(form2->Image1->isVisible());
    EXPECT_FALSE(form2->Image2->isVisible());
    moveMouse(form2->Image1, QPoint(5, 5));
    EXPECT_FALSE(form2->Image1->isVisible());
    EXPECT_TRUE(form2->Image2->isVisible());
    // Over a label the pair stays; over the free area it swaps back.
    moveMouse(form2->Label2, QPoint(5, 5));
    EXPECT_TRUE(form2->Image2->isVisible());
    const QPoint free(3, 3);
    ASSERT_EQ(form2->childAt(free), nullptr);
    moveMouse(form2, free);
    EXPECT_TRUE(form2->Image1->isVisible());
    EXPECT_FALSE(form2->Image2->isVisible());

    moveMouse(form2->Image1, QPoint(5, 5));
    QTest::mouseClick(form2->Image2, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form2.isNull(); }));
}

} // namespace
} // namespace kelo::test
