// Kelo as a client of a real window system: a headless Weston, natively
// through Qt's Wayland plugin and through XWayland (weston.sh starts the
// compositor and chooses the platform). The whole program runs, with its real
// services, the way main() starts it.
#include "platform/settingsstore.h"
#include "shell/application.h"
#include "shell/form1.h"
#include "tools/editortools.h"
#include "tools/frm_such.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

// A compositor that starts beside a loaded machine's other tests can take
// longer than Qt's five seconds to show a first window.
constexpr int exposedWithin = 30000;

TEST(WindowSystem, TheWindowAndItsSearchDialogShowAndTheProgramEndsCleanly)
{
    // The runner says which platform this run is meant for: a silent fall
    // back to another one would test the wrong thing.
    const QString expected = qEnvironmentVariable("KELO_EXPECTED_PLATFORM");
    ASSERT_FALSE(expected.isEmpty()) << "run this suite through weston.sh";
    ASSERT_EQ(QGuiApplication::platformName(), expected);

    KeloApplication kelo({});
    kelo.start();
    Form1 &form = kelo.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form, exposedWithin));
    ASSERT_NE(form.windowHandle(), nullptr);
    EXPECT_EQ(form.windowHandle()->title(), QStringLiteral("Kelo the Scriv"));

    // The compositor keeps the dialog above the window only as its
    // transient child.
    form.editorTools()->search_Click();
    QPointer<frm_such> search = form.editorTools()->searchDialog();
    ASSERT_FALSE(search.isNull());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(search, exposedWithin));
    ASSERT_NE(search->windowHandle(), nullptr);
    EXPECT_EQ(search->windowHandle()->transientParent(), form.windowHandle());
    EXPECT_TRUE(search->windowHandle()->isExposed());

    // The compositor's close request (the title bar's X) ends the program:
    // the event loop returns 0 once the last window is gone. (Headless Weston
    // has no keyboard, and Qt's Wayland text input needs one to take keys.)
    QTimer::singleShot(0, &form, [&form] { form.windowHandle()->close(); });
    // Only a hanging program meets this guard; it fails the test.
    QTimer::singleShot(20000, qApp, [] { QCoreApplication::exit(3); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(search.isNull() || !search->isVisible());
}

} // namespace
} // namespace kelo::test
