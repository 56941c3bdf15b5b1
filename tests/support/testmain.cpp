// Test main: every test binary runs with its own throw-away home folder and
// a QApplication on the offscreen platform.
#include "platform/units.h"
#include "support/testenv.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gmock/gmock.h>

int main(int argc, char **argv)
{
    // Nothing a test does may reach the real home: settings, desktop files and
    // caches all land in a private folder that is removed afterwards.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/kelo-test-home-XXXXXX"));
    if (!home.isValid())
        return 2;
    kelo::test::pointHomeAt(home.path());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    kelo::installFontSubstitutions();
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
