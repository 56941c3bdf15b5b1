// A main window on throw-away folders: its own settings file, program folder,
// answered message boxes and one fake volume, the temporary folder.
#pragma once

#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "shell/form1.h"
#include "support/fakeservices.h"
#include "support/input.h"
#include "support/testenv.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace kelo::test {

class Form1Fixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the window with these command-line arguments and runs its start-up.
    Form1 &start(const QStringList &arguments = {});
    // The same, and shows the window.
    Form1 &startShown(const QStringList &arguments = {});
    // A file in the work folder with the given bytes; returns its path.
    QString makeFile(const QString &name, const QByteArray &bytes);
    // Closes the window the way the title bar does.
    void closeWindow();

    QString settingsPath() const;
    QString setting(const QString &key) const;
    void presetSetting(const QString &key, const QString &value);

    QTemporaryDir m_root;    // the fake volume
    QString m_work;          // a folder for the test's files
    QString m_programFolder; // where the "program" lives
    QString m_dataHome;      // the window's $XDG_DATA_HOME and $XDG_CONFIG_HOME
    QString m_configHome;
    QStringList m_dataDirs;   // the window's $XDG_DATA_DIRS: none unless a test installs Kelo
    QString m_recoveryFolder; // the window's recovery copies
    QString m_previousCurrent;
    std::unique_ptr<SettingsStore> m_settings;
    ScriptedMessageBoxes m_messages;
    RecordingLauncher m_launcher;
    RecordingPrinter m_printer;
    std::unique_ptr<Form1> m_window;
};

// The window beside names that are not UTF-8 (see Latin1Folder) in its work
// folder.
class Latin1Fixture : public Form1Fixture {
protected:
    void SetUp() override;
    void TearDown() override;

    std::optional<Latin1Folder> m_latin1;
    QByteArray m_folderRaw; // the bytes of the folder's full path
    QByteArray m_fileRaw;   // and of the file's
    QString m_fileShown;    // how the window shows the file
};

} // namespace kelo::test
