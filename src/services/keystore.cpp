#include "services/keystore.h"

#include "services/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>

namespace kelo {

using namespace reg;

namespace {

const QString formatMember = QStringLiteral("kelo-keystore");
const QString keysMember = QStringLiteral("keys");
const QString nameMember = QStringLiteral("name");
const QString valueMember = QStringLiteral("value");
constexpr int formatVersion = 1;

// Far deeper than any file type needs, and well inside what the JSON reader
// accepts (each key level nests two JSON levels).
constexpr int maxDepth = 100;
// A store file beyond this size is not something Kelo wrote.
constexpr qint64 maxFileSize = 16 * 1024 * 1024;

bool validName(const QString &name)
{
    return !name.isEmpty() && name.size() <= maxKeyNameLength && !name.contains(QLatin1Char('\\'));
}

QString joinNames(const QStringList &names)
{
    return names.join(QLatin1Char('\\'));
}

// The store writes its JSON itself: QJsonValue drops a U+FEFF at the start
// of a string, so a key named or set that way came back without it, and two
// keys could become one name twice, which made the whole file unreadable.
// Written as an escape, the character survives the reading.
void appendString(QByteArray &out, const QString &text)
{
    out += '"';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t unit = c.unicode();
        if (unit == u'"' || unit == u'\\') {
            out += '\\';
            out += char(unit);
        } else if (unit == u'\n') {
            out += "\\n";
        } else if (unit == u'\r') {
            out += "\\r";
        } else if (unit == u'\t') {
            out += "\\t";
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += QStringView(text).sliced(i, 2).toUtf8();
            ++i;
        } else if (unit < 0x20 || unit == 0xFEFF || c.isSurrogate()) {
            out += "\\u" + QByteArray::number(unit, 16).rightJustified(4, '0');
        } else {
            out += QStringView(&c, 1).toUtf8();
        }
    }
    out += '"';
}

void appendKey(QByteArray &out, const RegKey &key, qsizetype depth)
{
    const QByteArray indent(depth * 4, ' ');
    out += indent + "{\n" + indent + "    \"" + nameMember.toLatin1() + "\": ";
    appendString(out, key.name);
    if (key.value) {
        out += ",\n" + indent + "    \"" + valueMember.toLatin1() + "\": ";
        appendString(out, *key.value);
    }
    if (!key.subkeys.isEmpty()) {
        out += ",\n" + indent + "    \"" + keysMember.toLatin1() + "\": [\n";
        for (qsizetype i = 0; i < key.subkeys.size(); ++i) {
            appendKey(out, key.subkeys.at(i), depth + 2);
            out += i + 1 < key.subkeys.size() ? ",\n" : "\n";
        }
        out += indent + "    ]";
    }
    out += '\n' + indent + '}';
}

QByteArray storeText(const RegKey &root)
{
    QByteArray out = "{\n    \"" + formatMember.toLatin1() +
                     "\": " + QByteArray::number(formatVersion) + ",\n    \"" +
                     keysMember.toLatin1() + "\": [\n";
    for (qsizetype i = 0; i < root.subkeys.size(); ++i) {
        appendKey(out, root.subkeys.at(i), 2);
        out += i + 1 < root.subkeys.size() ? ",\n" : "\n";
    }
    out += "    ]\n}\n";
    return out;
}

bool subkeysFromJson(const QJsonValue &value, int depth, QList<RegKey> *subkeys);

bool keyFromJson(const QJsonValue &value, int depth, RegKey *key)
{
    if (!value.isObject() || depth > maxDepth)
        return false;
    const QJsonObject object = value.toObject();
    const QJsonValue name = object.value(nameMember);
    if (!name.isString() || !validName(name.toString()))
        return false;
    key->name = name.toString();
    const QJsonValue data = object.value(valueMember);
    if (data.isString())
        key->value = data.toString();
    else if (!data.isUndefined())
        return false;
    return subkeysFromJson(object.value(keysMember), depth, &key->subkeys);
}

bool subkeysFromJson(const QJsonValue &value, int depth, QList<RegKey> *subkeys)
{
    if (value.isUndefined())
        return true;
    if (!value.isArray())
        return false;
    for (const QJsonValue &item : value.toArray()) {
        RegKey subkey;
        if (!keyFromJson(item, depth + 1, &subkey))
            return false;
        // Two keys whose names differ only in case cannot both exist.
        for (const RegKey &sibling : std::as_const(*subkeys)) {
            if (sibling.name.compare(subkey.name, Qt::CaseInsensitive) == 0)
                return false;
        }
        subkeys->append(std::move(subkey));
    }
    return true;
}

// Walks down a path, creating what is missing. Sets changed when it created.
RegKey *createPath(RegKey *key, const QStringList &names, bool &changed)
{
    for (const QString &name : names) {
        RegKey *next = key->find(name);
        if (!next) {
            key->subkeys.append(RegKey{name, std::nullopt, {}});
            next = &key->subkeys.last();
            changed = true;
        }
        key = next;
    }
    return key;
}

} // namespace

