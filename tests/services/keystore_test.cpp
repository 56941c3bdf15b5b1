// The key store: names without case, create with parents, delete only
// without subkeys, handles, the file shared by two windows, damaged and
// unwritable files.
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
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QTemporaryDir m_dir;
    QString m_file = KeyStore::fileIn(m_dir.path());
};

QString valueAt(KeyStore &store, const QString &path)
{
    QString value = QStringLiteral("<missing>");
    store.RegQueryValue(HKEY_CLASSES_ROOT, path, &value);
    return value;
}

TEST_F(KeyStoreTest, NamesMatchWithoutCaseAndKeepTheirFirstSpelling)
{
    KeyStore store(m_file);
    HKEY key = 0;
    ASSERT_EQ(
        store.RegCreateKey(HKEY_CLASSES_ROOT, QStringLiteral("*\\shell\\Kelo\\command"), &key),
        ERROR_SUCCESS);
    EXPECT_EQ(store.RegSetValue(HKEY_CLASSES_ROOT, QStringLiteral("*\\SHELL\\kelo\\COMMAND"),
                                REG_SZ, QStringLiteral("/p %1")),
              ERROR_SUCCESS);
    EXPECT_EQ(store.RegCloseKey(key), ERROR_SUCCESS);

    // A second window reads the same keys through its own store.
    KeyStore other(m_file);
    HKEY shell = 0;
    ASSERT_EQ(
        other.RegOpenKeyEx(HKEY_CLASSES_ROOT, QStringLiteral("*\\Shell"), 0, KEY_SET_VALUE, &shell),
        ERROR_SUCCESS);
    QString value;
    EXPECT_EQ(other.RegQueryValue(shell, QStringLiteral("KELO\\Command"), &value), ERROR_SUCCESS);
    EXPECT_EQ(value, QStringLiteral("/p %1"));

    const RegKey root = *other.snapshot();
    ASSERT_EQ(root.subkeys.size(), 1);
    const RegKey &verb = root.subkeys[0].subkeys[0].subkeys[0];
    EXPECT_EQ(root.subkeys[0].subkeys[0].name, QStringLiteral("shell"));
    EXPECT_EQ(verb.name, QStringLiteral("Kelo"));
    ASSERT_EQ(verb.subkeys.size(), 1);
    EXPECT_EQ(verb.subkeys[0].name, QStringLiteral("command"));
}

