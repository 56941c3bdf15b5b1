// The About window: where it is placed, how it opens and opens again, the
// picture pair, the link and the ways it closes.
#include "platform/controls.h"
#include "platform/units.h"
#include "services/form2.h"
#include "platform/productinfo.h"
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

TEST(Placement, BesideTheMainWindowWhenThereIsRoomElseAtTheLeftEdge)
{
    // Screen width, main window left, top and width, the About window's left.
    const std::tuple<double, double, double, double, double> cases[] = {
        {19200, 1395, 300, 12285, 13680}, // room 5520
        {19200, 1396, 300, 12285, 0},
        {19200, -3000, 45, 12285, 9285}};
    for (const auto &[screenWidth, mainLeft, mainTop, mainWidth, left] : cases) {
        const AboutPlacement placement =
            placeAboutWindow(screenWidth, mainLeft, mainTop, mainWidth);
        EXPECT_EQ(placement.left, left) << mainLeft;
        EXPECT_EQ(placement.top, mainTop) << mainLeft;
    }
}

using AboutWindow = Form1Fixture;

TEST_F(AboutWindow, OpensOnceBesideTheMainWindowAndAfterClosingIsBuiltAnew)
{
    start().move(0, 30);
    m_window->setWindowWidthTwips(6000);
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    ASSERT_GE(pixelsToTwips(m_window->screen()->availableGeometry().width()), 6000 + 5520)
        << "the test screen is too narrow";
    m_window->Info1->click();
    QPointer<Form2> form2 = m_window->findChild<Form2 *>();
    ASSERT_NE(form2, nullptr);
    EXPECT_EQ(form2->pos(), QPoint(twipsToPixels(6000), 30));
    // It slides open in steps of 200 twips to at least its designed width.
    EXPECT_GE(form2->windowWidthTwips(), Form2::designWidthTwips());
    EXPECT_LT(form2->windowWidthTwips(), Form2::designWidthTwips() + 200);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    QTest::mouseClick(form2->Label5, Qt::LeftButton);
    EXPECT_EQ(m_launcher.urls, QList<QUrl>{QUrl(product::downloadPage)});
    // The picture pair swaps under the mouse and back over the free area.
    moveMouse(form2->Image1, QPoint(5, 5));
    EXPECT_TRUE(form2->Image2->isVisible() && !form2->Image1->isVisible());
    ASSERT_EQ(form2->childAt(QPoint(3, 3)), nullptr);
    moveMouse(form2, QPoint(3, 3));
    EXPECT_TRUE(form2->Image1->isVisible() && !form2->Image2->isVisible());

    // A second click shows it as it is, neither placed nor sliding again.
    form2->move(5, 300);
    form2->setWindowWidthTwips(2000);
    const QSize size = form2->size();
    m_window->Info2->show();
    m_window->Info2->click();
    EXPECT_EQ(m_window->findChildren<Form2 *>(), QList<Form2 *>{form2.data()});
    EXPECT_EQ(form2->pos(), QPoint(5, 300));
    EXPECT_EQ(form2->size(), size);
    form2->Command1->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form2.isNull(); }));

    m_window->Info1->click();
    form2 = m_window->findChild<Form2 *>();
    ASSERT_NE(form2, nullptr);
    EXPECT_EQ(form2->pos(), QPoint(twipsToPixels(6000), 30)); // placed again
    moveMouse(form2->Image1, QPoint(5, 5));
    QTest::mouseClick(form2->Image2, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form2.isNull(); }));
}

} // namespace
} // namespace kelo::test
