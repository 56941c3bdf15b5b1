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
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

// Screen width, main window left, top and width, the About window's left.
using Placement = ::testing::TestWithParam<std::tuple<double, double, double, double, double>>;

TEST_P(Placement, BesideTheMainWindowWhenThereIsRoomElseAtTheLeftEdge)
{
    const auto &[screenWidth, mainLeft, mainTop, mainWidth, left] = GetParam();
    const AboutPlacement placement = placeAboutWindow(screenWidth, mainLeft, mainTop, mainWidth);
    EXPECT_EQ(placement.left, left);
    EXPECT_EQ(placement.top, mainTop);
}

INSTANTIATE_TEST_SUITE_P(Rooms, Placement,
                         ::testing::Values(std::tuple{19200, 1395, 300, 12285, 13680}, // room 5520
                                           std::tuple{19200, 1396, 300, 12285, 0},
                                           std::tuple{28800, 0, 0, 12285, 12285},
                                           std::tuple{12000, 0, 1500, 12285, 0},
                                           std::tuple{19200, -3000, 45, 12285, 9285}));

// Counts the size changes of the About window while it opens.
class ResizeCounter : public QObject {
public:
    int resizes = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize && qobject_cast<Form2 *>(watched))
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
};

TEST_F(AboutWindow, OpensBesideTheMainWindowAndSlidesToItsFullWidth)
{
    ASSERT_GE(pixelsToTwips(m_window->screen()->availableGeometry().width()), 6000 + 5520)
        << "the test screen is too narrow";
    ResizeCounter counter;
    qApp->installEventFilter(&counter);
    m_window->Info1->click();
    qApp->removeEventFilter(&counter);

    Form2 *form2 = about();
    ASSERT_NE(form2, nullptr);
    EXPECT_EQ(form2->pos(), QPoint(twipsToPixels(6000), 30));
    // From the narrowest width in steps of 200 twips: at least the designed
    // width, less than one step beyond it.
    EXPECT_GE(form2->windowWidthTwips(), Form2::designWidthTwips());
    EXPECT_LT(form2->windowWidthTwips(), Form2::designWidthTwips() + 200);
    EXPECT_GE(counter.resizes, int((Form2::designWidthTwips() - 165) / 200));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(m_window->isEnabled());
}

TEST_F(AboutWindow, ASecondClickShowsTheOpenWindowAsItIsAndAfterClosingItIsBuiltAnew)
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

    first->Command1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.isNull(); }));
    m_window->Info1->click();
    ASSERT_NE(about(), nullptr);
    EXPECT_EQ(about()->pos(), QPoint(twipsToPixels(6000), 30)); // placed again
}

TEST_F(AboutWindow, TheLinkAndThePicturePairWhoseSecondPictureCloses)
{
    m_window->Info1->click();
    QPointer<Form2> form2 = about();
    ASSERT_NE(form2, nullptr);
    QTest::mouseClick(form2->Label5, Qt::LeftButton);
    EXPECT_EQ(m_launcher.urls, QList<QUrl>{QUrl(product::downloadPage)});

    moveMouse(form2->Image1, QPoint(5, 5));
    EXPECT_FALSE(form2->Image1->isVisible());
    EXPECT_TRUE(form2->Image2->isVisible());
    // Over a label the pair stays; over the free area it swaps back.
    moveMouse(form2->Label2, QPoint(5, 5));
    EXPECT_TRUE(form2->Image2->isVisible());
    ASSERT_EQ(form2->childAt(QPoint(3, 3)), nullptr);
    moveMouse(form2, QPoint(3, 3));
    EXPECT_TRUE(form2->Image1->isVisible());
    EXPECT_FALSE(form2->Image2->isVisible());

    moveMouse(form2->Image1, QPoint(5, 5));
    QTest::mouseClick(form2->Image2, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form2.isNull(); }));
}

} // namespace
} // namespace kelo::test