TEST_F(KeyStoreTest, DeletesOnlyKeysWithoutSubkeys)
{
    KeyStore store(m_file);
    ASSERT_EQ(store.RegSetValue(HKEY_CLASSES_ROOT, QStringLiteral("a\\b"), REG_SZ, QString()),
              ERROR_SUCCESS);
    EXPECT_EQ(store.RegDeleteKey(HKEY_CLASSES_ROOT, QStringLiteral("A")), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(store.errorString().contains(QStringLiteral("Unterschlüssel")));
    EXPECT_EQ(valueAt(store, QStringLiteral("a\\b")), QString());

    EXPECT_EQ(store.RegDeleteKey(HKEY_CLASSES_ROOT, QStringLiteral("A\\B")), ERROR_SUCCESS);
    EXPECT_EQ(store.RegDeleteKey(HKEY_CLASSES_ROOT, QStringLiteral("a\\b")), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(store.RegDeleteKey(HKEY_CLASSES_ROOT, QStringLiteral("a")), ERROR_SUCCESS);
    EXPECT_TRUE(store.snapshot()->subkeys.isEmpty());
}

TEST_F(KeyStoreTest, HandlesFollowTheirKeys)
{
    KeyStore store(m_file);
    HKEY key = 0;
    ASSERT_EQ(store.RegCreateKey(HKEY_CLASSES_ROOT, QStringLiteral("x"), &key), ERROR_SUCCESS);
    EXPECT_EQ(store.RegSetValueEx(key, QStringLiteral("named"), 0, REG_SZ, QStringLiteral("v")),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(store.RegSetValueEx(key, QString(), 0, 4, QStringLiteral("v")),
              ERROR_INVALID_PARAMETER);
    ASSERT_EQ(store.RegSetValueEx(key, QString(), 0, REG_SZ, QStringLiteral("v")), ERROR_SUCCESS);
    EXPECT_EQ(valueAt(store, QStringLiteral("X")), QStringLiteral("v"));

    ASSERT_EQ(store.RegDeleteKey(HKEY_CLASSES_ROOT, QStringLiteral("x")), ERROR_SUCCESS);
    EXPECT_EQ(store.RegSetValueEx(key, QString(), 0, REG_SZ, QStringLiteral("w")),
              ERROR_KEY_DELETED);
    EXPECT_EQ(store.RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(store.RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(store.RegDeleteKey(key, QStringLiteral("y")), ERROR_INVALID_HANDLE);
}

class KeyPathTest : public KeyStoreTest, public ::testing::WithParamInterface<QString> {};

TEST_P(KeyPathTest, EmptyOrOverlongNamesAreRefused)
{
    KeyStore store(m_file);
    HKEY key = 0;
    EXPECT_EQ(store.RegCreateKey(HKEY_CLASSES_ROOT, GetParam(), &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(store.RegSetValue(HKEY_CLASSES_ROOT, GetParam(), REG_SZ, QString()),
              ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(QFile::exists(m_file));
}

INSTANTIATE_TEST_SUITE_P(Paths, KeyPathTest,
                         ::testing::Values(QStringLiteral("\\a"), QStringLiteral("a\\"),
                                           QStringLiteral("a\\\\b"), QString(256, u'n'),
                                           QStringLiteral("a\\") + QString(256, u'n')));

TEST_F(KeyStoreTest, TheLongestNameIsAccepted)
{
    KeyStore store(m_file);
    EXPECT_EQ(store.RegSetValue(HKEY_CLASSES_ROOT, QString(255, u'n'), REG_SZ, QStringLiteral("v")),
              ERROR_SUCCESS);
}

class DamagedFileTest : public KeyStoreTest, public ::testing::WithParamInterface<QByteArray> {};

TEST_P(DamagedFileTest, ReadsAsEmptyAndIsKeptAsideByTheNextWrite)
{
    QDir().mkpath(QFileInfo(m_file).path());
    writeBytes(m_file, GetParam());
    KeyStore store(m_file);
    EXPECT_TRUE(store.snapshot()->subkeys.isEmpty());
    HKEY key = 0;
    EXPECT_EQ(store.RegOpenKeyEx(HKEY_CLASSES_ROOT, QStringLiteral("a"), 0, KEY_SET_VALUE, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(store.RegDeleteKey(HKEY_CLASSES_ROOT, QStringLiteral("a")), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(readBytes(m_file), GetParam()) << "overwritten before a write";

    ASSERT_EQ(
        store.RegSetValue(HKEY_CLASSES_ROOT, QStringLiteral("b"), REG_SZ, QStringLiteral("v")),
        ERROR_SUCCESS);
    EXPECT_EQ(readBytes(m_file + QStringLiteral(".damaged")), GetParam());
    EXPECT_EQ(valueAt(store, QStringLiteral("b")), QStringLiteral("v"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedFileTest,
    ::testing::Values(
        QByteArray("{\"kelo-keystore\": 1, \"keys\": ["), QByteArray("\x00\xff", 2),
        QByteArray("[]"), QByteArray("{\"kelo-keystore\": 2, \"keys\": []}"),
        QByteArray("{\"kelo-keystore\": 1, \"keys\": [{\"name\": \"a\\\\b\"}]}"),
        QByteArray("{\"kelo-keystore\": 1, \"keys\": [{\"name\": \"\"}]}"),
        QByteArray("{\"kelo-keystore\": 1, \"keys\": [{\"name\": \"a\", \"value\": 1}]}"),
        QByteArray("{\"kelo-keystore\": 1, \"keys\": [{\"name\": \"A\"}, "
                   "{\"name\": \"a\"}]}")));

TEST_F(KeyStoreTest, UnwritableOrUnreadablePlacesFailAndChangeNothing)
{
    // The store's folder is taken by a file (holds for root as well).
    writeBytes(QFileInfo(m_file).path(), "in the way");
    KeyStore blocked(m_file);
    HKEY key = 0;
    EXPECT_EQ(blocked.RegCreateKey(HKEY_CLASSES_ROOT, QStringLiteral("a"), &key),
              ERROR_ACCESS_DENIED);
    EXPECT_TRUE(blocked.errorString().contains(QDir::toNativeSeparators(QFileInfo(m_file).path())));
    EXPECT_EQ(readBytes(QFileInfo(m_file).path()), QByteArray("in the way"));

    // The store's file is a folder: it can be neither read nor replaced.
    const QString other = KeyStore::fileIn(m_dir.filePath(QStringLiteral("second")));
    QDir().mkpath(other);
    KeyStore unreadable(other);
    EXPECT_EQ(unreadable.RegSetValue(HKEY_CLASSES_ROOT, QStringLiteral("a"), REG_SZ, QString()),
              ERROR_CANTREAD);
    EXPECT_EQ(unreadable.RegOpenKeyEx(HKEY_CLASSES_ROOT, QStringLiteral("a"), 0, 0, &key),
              ERROR_CANTREAD);
    EXPECT_FALSE(unreadable.snapshot().has_value());
    EXPECT_TRUE(QFileInfo(other).isDir());
}

TEST_F(KeyStoreTest, AnotherWindowsLockHoldsChangesBackButNotReads)
{
    KeyStore store(m_file, 50);
    ASSERT_EQ(
        store.RegSetValue(HKEY_CLASSES_ROOT, QStringLiteral("a"), REG_SZ, QStringLiteral("v")),
        ERROR_SUCCESS);
    QLockFile otherWindow(m_file + QStringLiteral(".lock"));
    ASSERT_TRUE(otherWindow.lock());

    EXPECT_EQ(
        store.RegSetValue(HKEY_CLASSES_ROOT, QStringLiteral("a"), REG_SZ, QStringLiteral("w")),
        ERROR_BUSY);
    EXPECT_TRUE(store.errorString().contains(QStringLiteral("anderen Kelo-Fenster")));
    // Setting what is there already writes nothing and needs no lock.
    EXPECT_EQ(
        store.RegSetValue(HKEY_CLASSES_ROOT, QStringLiteral("A"), REG_SZ, QStringLiteral("v")),
        ERROR_SUCCESS);
    EXPECT_EQ(valueAt(store, QStringLiteral("a")), QStringLiteral("v"));

    otherWindow.unlock();
    EXPECT_EQ(
        store.RegSetValue(HKEY_CLASSES_ROOT, QStringLiteral("a"), REG_SZ, QStringLiteral("w")),
        ERROR_SUCCESS);
}

TEST_F(KeyStoreTest, TwoWindowsWritingAtOnceLoseNothing)
{
    constexpr int perWindow = 25;
    const auto window = [this](const QString &prefix) {
        KeyStore store(m_file, 30000);
        for (int i = 0; i < perWindow; ++i)
            store.RegSetValue(HKEY_CLASSES_ROOT, prefix + QString::number(i), REG_SZ, prefix);
    };
    std::thread first(window, QStringLiteral("first"));
    std::thread second(window, QStringLiteral("second"));
    first.join();
    second.join();

    KeyStore store(m_file);
    EXPECT_EQ(store.snapshot()->subkeys.size(), 2 * perWindow);
    EXPECT_TRUE(QJsonDocument::fromJson(readBytes(m_file)).isObject());
}

} // namespace
} // namespace kelo::test
