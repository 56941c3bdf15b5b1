// The key store: names without case, deletes only without subkeys, the file shared by
// windows, damaged and unwritable files.
#include "services/keystore.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QLockFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace kelo::test {
namespace {

using namespace reg;

class KeyStoreTest : public ::testing::Test {
protected:
    long set(const QString &path, const QString &value = {})
    {
        return m_store.RegSetValue(HKEY_CLASSES_ROOT, path, REG_SZ, value);
    }
    QString valueAt(const QString &path)
    {
        QString value = "<missing>";
        m_store.RegQueryValue(HKEY_CLASSES_ROOT, path, &value);
        return value;
    }

    QTemporaryDir m_dir;
    QString m_file = KeyStore::fileIn(m_dir.path());
    KeyStore m_store{m_file, 50};
};

// Names match without case but keep their spelling, empty or overlong ones are refused without
// writing, a second window sees the keys, and only a key without subkeys is deleted.
TEST_F(KeyStoreTest, NamesMatchWithoutCaseAndOnlyKeysWithoutSubkeysAreDeleted)
{
    HKEY key = 0;
    for (const QString &path : {QString("\\a"), QString("a\\"), QString("a\\\\b"),
                                QString(256, u'n'), QString("a\\" + QString(256, u'n'))}) {
        EXPECT_EQ(m_store.RegCreateKey(HKEY_CLASSES_ROOT, path, &key), ERROR_INVALID_PARAMETER)
            << path.toStdString();
        EXPECT_EQ(set(path), ERROR_INVALID_PARAMETER) << path.toStdString();
    }
    EXPECT_FALSE(QFile::exists(m_file));
    EXPECT_EQ(set(QString(255, u'n')), ERROR_SUCCESS);
    ASSERT_EQ(m_store.RegCreateKey(HKEY_CLASSES_ROOT, "*\\shell\\Kelo\\command", &key),
              ERROR_SUCCESS);
    EXPECT_EQ(set("*\\SHELL\\kelo\\COMMAND", "/p %1"), ERROR_SUCCESS);
    EXPECT_EQ(m_store.RegCloseKey(key), ERROR_SUCCESS);
    // A second window reads the same keys through its own store.
    KeyStore other(m_file);
    ASSERT_EQ(other.RegOpenKeyEx(HKEY_CLASSES_ROOT, "*\\Shell", 0, KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    QString value;
    EXPECT_EQ(other.RegQueryValue(key, "KELO\\Command", &value), ERROR_SUCCESS);
    EXPECT_EQ(value, "/p %1");
    EXPECT_EQ(other.snapshot()->findPath({"*", "shell", "kelo"})->name, "Kelo");
    EXPECT_EQ(m_store.RegDeleteKey(HKEY_CLASSES_ROOT, "*\\shell\\KELO"), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(m_store.errorString().contains("Unterschlüssel"));
    EXPECT_EQ(other.RegDeleteKey(key, "kelo\\Command"), ERROR_SUCCESS);
    EXPECT_EQ(m_store.RegDeleteKey(HKEY_CLASSES_ROOT, "*\\shell\\kelo\\command"),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(m_store.RegDeleteKey(HKEY_CLASSES_ROOT, "*\\shell\\kelo"), ERROR_SUCCESS);
    EXPECT_EQ(valueAt("*\\shell"), "");
    EXPECT_EQ(valueAt("*\\shell\\kelo"), "<missing>");
}

// Names and values come back from the file to another window as they were set, however odd.
TEST(KeyStoreFile, OddTextComesBackAsItWasSet)
{
    for (const char16_t *odd : {u"\uFEFFtxt", u"a\uFEFF", u"\uFEFF", u"\u00E4\U0001F600\uF7E4",
                                u"\"q\" \n\r\t\x01\x1F\x7F /", u"x\uFFFF\uFFFD"}) {
        // QString::fromUtf16 would take a U+FEFF at the start for a byte-order mark.
        const QString text = QStringView(odd).toString();
        SCOPED_TRACE(text.toStdString());
        QTemporaryDir dir;
        const QString file = KeyStore::fileIn(dir.path());
        KeyStore store(file);
        ASSERT_EQ(store.RegSetValue(HKEY_CLASSES_ROOT, text + "\\shell", REG_SZ, text),
                  ERROR_SUCCESS);
        // The same name without its first character: the two must stay apart.
        ASSERT_EQ(store.RegSetValue(HKEY_CLASSES_ROOT, text.mid(1) + "x", REG_SZ, "other"),
                  ERROR_SUCCESS);
        const std::optional<RegKey> root = KeyStore(file).snapshot();
        ASSERT_TRUE(root && root->subkeys.size() == 2) << readBytes(file).toStdString();
        EXPECT_EQ(root->subkeys.at(0).name, text);
        EXPECT_EQ(root->subkeys.at(0).subkeys.value(0).value, text);
    }
}

// A damaged file reads as empty, is not overwritten by a read and is kept aside by a write.
TEST(KeyStoreFile, ADamagedFileReadsAsEmptyAndIsKeptAsideByTheNextWrite)
{
    for (const QByteArray &damaged :
         {QByteArray(R"({"kelo-keystore": 1, "keys": [)"), QByteArray("\x00\xff", 2),
          QByteArray("[]"), QByteArray(R"({"kelo-keystore": 2, "keys": []})"),
          QByteArray(R"({"kelo-keystore": 1, "keys": [{"name": "a\\b"}]})"),
          QByteArray(R"({"kelo-keystore": 1, "keys": [{"name": ""}]})"),
          QByteArray(R"({"kelo-keystore": 1, "keys": [{"name": "a", "value": 1}]})"),
          QByteArray(R"({"kelo-keystore": 1, "keys": [{"name": "A"}, {"name": "a"}]})")}) {
        SCOPED_TRACE(damaged.toStdString());
        QTemporaryDir dir;
        const QString file = KeyStore::fileIn(dir.path());
        QDir().mkpath(QFileInfo(file).path());
        writeBytes(file, damaged);
        KeyStore store(file);
        EXPECT_TRUE(store.snapshot()->subkeys.isEmpty());
        HKEY key = 0;
        EXPECT_EQ(store.RegOpenKeyEx(HKEY_CLASSES_ROOT, "a", 0, 0, &key), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(store.RegDeleteKey(HKEY_CLASSES_ROOT, "a"), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(readBytes(file), damaged) << "overwritten before a write";
        ASSERT_EQ(store.RegSetValue(HKEY_CLASSES_ROOT, "b", REG_SZ, "v"), ERROR_SUCCESS);
        EXPECT_EQ(readBytes(file + ".damaged"), damaged);
        EXPECT_EQ(KeyStore(file).snapshot()->subkeys.value(0).value, "v");
    }
}

// A folder that cannot be made or a file that cannot be read fails, named, and changes nothing.
TEST_F(KeyStoreTest, UnwritableOrUnreadablePlacesFailAndChangeNothing)
{
    // The store's folder is taken by a file (holds for root as well).
    writeBytes(QFileInfo(m_file).path(), "in the way");
    HKEY key = 0;
    EXPECT_EQ(m_store.RegCreateKey(HKEY_CLASSES_ROOT, "a", &key), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(m_store.errorString().contains(QDir::toNativeSeparators(QFileInfo(m_file).path())));
    EXPECT_EQ(readBytes(QFileInfo(m_file).path()), QByteArray("in the way"));

    // The store's file is a folder: it can be neither read nor replaced.
    const QString other = KeyStore::fileIn(m_dir.filePath("second"));
    QDir().mkpath(other);
    KeyStore unreadable(other);
    EXPECT_EQ(unreadable.RegSetValue(HKEY_CLASSES_ROOT, "a", REG_SZ, QString()), ERROR_CANTREAD);
    EXPECT_EQ(unreadable.RegOpenKeyEx(HKEY_CLASSES_ROOT, "a", 0, 0, &key), ERROR_CANTREAD);
    EXPECT_FALSE(unreadable.snapshot().has_value());
    EXPECT_TRUE(QFileInfo(other).isDir());
}

// Another window's lock holds a change back (with a message) but not a read;
// two windows writing at once lose nothing.
TEST_F(KeyStoreTest, WindowsShareTheFileUnderALock)
{
    ASSERT_EQ(set("a", "v"), ERROR_SUCCESS);
    QLockFile otherWindow(m_file + ".lock");
    ASSERT_TRUE(otherWindow.lock());
    EXPECT_EQ(set("a", "w"), ERROR_BUSY);
    EXPECT_TRUE(m_store.errorString().contains("anderen Kelo-Fenster"));
    EXPECT_EQ(valueAt("a"), "v");
    otherWindow.unlock();

    const auto window = [this](const QString &prefix) {
        KeyStore store(m_file, 30000);
        for (int i = 0; i < 25; ++i)
            store.RegSetValue(HKEY_CLASSES_ROOT, prefix + QString::number(i), REG_SZ, prefix);
    };
    std::thread first(window, "first");
    std::thread second(window, "second");
    first.join();
    second.join();
    EXPECT_EQ(m_store.snapshot()->subkeys.size(), 51);
    EXPECT_TRUE(QJsonDocument::fromJson(readBytes(m_file)).isObject());
}

} // namespace
} // namespace kelo::test
