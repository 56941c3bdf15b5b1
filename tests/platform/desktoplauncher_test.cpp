// The desktop launcher: which terminal is started, what ShellExec hands over.
#include "platform/desktoplauncher.h"
#include "support/fakeservices.h"
#include "support/testenv.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo {
namespace {

// A PATH of fake terminals, scripts that write their name and arguments
// into a file when started.
class Terminals : public ::testing::Test {
protected:
    void makeTerminal(const QString &name, bool executable = true)
    {
        const QString path = m_dir.filePath(name);
        test::writeBytes(path, "#!/bin/sh\necho \"${0##*/} $*\" > '" + marker().toUtf8() + "'\n");
        if (executable)
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString marker() const { return m_dir.filePath(QStringLiteral("started")); }
    // Starts a terminal and gives the line it wrote ("" when none started in time).
    QString startWith(const QString &terminalVariable)
    {
        QFile::remove(marker());
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), m_dir.path());
        if (!terminalVariable.isNull())
            env.insert(QStringLiteral("TERMINAL"), terminalVariable);
        if (!SystemDesktopLauncher(env).startTerminal())
            return QStringLiteral("none");
        static_cast<void>(QTest::qWaitFor([&] { return QFileInfo(marker()).size() > 0; }, 10000));
        return QString::fromUtf8(test::readBytes(marker())).trimmed();
    }

    QTemporaryDir m_dir;
};

TEST_F(Terminals, TheUsersOwnTerminalThenTheFirstKnownOneOnThePath)
{
    makeTerminal(QStringLiteral("xterm"), false); // found by name, but no program
    EXPECT_EQ(startWith(QString()), QStringLiteral("none"));
    makeTerminal(QStringLiteral("xfce4-terminal"));
    makeTerminal(QStringLiteral("konsole"));
    EXPECT_EQ(startWith(QStringLiteral("/nirgends/term")), QStringLiteral("konsole"));
    makeTerminal(QStringLiteral("x-terminal-emulator"));
    makeTerminal(QStringLiteral("mein terminal"));
    EXPECT_EQ(startWith(QLatin1Char('"') + m_dir.filePath(QStringLiteral("mein terminal")) +
                        QStringLiteral("\" -e bash")),
              QStringLiteral("mein terminal -e bash"));
}

// A path becomes a file URL (blanks and all); only "open" is known, and an
// empty path is nothing to open.
TEST(ShellExecTest, PathsAreOpenedAsFilesAndFailuresReported)
{
    test::RecordingLauncher launcher;
    EXPECT_TRUE(
        ShellExec(launcher, QStringLiteral("/tmp/eine Datei.txt"), 1, QStringLiteral("open")));
    EXPECT_FALSE(ShellExec(launcher, QStringLiteral("/tmp/x"), 1, QStringLiteral("print")));
    EXPECT_FALSE(ShellExec(launcher, QString()));
    launcher.opens = false;
    EXPECT_FALSE(ShellExec(launcher, QStringLiteral("https://www.example.org/")));
    EXPECT_EQ(launcher.urls,
              (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/eine Datei.txt")),
                           QUrl(QStringLiteral("https://www.example.org/"))}));
}

} // namespace
} // namespace kelo
