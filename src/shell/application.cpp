#include "shell/application.h"

#include "platform/units.h"
#include "shell/form1.h"

#include <QApplication>
#include <QStandardPaths>

namespace kelo {

void prepareApplication()
{
    QApplication::setApplicationName(QStringLiteral("Kelo"));
    QApplication::setOrganizationName(QStringLiteral("Kelo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kelo the Scriv"));
    QApplication::setDesktopFileName(QStringLiteral("kelo-the-scriv"));
    installFontSubstitutions();
}

KeloApplication::KeloApplication(const QStringList &arguments)
{
    KeloContext context;
    context.programFile = QApplication::applicationFilePath();
    context.programFolder = QApplication::applicationDirPath();
    context.arguments = arguments;
    context.dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    context.configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
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
    m_window->Form_Load();
    m_window->show();
}

} // namespace kelo
