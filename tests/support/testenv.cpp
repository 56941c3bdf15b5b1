#include "support/testenv.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace kelo::test {

void pointHomeAt(const QString &folder)
{
    const QDir root(folder);
    const auto setDir = [&root](const char *variable, const QString &name) {
        root.mkpath(name);
        QFile::setPermissions(root.filePath(name),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(variable, QFile::encodeName(root.filePath(name)));
    };
    qputenv("HOME", QFile::encodeName(root.path()));
    setDir("XDG_CONFIG_HOME", QStringLiteral(".config"));
    setDir("XDG_DATA_HOME", QStringLiteral(".local/share"));
    setDir("XDG_CACHE_HOME", QStringLiteral(".cache"));
    setDir("XDG_STATE_HOME", QStringLiteral(".local/state"));
    setDir("XDG_RUNTIME_DIR", QStringLiteral("runtime"));
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return file.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

} // namespace kelo::test