const RegKey *RegKey::find(const QString &subkeyName) const
{
    for (const RegKey &subkey : subkeys) {
        if (subkey.name.compare(subkeyName, Qt::CaseInsensitive) == 0)
            return &subkey;
    }
    return nullptr;
}

RegKey *RegKey::find(const QString &subkeyName)
{
    // Non-const access detaches the list: the key returned may be changed.
    for (RegKey &subkey : subkeys) {
        if (subkey.name.compare(subkeyName, Qt::CaseInsensitive) == 0)
            return &subkey;
    }
    return nullptr;
}

const RegKey *RegKey::findPath(const QStringList &names) const
{
    const RegKey *key = this;
    for (const QString &name : names) {
        key = key->find(name);
        if (!key)
            return nullptr;
    }
    return key;
}

RegKey *RegKey::findPath(const QStringList &names)
{
    RegKey *key = this;
    for (const QString &name : names) {
        key = key->find(name);
        if (!key)
            return nullptr;
    }
    return key;
}

KeyStore::KeyStore(QString filePath, int lockTimeoutMs)
    : m_filePath(std::move(filePath))
    , m_lockTimeoutMs(lockTimeoutMs)
{}

KeyStore::~KeyStore() = default;

QString KeyStore::fileIn(const QString &dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("Kelo/keystore.json"));
}

long KeyStore::fail(long code, const QString &text)
{
    m_error = text;
    return code;
}

KeyStore::Loaded KeyStore::load() const
{
    Loaded loaded;
    const QFileInfo info(m_filePath);
    if (!info.exists())
        return loaded;
    const QString shown = QDir::toNativeSeparators(m_filePath);
    QFile file(m_filePath);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        loaded.code = ERROR_CANTREAD;
        loaded.error = info.isDir() ? QStringLiteral("%1 ist ein Ordner, keine Datei.").arg(shown)
                                    : QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2")
                                          .arg(shown, file.errorString());
        return loaded;
    }
    if (file.size() > maxFileSize) {
        loaded.damaged = true;
        return loaded;
    }
    loaded.raw = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        loaded.code = ERROR_CANTREAD;
        loaded.error = QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2")
                           .arg(shown, file.errorString());
        return loaded;
    }

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(loaded.raw, &parseError);
    const QJsonObject top = document.object();
    bool valid = parseError.error == QJsonParseError::NoError && document.isObject() &&
                 top.value(formatMember).toInt() == formatVersion;
    valid = valid && top.value(keysMember).isArray() &&
            subkeysFromJson(top.value(keysMember), 0, &loaded.root.subkeys);
    if (!valid) {
        loaded.root = {};
        loaded.damaged = true;
    }
    return loaded;
}

long KeyStore::save(const Loaded &loaded, const RegKey &root)
{
    if (loaded.damaged) {
        // The damaged file goes aside before it is replaced: whatever it
        // held can still be looked at.
        const QString backup = m_filePath + QStringLiteral(".damaged");
        QByteArray bytes = loaded.raw;
        if (bytes.isEmpty()) {
            QFile file(m_filePath);
            if (file.open(QIODevice::ReadOnly))
                bytes = file.readAll();
        }
        if (const auto error = writeFileAtomically(backup, bytes))
            return fail(ERROR_CANTWRITE, *error);
    }
    if (const auto error = writeFileAtomically(m_filePath, storeText(root)))
        return fail(ERROR_CANTWRITE, *error);
    return ERROR_SUCCESS;
}

