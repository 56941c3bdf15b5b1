#include "support/form1fixture.h"

#include "support/testenv.h"

#include <QDir>
#include <QSettings>
#include <QTest>

namespace kelo::test {

void Form1Fixture::SetUp()
{
    ASSERT_TRUE(m_root.isValid());
    QDir root(m_root.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("work")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("program")));
    m_work = root.filePath(QStringLiteral("work"));
    m_programFolder = root.filePath(QStringLiteral("program"));
    m_dataHome = root.filePath(QStringLiteral("data"));
    m_configHome = root.filePath(QStringLiteral("config"));
    m_recoveryFolder = root.filePath(QStringLiteral("state/Kelo"));
    m_settings = std::make_unique<SettingsStore>(settingsPath());
    // The lists start in the current folder: make it one on the fake volume.
    m_previousCurrent = QDir::currentPath();
    QDir::setCurrent(m_work);
}

void Form1Fixture::TearDown()
{
    m_window.reset();
    QDir::setCurrent(m_previousCurrent);
}

Form1 &Form1Fixture::start(const QStringList &arguments)
{
    KeloContext context;
    context.programFolder = m_programFolder;
    context.programFile = m_programFolder + QStringLiteral("/kelo");
    context.arguments = arguments;
    context.dataHome = m_dataHome;
    context.configHome = m_configHome;
    context.dataDirs = m_dataDirs;
    context.recoveryFolder = m_recoveryFolder;
    context.settings = m_settings.get();
    context.messages = &m_messages;
    context.launcher = &m_launcher;
    context.printer = &m_printer;
    const QString volume = m_root.path();
    context.volumes = [volume] { return QList<Volume>{{volume, true}}; };
    m_window = std::make_unique<Form1>(std::move(context));
    m_window->Form_Load();
    return *m_window;
}

Form1 &Form1Fixture::startShown(const QStringList &arguments)
{
    Form1 &form = start(arguments);
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    return form;
}

QString Form1Fixture::makeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = QDir(m_work).filePath(name);
    writeBytes(path, bytes);
    return path;
}

void Form1Fixture::closeWindow()
{
    m_window->show();
    m_window->close();
}

QString Form1Fixture::settingsPath() const
{
    return QDir(m_root.path()).filePath(QStringLiteral("Kelo.conf"));
}

QString Form1Fixture::setting(const QString &key) const
{
    // Read back through a fresh store: what is on disk, not what is cached.
    return SettingsStore(settingsPath()).read(key, QStringLiteral("<missing>"));
}

void Form1Fixture::presetSetting(const QString &key, const QString &value)
{
    m_settings->write(key, value);
}

void Latin1Fixture::SetUp()
{
    Form1Fixture::SetUp();
    m_latin1.emplace(m_work);
    m_folderRaw = m_latin1->folderRaw;
    m_fileRaw = m_latin1->fileRaw;
    m_fileShown = m_latin1->fileShown;
}

void Latin1Fixture::TearDown()
{
    Form1Fixture::TearDown();
    m_latin1.reset();
}

} // namespace kelo::test
