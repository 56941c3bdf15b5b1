// The settings store: string values under keys of the section "Optionen",
// kept by QSettings for the organisation and application "Kelo" (on Linux
// ~/.config/Kelo/Kelo.conf). Every write is synced to disk at once.
#pragma once

#include <QSettings>
#include <QString>

namespace kelo {

class SettingsStore {
public:
    // The user's settings file.
    SettingsStore();
    // A settings file of the given path (tests, other profiles).
    explicit SettingsStore(const QString &iniFilePath);

    // The stored value, or the default when the key is missing or the file
    // cannot be read.
    QString read(const QString &key, const QString &defaultValue) const;
    // Stores a value and syncs. Returns false when the file cannot be written.
    bool write(const QString &key, const QString &value);

    QString fileName() const;

private:
    QSettings m_settings;
};

} // namespace kelo
