// A main window on throw-away folders: its own settings file, program folder,
// answered message boxes and one fake volume, the temporary folder.
#pragma once

#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "shell/form1.h"
#include "support/fakeservices.h"

#include <QEvent>
#include <QListWidget>
#include <QPoint>
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
    QString m_recoveryFolder; // the window's recovery copies
    QString m_previousCurrent;
    std::unique_ptr<SettingsStore> m_settings;
    ScriptedMessageBoxes m_messages;
    RecordingLauncher m_launcher;
    RecordingPrinter m_printer;
    std::unique_ptr<Form1> m_window;
};

// The window beside names that are not UTF-8, which Qt's own file classes
// cannot reach: in the work folder a folder "Älteres" and in it a file
// "ärger.txt" (the bytes E4 72 67 65 72 2E 74 78 74) holding
// "Grüße" + CR LF in Windows-1252, both named in Latin-1.
class Latin1Fixture : public Form1Fixture {
protected:
    void SetUp() override;
    // Removes the folder by its bytes: QTemporaryDir cannot.
    void TearDown() override;

    QByteArray m_folderRaw; // the bytes of the folder's full path
    QByteArray m_fileRaw;   // and of the file's
    // How the window shows them.
    QString m_folderShown;
    QString m_fileShown;
};

// Item views only take a double click on the entry that was pressed.
void doubleClick(QListWidget &list, const QListWidgetItem *item);

// Sends a mouse event as Qt delivers it to the widget under the pointer (a
// movement the widget does not take goes on to its parent).
void sendMouse(QWidget *target, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons buttons);
// A movement to a point of the widget (its centre by default).
void moveMouse(QWidget *target, std::optional<QPoint> at = {},
               Qt::MouseButtons buttons = Qt::NoButton);

} // namespace kelo::test
