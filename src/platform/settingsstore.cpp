#include "platform/settingsstore.h"

#include <QStringList>

namespace kelo {

namespace {
const QString sectionPrefix = QStringLiteral("Optionen/");
}

SettingsStore::SettingsStore()
    // The native format on Linux is the INI form in ~/.config/Kelo/Kelo.conf.
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kelo"),
                 QStringLiteral("Kelo"))
{}

SettingsStore::SettingsStore(const QString &iniFilePath)
    : m_settings(iniFilePath, QSettings::IniFormat)
{}

QString SettingsStore::read(const QString &key, const QString &defaultValue) const
{
    const QVariant value = m_settings.value(sectionPrefix + key);
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value with unquoted commas comes back as a list.
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

bool SettingsStore::write(const QString &key, const QString &value)
{
    m_settings.setValue(sectionPrefix + key, value);
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}

QString SettingsStore::fileName() const
{
    return m_settings.fileName();
}

} // namespace kelo
