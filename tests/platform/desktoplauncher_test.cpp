// The desktop launcher: which terminal is started, ShellExec's address
// handling. The browser itself is never started by a test.
#include "platform/desktoplauncher.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo {
namespace {

TEST(TerminalCandidates, OwnChoiceWithArgumentsComesFirstThenTheKnownTerminals)
{
    const QList<QStringList> own =
        terminalCandidates(QStringLiteral("\"/opt/my term/run\" --single-instance"));
    ASSERT_GE(own.size(), 2);
    EXPECT_EQ(own.first(), (QStringList{QStringLiteral("/opt/my term/run"),
                                        QStringLiteral("--single-instance")}));
    EXPECT_EQ(own.at(1), QStringList{QStringLiteral("x-terminal-emulator")});

    const QList<QStringList> none = terminalCandidates(QStringLiteral("  "));
    QStringList names;
    for (const QStringList &command : none)
        names.append(command.join(u' '));
    EXPECT_EQ(names, (QStringList{QStringLiteral("x-terminal-emulator"),
                                  QStringLiteral("gnome-terminal"), QStringLiteral("konsole"),
                                  QStringLiteral("xfce4-terminal"), QStringLiteral("xterm")}));
}

// A folder of fake terminals: each is a script that writes its name and
// arguments into a file when started.
class Terminals : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString makeTerminal(const QString &name)
    {
        const QString path = QDir(m_dir.path()).filePath(name);
        const QString marker = startedFile();
        test::writeBytes(path, "#!/bin/sh\necho \"${0##*/} $*\" > '" + marker.toUtf8() + "'\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    QString startedFile() const { return QDir(m_dir.path()).filePath(QStringLiteral("started")); }

    // The line the started terminal wrote, or "" when none started in time.
    QString started() const
    {
        const QString marker = startedFile();
        static_cast<void>(QTest::qWaitFor([&] { return QFileInfo(marker).size() > 0; }, 10000));
        return QString::fromUtf8(test::readBytes(marker)).trimmed();
    }

    QProcessEnvironment environment(const QString &terminal) const
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), m_dir.path());
        if (!terminal.isNull())
            env.insert(QStringLiteral("TERMINAL"), terminal);
        return env;
    }

    QTemporaryDir m_dir;
};

TEST_F(Terminals, TheUsersOwnTerminalWinsWithItsArguments)
{
    makeTerminal(QStringLiteral("xterm"));
    const QString own = makeTerminal(QStringLiteral("mein-terminal"));
    SystemDesktopLauncher launcher(environment(own + QStringLiteral(" -e bash")));
    ASSERT_TRUE(launcher.startTerminal());
    EXPECT_EQ(started(), QStringLiteral("mein-terminal -e bash"));
}

TEST_F(Terminals, WithoutAChoiceTheFirstKnownTerminalOnThePathStarts)
{
    makeTerminal(QStringLiteral("xterm"));
    makeTerminal(QStringLiteral("konsole"));
    // A $TERMINAL that does not exist falls through to the known ones.
    SystemDesktopLauncher launcher(environment(QStringLiteral("/nirgends/term")));
    ASSERT_TRUE(launcher.startTerminal());
    EXPECT_EQ(started(), QStringLiteral("konsole"));
}

TEST_F(Terminals, NoTerminalAnywhereIsReported)
{
    // Not executable: found by name, but it cannot be a terminal.
    test::writeBytes(QDir(m_dir.path()).filePath(QStringLiteral("xterm")), "#!/bin/sh\n");
    SystemDesktopLauncher launcher(environment(QString()));
    EXPECT_FALSE(launcher.startTerminal());
}

class RecordingLauncher final : public DesktopLauncher {
public:
    bool openUrl(const QUrl &url) override
    {
        urls.append(url);
        return answer;
    }
    bool startTerminal() override { return answer; }
    QList<QUrl> urls;
    bool answer = true;
};

TEST(ShellExecTest, WebAddressesAndPathsAreHandedOverAsTheyAreMeant)
{
    RecordingLauncher launcher;
    EXPECT_TRUE(ShellExec(launcher, QStringLiteral("https://kelo.example.org/download/"), 1,
                          QStringLiteral("open")));
    EXPECT_TRUE(
        ShellExec(launcher, QStringLiteral("/tmp/eine Datei.txt"), 1, QStringLiteral("open")));
    ASSERT_EQ(launcher.urls.size(), 2);
    EXPECT_EQ(launcher.urls.at(0), QUrl(QStringLiteral("https://kelo.example.org/download/")));
    EXPECT_EQ(launcher.urls.at(1), QUrl::fromLocalFile(QStringLiteral("/tmp/eine Datei.txt")));

    // The launcher's answer is the result; nothing else is asked of it.
    launcher.answer = false;
    EXPECT_FALSE(
        ShellExec(launcher, QStringLiteral("https://www.example.org/"), 1, QStringLiteral("open")));
    EXPECT_FALSE(ShellExec(launcher, QStringLiteral("https://www.example.org/"), 1,
                           QStringLiteral("print")));
    EXPECT_FALSE(ShellExec(launcher, QString(), 1, QStringLiteral("open")));
    EXPECT_EQ(launcher.urls.size(), 3);
}

} // namespace
} // namespace kelo
