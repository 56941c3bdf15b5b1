// Kelo's own small registry of file types, standing in for the Windows
// registry's HKEY_CLASSES_ROOT: keys addressed by paths with "\" separators,
// names compared without regard to case and kept as first written, one
// default string value per key, and the classic calls with their return
// codes. What it holds is mirrored into the freedesktop files elsewhere.
//
// The keys live in one file in the user's data folder. Every call reads the
// file afresh and every change writes it whole and atomically under a lock
// file, so two Kelo windows may change keys at the same time. A damaged file
// reads as empty and stays untouched until the next successful write, which
// first keeps a copy of it beside the store.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QLockFile;

namespace kelo {

namespace reg {

using HKEY = quint32;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;

inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;
inline constexpr long ERROR_ACCESS_DENIED = 5;
inline constexpr long ERROR_INVALID_HANDLE = 6;
inline constexpr long ERROR_INVALID_PARAMETER = 87;
inline constexpr long ERROR_BUSY = 170;
inline constexpr long ERROR_CANTREAD = 1012;
inline constexpr long ERROR_CANTWRITE = 1013;
inline constexpr long ERROR_KEY_DELETED = 1018;

inline constexpr quint32 REG_SZ = 1;
inline constexpr quint32 KEY_SET_VALUE = 0x0002;

// The registry's limit for one key name.
inline constexpr int maxKeyNameLength = 255;

} // namespace reg

// One key with its default value and its subkeys, in the order written.
struct RegKey {
    QString name;
    std::optional<QString> value;
    QList<RegKey> subkeys;

    // The subkey of that name, compared without regard to case.
    const RegKey *find(const QString &subkeyName) const;
    RegKey *find(const QString &subkeyName);
    // The key at a path below this one ("" is this key itself).
    const RegKey *findPath(const QStringList &names) const;
    RegKey *findPath(const QStringList &names);
};

class KeyStore {
public:
    // The store kept in this file. A change waits at most lockTimeoutMs for
    // another window's lock.
    explicit KeyStore(QString filePath, int lockTimeoutMs = 5000);
    ~KeyStore();
    KeyStore(const KeyStore &) = delete;
    KeyStore &operator=(const KeyStore &) = delete;

    // The store's file in a data folder ($XDG_DATA_HOME): <folder>/Kelo/keystore.json.
    static QString fileIn(const QString &dataFolder);

    // The classic calls. Each returns ERROR_SUCCESS or an error code; the
    // German description of the last failure is errorString().
    // Opens a key, creating it and every missing key on its path.
    long RegCreateKey(reg::HKEY key, const QString &subKey, reg::HKEY *result);
    // Opens an existing key. The options and the access mask are taken as
    // given; the store has no rights of its own.
    long RegOpenKeyEx(reg::HKEY key, const QString &subKey, quint32 options, quint32 samDesired,
                      reg::HKEY *result);
    // Sets the default value of a subkey, creating the subkey where missing.
    long RegSetValue(reg::HKEY key, const QString &subKey, quint32 type, const QString &data);
    // Sets a value of the key itself; only the default value ("") exists.
    long RegSetValueEx(reg::HKEY key, const QString &valueName, quint32 reserved, quint32 type,
                       const QString &data);
    // Reads the default value of a subkey; a key without one reads as "".
    long RegQueryValue(reg::HKEY key, const QString &subKey, QString *data);
    // Deletes a subkey that has no subkeys of its own.
    long RegDeleteKey(reg::HKEY key, const QString &subKey);
    long RegCloseKey(reg::HKEY key);

    QString errorString() const { return m_error; }

    // Every key as the file holds it now (a damaged or missing file holds
    // none). Nothing when the file cannot be read; errorString() says why.
    std::optional<RegKey> snapshot();

    // Holds the store's lock over several calls, so that another window
    // sees all of them or none. Calls made meanwhile do not lock again.
    class Transaction {
    public:
        explicit Transaction(KeyStore &store);
        ~Transaction();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;
        // ERROR_SUCCESS when the lock is held.
        long code() const { return m_code; }

    private:
        KeyStore &m_store;
        long m_code;
    };

private:
    struct Loaded {
        long code = reg::ERROR_SUCCESS;
        QString error; // when code is not ERROR_SUCCESS
        RegKey root;
        bool damaged = false; // the file is there but not a key store
        QByteArray raw;       // the file's bytes as read
    };

    Loaded load() const;
    long save(const Loaded &loaded, const RegKey &root);
    long lock();
    void unlock();
    // A key named by a handle and a subkey path below it.
    struct Target {
        QStringList base;  // the handle's key
        QStringList names; // the subkey's path below it
    };

    long fail(long code, const QString &text);
    long resolve(reg::HKEY key, const QString &subKey, Target *target);
    // The handle's key in a tree read from the file; it may have been deleted.
    long handleKey(RegKey &root, const Target &target, RegKey **key);
    // The value of an existing key (a key without one: nothing).
    long existing(const Target &target, std::optional<QString> *value);
    template <typename Change> long change(Change &&change);
    reg::HKEY newHandle(const QStringList &path);

    QString m_filePath;
    int m_lockTimeoutMs;
    std::unique_ptr<QLockFile> m_lock;
    int m_lockDepth = 0;
    QMap<reg::HKEY, QStringList> m_handles;
    reg::HKEY m_nextHandle = 0x100;
    QString m_error;
};

} // namespace kelo
