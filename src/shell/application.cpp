#include "shell/application.h"

#include "files/recoverycopy.h"
#include "platform/filenames.h"
#include "platform/units.h"
#include "services/desktopfiles.h"
#include "services/desktopmirror.h"
#include "shell/form1.h"
#include "shell/sessionend.h"

#include <QApplication>
#include <QSessionManager>
#include <QTimer>
#include <QWindow>
#include <QStandardPaths>

#include <climits>

#include <unistd.h>

namespace kelo {

QByteArray windowSystemFor(const QByteArray &chosenPlatform, const QByteArray &waylandDisplay)
{
    if (!chosenPlatform.isEmpty() || waylandDisplay.isEmpty())
        return {};
    // Natively rather than through XWayland: the compositor scales the
    // window sharply and keeps the dialogs, transient children of the main
    // window, above it. The one thing given up is placing the About window
    // beside the main window, which Wayland leaves to the compositor.
    return QByteArrayLiteral("wayland;xcb");
}

void chooseWindowSystem()
{
    const QByteArray platform =
        windowSystemFor(qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"));
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}

void prepareApplication()
{
    QApplication::setApplicationName(QStringLiteral("Kelo"));
    QApplication::setOrganizationName(QStringLiteral("Kelo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kelo the Scriv"));
    // The desktop finds the window's name and icon through this entry: the
    // installed one where there is one, else the one the options panel writes.
    const QStringList dataFolders =
        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    QApplication::setDesktopFileName(holdsInstalledEntry(dataFolders)
                                         ? desktop::applicationId
                                         : QStringLiteral("kelo-the-scriv"));
    installFontSubstitutions();
}

QStringList commandLineArguments(int argc, const char *const *argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(decodeFileName(QByteArrayView(argv[i])));
    return arguments;
}

QString runningProgramFile()
{
    // Qt reads the same link, but turns bytes that are not UTF-8 into
    // other ones.
    QByteArray path(PATH_MAX, Qt::Uninitialized);
    const ssize_t length =
        ::readlink("/proc/self/exe", path.data(), static_cast<size_t>(path.size()));
    if (length <= 0 || length >= path.size())
        return QApplication::applicationFilePath();
    path.truncate(length);
    return decodeFileName(path);
}

KeloApplication::KeloApplication(const QStringList &arguments)
{
    KeloContext context;
    context.programFile = runningProgramFile();
    const qsizetype slash = context.programFile.lastIndexOf(QLatin1Char('/'));
    context.programFolder =
        slash <= 0 ? QStringLiteral("/") : context.programFile.left(slash);
    context.arguments = arguments;
    context.dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    context.configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    context.dataDirs = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    context.recoveryFolder = defaultRecoveryFolder();
    context.settings = &m_settings;
    context.messages = &m_messages;
    context.launcher = &m_launcher;
    context.printer = &m_printer;
    m_window = std::make_unique<Form1>(std::move(context));
    m_messages.setParent(m_window.get());
}

KeloApplication::~KeloApplication() = default;

void KeloApplication::start()
{
    // The window shows first: a file named on the command line is read once
    // it is up and drawn, with its progress over it, however big the file.
    m_window->Form_Load(Form1::FileTiming::AfterShow);
    m_window->show();
    // Copies that a crashed Kelo left are offered after that, once the window
    // is up, so that the question stands over it (a second at most is waited
    // for).
    auto *waitForWindow = new QTimer(m_window.get());
    waitForWindow->setInterval(50);
    QObject::connect(waitForWindow, &QTimer::timeout, m_window.get(),
                     [window = m_window.get(), waitForWindow, tries = 0]() mutable {
                         QWindow *handle = window->windowHandle();
                         if (++tries < 20 && !(handle && handle->isExposed()))
                             return;
                         waitForWindow->stop();
                         window->repaint();
                         window->readCommandLineFile();
                         window->offerRecoveryCopies();
                         waitForWindow->deleteLater();
                     });
    waitForWindow->start();
    // At the end of the desktop session a changed text is offered for
    // saving, or kept as a recovery copy when no question may be asked.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, m_window.get(),
                     [window = m_window.get()](QSessionManager &manager) {
                         QtSessionEnd session(manager);
                         window->commitData(session);
                     });
}

} // namespace kelo
