#include "support/fakeport.h"

#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {

FakePort::FakePort()
    : m_editor(new TextBox(&m_window))
{
    QDir root(m_root.path());
    root.mkpath(QStringLiteral("work"));
    root.mkpath(QStringLiteral("program"));
    m_programFolder = root.filePath(QStringLiteral("program"));
    m_settings = std::make_unique<SettingsStore>(settingsFile());
    m_window.resize(640, 480);
    m_editor->resize(600, 400);
}

QString FakePort::makeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = QDir(workFolder()).filePath(name);
    writeBytes(path, bytes);
    return path;
}

void FakePort::load(const QString &path)
{
    QFile input(path);
    EXPECT_TRUE(input.open(QIODevice::ReadOnly)) << path.toStdString();
    const DecodedText decoded = decodeText(input.readAll());
    m_editor->loadUtf8(decoded.utf8);
    format = decoded.format;
    file = path;
    rememberFile(path);
}

QString FakePort::storedSetting(const QString &key) const
{
    return SettingsStore(settingsFile()).read(key, QStringLiteral("<missing>"));
}

void FakePort::refreshText()
{
    ++refreshes;
    m_editor->setSelStart(0);
}

void FakePort::show()
{
    m_window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&m_window));
}

} // namespace kelo::test