long KeyStore::lock()
{
    if (m_lockDepth > 0) {
        ++m_lockDepth;
        return ERROR_SUCCESS;
    }
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(ERROR_ACCESS_DENIED, QStringLiteral("Der Ordner %1 kann nicht angelegt werden.")
                                             .arg(QDir::toNativeSeparators(folder)));
    auto lockFile = std::make_unique<QLockFile>(m_filePath + QStringLiteral(".lock"));
    if (!lockFile->tryLock(m_lockTimeoutMs)) {
        switch (lockFile->error()) {
        case QLockFile::LockFailedError:
            return fail(ERROR_BUSY,
                        QStringLiteral("Die Datei %1 wird gerade von einem anderen Kelo-Fenster "
                                       "geändert. Bitte später noch einmal versuchen.")
                            .arg(QDir::toNativeSeparators(m_filePath)));
        case QLockFile::PermissionError:
            return fail(ERROR_ACCESS_DENIED,
                        QStringLiteral("Im Ordner %1 darf Kelo nicht schreiben.")
                            .arg(QDir::toNativeSeparators(folder)));
        default:
            return fail(ERROR_CANTWRITE, QStringLiteral("Die Sperrdatei im Ordner %1 kann nicht "
                                                        "angelegt werden.")
                                             .arg(QDir::toNativeSeparators(folder)));
        }
    }
    m_lock = std::move(lockFile);
    ++m_lockDepth;
    return ERROR_SUCCESS;
}

void KeyStore::unlock()
{
    if (m_lockDepth > 0 && --m_lockDepth == 0)
        m_lock.reset();
}

KeyStore::Transaction::Transaction(KeyStore &store)
    : m_store(store)
    , m_code(store.lock())
{}

KeyStore::Transaction::~Transaction()
{
    if (m_code == ERROR_SUCCESS)
        m_store.unlock();
}

long KeyStore::resolve(HKEY key, const QString &subKey, Target *target)
{
    if (key == HKEY_CLASSES_ROOT) {
        target->base.clear();
    } else {
        const auto found = m_handles.constFind(key);
        if (found == m_handles.constEnd())
            return fail(ERROR_INVALID_HANDLE, QStringLiteral("Ungültiges Schlüssel-Handle."));
        target->base = *found;
    }
    target->names = subKey.isEmpty() ? QStringList() : subKey.split(QLatin1Char('\\'));
    if (!std::all_of(target->names.cbegin(), target->names.cend(), validName))
        return fail(ERROR_INVALID_PARAMETER,
                    QStringLiteral("Ungültiger Schlüsselname: \"%1\"").arg(subKey));
    if (target->base.size() + target->names.size() > maxDepth)
        return fail(ERROR_INVALID_PARAMETER,
                    QStringLiteral("Der Schlüsselpfad \"%1\" ist zu tief.").arg(subKey));
    return ERROR_SUCCESS;
}

long KeyStore::handleKey(RegKey &root, const Target &target, RegKey **key)
{
    *key = root.findPath(target.base);
    if (!*key)
        return fail(ERROR_KEY_DELETED,
                    QStringLiteral("Der Schlüssel %1 wurde gelöscht.").arg(joinNames(target.base)));
    return ERROR_SUCCESS;
}

long KeyStore::existing(const Target &target, std::optional<QString> *value)
{
    Loaded current = load();
    if (current.code != ERROR_SUCCESS)
        return fail(current.code, current.error);
    RegKey *base = nullptr;
    if (const long code = handleKey(current.root, target, &base))
        return code;
    const RegKey *key = base->findPath(target.names);
    if (!key)
        return fail(ERROR_FILE_NOT_FOUND, QStringLiteral("Den Schlüssel %1 gibt es nicht.")
                                              .arg(joinNames(target.base + target.names)));
    *value = key->value;
    return ERROR_SUCCESS;
}

HKEY KeyStore::newHandle(const QStringList &path)
{
    const HKEY handle = m_nextHandle;
    m_nextHandle += 4;
    m_handles.insert(handle, path);
    return handle;
}

template <typename Change> long KeyStore::change(Change &&apply)
{
    // A first look without the lock: a call that changes nothing (creating a
    // key that exists, setting a value it has) succeeds without writing, even
    // where nothing may be written.
    {
        Loaded current = load();
        if (current.code != ERROR_SUCCESS)
            return fail(current.code, current.error);
        bool changed = false;
        const long code = apply(current.root, changed);
        if (code != ERROR_SUCCESS || !changed)
            return code;
    }
    const Transaction transaction(*this);
    if (transaction.code() != ERROR_SUCCESS)
        return transaction.code();
    // Under the lock the file is read again: another window may have written.
    Loaded current = load();
    if (current.code != ERROR_SUCCESS)
        return fail(current.code, current.error);
    bool changed = false;
    const long code = apply(current.root, changed);
    if (code != ERROR_SUCCESS || !changed)
        return code;
    return save(current, current.root);
}

