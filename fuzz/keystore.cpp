// The key store's file as the user's data folder may hold it: anything at
// all. Whatever it holds, reading never crashes; a change keeps every key the
// file held, with its name, value and place, and adds just what it sets; a
// file that is not a key store is kept byte for byte beside the store before
// it is replaced; reading what was written and writing it again gives the
// same bytes; and a call that is refused writes nothing.
#include "fuzzcheck.h"

#include "services/keystore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace kelo;
using namespace kelo::reg;
using kelo::fuzz::literal;

namespace {

std::string shown(const RegKey &key, int depth = 0)
{
    std::string out = std::string(std::size_t(depth) * 2, ' ') + literal(key.name);
    if (key.value)
        out += " = " + literal(*key.value);
    out += '\n';
    for (const RegKey &subkey : key.subkeys)
        out += shown(subkey, depth + 1);
    return out;
}

bool same(const RegKey &a, const RegKey &b)
{
    if (a.name != b.name || a.value != b.value || a.subkeys.size() != b.subkeys.size())
        return false;
    for (qsizetype i = 0; i < a.subkeys.size(); ++i) {
        if (!same(a.subkeys[i], b.subkeys[i]))
            return false;
    }
    return true;
}

// What setting a value does, by the rules: each name on the path is found
// without regard to case or appended as written; the last one gets the value.
void setValue(RegKey &root, const QStringList &path, const QString &value)
{
    RegKey *key = &root;
    for (const QString &name : path) {
        RegKey *next = nullptr;
        for (RegKey &subkey : key->subkeys) {
            if (subkey.name.compare(name, Qt::CaseInsensitive) == 0) {
                next = &subkey;
                break;
            }
        }
        if (!next) {
            key->subkeys.append(RegKey{name, std::nullopt, {}});
            next = &key->subkeys.last();
        }
        key = next;
    }
    key->value = value;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "(missing)";
    return file.readAll();
}

const QString &folder()
{
    // Memory, where there is a file system in it: every input writes files.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/kelo-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/kelo-fuzz-XXXXXX"));
    static const QString path = dir.path();
    return path;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    // A name and a value of the fuzzer's, mostly a plain one. Names are
    // typed text: no lone surrogates.
    const QString name = input.ConsumeBool() ? QString::fromUtf8(fuzz::takeBytes(input, 12))
                                             : QStringLiteral("KeloFuzz");
    const QString value = QString::fromUtf8(fuzz::takeBytes(input, 24));
    const QByteArray original = fuzz::takeRest(input);

    const QString path = folder() + QStringLiteral("/keystore.json");
    const QString backup = path + QStringLiteral(".damaged");
    QFile::remove(backup);
    writeFile(path, original);

    KeyStore store(path, 0);
    const std::optional<RegKey> before = store.snapshot();
    FUZZ_CHECK(before.has_value(), literal(original));
    // Nothing was written by reading.
    FUZZ_CHECK(contents(path) == original, literal(original));

    // "\\" in the name parts it into keys on the path.
    const QStringList keyPath = name.split(QLatin1Char('\\')) << QStringLiteral("shell");
    const long code = store.RegSetValue(HKEY_CLASSES_ROOT, keyPath.join(QLatin1Char('\\')),
                                        REG_SZ, value);
    bool validName = true;
    for (const QString &part : keyPath)
        validName = validName && !part.isEmpty() && part.size() <= maxKeyNameLength;
    if (!validName) {
        FUZZ_CHECK(code == ERROR_INVALID_PARAMETER, literal(name));
        FUZZ_CHECK(contents(path) == original, "a refused call wrote, name " + literal(name));
        return 0;
    }
    FUZZ_CHECK(code == ERROR_SUCCESS, literal(store.errorString()));

    // Every key is still there, with just the new one added.
    RegKey expected = *before;
    setValue(expected, keyPath, value);
    const std::optional<RegKey> after = store.snapshot();
    FUZZ_CHECK(after && same(*after, expected),
               "file " + literal(original) + "\nread as\n" + shown(*before) + "after setting " +
                   literal(name) + " = " + literal(value) + " holds\n" +
                   (after ? shown(*after) : std::string("nothing")) + "expected\n" +
                   shown(expected));

    // A file that was not a key store was put aside unchanged; one that
    // holds keys was not.
    const bool damaged = QFile::exists(backup);
    if (damaged)
        FUZZ_CHECK(contents(backup) == original && before->subkeys.isEmpty(),
                   literal(original) + " kept as " + literal(contents(backup)));
    if (!before->subkeys.isEmpty())
        FUZZ_CHECK(!damaged, literal(original));

    // Read, written and read again: the same keys and the same bytes.
    const QByteArray written = contents(path);
    FUZZ_CHECK(store.RegSetValue(HKEY_CLASSES_ROOT, keyPath.join(QLatin1Char('\\')), REG_SZ,
                                 value + QLatin1Char('x')) == ERROR_SUCCESS,
               literal(store.errorString()));
    FUZZ_CHECK(store.RegSetValue(HKEY_CLASSES_ROOT, keyPath.join(QLatin1Char('\\')), REG_SZ,
                                 value) == ERROR_SUCCESS,
               literal(store.errorString()));
    FUZZ_CHECK(contents(path) == written,
               "written " + literal(written) + "\nthen " + literal(contents(path)));
    const std::optional<RegKey> again = store.snapshot();
    FUZZ_CHECK(again && same(*again, expected), literal(written));
    return 0;
}
