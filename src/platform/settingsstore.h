// The settings store: string values under keys of the section "Optionen",
// kept by QSettings for the organisation and application "Kelo" (on Linux
// ~/.config/Kelo/Kelo.conf). Every write is synced to disk at once.
#pragma once

#include <QSettings>
#include <QString>

namespace kelo {

// The keys of the section "Optionen", and what a read gives when a key is
// missing.
namespace key {
inline const QString scheme = QStringLiteral("lbl_schwarzweissblau");
inline const QString dir1 = QStringLiteral("dir1");
inline const QString drive1 = QStringLiteral("drive1");
inline const QString filter = QStringLiteral("Filter");
inline const QString txtFinde = QStringLiteral("txt_finde");
inline const QString txtReplace = QStringLiteral("txt_replace");
// Names a page that answers like the classic translation page; read only,
// never written.
inline const QString translationPage = QStringLiteral("Uebersetzungsseite");
} // namespace key

namespace defaults {
inline const QString scheme = QStringLiteral("blau");
inline const QString dir1 = QStringLiteral("C:\\");
inline const QString drive1 = QStringLiteral("C:");
inline const QString filter = QStringLiteral("*.*");
inline const QString txtFinde = QStringLiteral("Suchbegriff eingeben");
inline const QString txtReplace = QStringLiteral("Ersatzbegriff eingeben");
inline const QString translationPage = QStringLiteral("http://translate.google.com/translate_t");
} // namespace defaults


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