long KeyStore::RegCreateKey(HKEY key, const QString &subKey, HKEY *result)
{
    Target target;
    if (!result)
        return fail(ERROR_INVALID_PARAMETER, QStringLiteral("Kein Platz für das Handle."));
    if (const long code = resolve(key, subKey, &target))
        return code;
    const long code = change([&](RegKey &root, bool &changed) {
        RegKey *base = nullptr;
        if (const long missing = handleKey(root, target, &base))
            return missing;
        createPath(base, target.names, changed);
        return ERROR_SUCCESS;
    });
    if (code != ERROR_SUCCESS)
        return code;
    *result = newHandle(target.base + target.names);
    return ERROR_SUCCESS;
}

long KeyStore::RegOpenKeyEx(HKEY key, const QString &subKey, quint32, quint32, HKEY *result)
{
    Target target;
    std::optional<QString> value;
    if (!result)
        return fail(ERROR_INVALID_PARAMETER, QStringLiteral("Kein Platz für das Handle."));
    if (const long code = resolve(key, subKey, &target))
        return code;
    if (const long code = existing(target, &value))
        return code;
    *result = newHandle(target.base + target.names);
    return ERROR_SUCCESS;
}

long KeyStore::RegSetValue(HKEY key, const QString &subKey, quint32 type, const QString &data)
{
    Target target;
    if (type != REG_SZ)
        return fail(ERROR_INVALID_PARAMETER,
                    QStringLiteral("Nur Zeichenketten werden gespeichert."));
    if (const long code = resolve(key, subKey, &target))
        return code;
    return change([&](RegKey &root, bool &changed) {
        RegKey *base = nullptr;
        if (const long missing = handleKey(root, target, &base))
            return missing;
        RegKey *key = createPath(base, target.names, changed);
        if (key->value != data) {
            key->value = data;
            changed = true;
        }
        return ERROR_SUCCESS;
    });
}

long KeyStore::RegSetValueEx(HKEY key, const QString &valueName, quint32, quint32 type,
                             const QString &data)
{
    if (!valueName.isEmpty())
        return fail(ERROR_INVALID_PARAMETER,
                    QStringLiteral("Ein Schlüssel hat nur seinen Standardwert, keinen Wert \"%1\".")
                        .arg(valueName));
    return RegSetValue(key, QString(), type, data);
}

long KeyStore::RegQueryValue(HKEY key, const QString &subKey, QString *data)
{
    Target target;
    std::optional<QString> value;
    if (!data)
        return fail(ERROR_INVALID_PARAMETER, QStringLiteral("Kein Platz für den Wert."));
    if (const long code = resolve(key, subKey, &target))
        return code;
    if (const long code = existing(target, &value))
        return code;
    *data = value.value_or(QString());
    return ERROR_SUCCESS;
}

long KeyStore::RegDeleteKey(HKEY key, const QString &subKey)
{
    Target target;
    if (subKey.isEmpty())
        return fail(ERROR_INVALID_PARAMETER, QStringLiteral("Kein Schlüssel zum Löschen genannt."));
    if (const long code = resolve(key, subKey, &target))
        return code;
    const QString last = target.names.takeLast();
    return change([&](RegKey &root, bool &changed) {
        const QString shown = joinNames(target.base + target.names + QStringList{last});
        RegKey *base = nullptr;
        if (const long missing = handleKey(root, target, &base))
            return missing;
        RegKey *parent = base->findPath(target.names);
        const auto siblings = parent ? parent->subkeys.size() : 0;
        qsizetype index = 0;
        while (index < siblings &&
               parent->subkeys.at(index).name.compare(last, Qt::CaseInsensitive) != 0)
            ++index;
        if (index == siblings)
            return fail(ERROR_FILE_NOT_FOUND,
                        QStringLiteral("Den Schlüssel %1 gibt es nicht.").arg(shown));
        if (!parent->subkeys.at(index).subkeys.isEmpty())
            return fail(ERROR_ACCESS_DENIED,
                        QStringLiteral("Der Schlüssel %1 hat Unterschlüssel und kann nicht "
                                       "gelöscht werden.")
                            .arg(shown));
        parent->subkeys.removeAt(index);
        changed = true;
        return ERROR_SUCCESS;
    });
}

long KeyStore::RegCloseKey(HKEY key)
{
    if (key == HKEY_CLASSES_ROOT)
        return ERROR_SUCCESS;
    if (m_handles.remove(key) == 0)
        return fail(ERROR_INVALID_HANDLE, QStringLiteral("Ungültiges Schlüssel-Handle."));
    return ERROR_SUCCESS;
}

std::optional<RegKey> KeyStore::snapshot()
{
    Loaded current = load();
    if (current.code != ERROR_SUCCESS) {
        fail(current.code, current.error);
        return std::nullopt;
    }
    return std::move(current.root);
}

} // namespace kelo
