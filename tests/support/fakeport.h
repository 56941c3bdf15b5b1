// A stand-in for the main window, as the features see it: a real editor in a
// plain window, answered message boxes, a settings file and a program folder
// of its own, and a record of what the feature did to the window. A feature
// test links only its own layer and this, so it needs no Form1.
#pragma once

#include "platform/filenames.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "platform/windowport.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace kelo::test {

class FakePort final : public WindowPort {
public:
    FakePort();

    QWidget &window() override { return m_window; }
    TextBox &editor() override { return *m_editor; }
    MessageBoxes &messages() override { return boxes; }
    SettingsStore &settings() override { return *m_settings; }
    QString programFolder() const override { return m_programFolder; }
    // The status line shows names that are not UTF-8 readably, as the
    // window's does.
    void setStatus(const QString &text) override { statusLine = displayFileName(text); }
    // Counted; the colours stay, the caret goes to the start as the
    // window's refresh puts it.
    void refreshText() override;
    QString currentFile() const override { return file; }
    void setCurrentFile(const QString &path) override { file = path; }
    TextFormat textFormat() const override { return format; }
    void setTextFormat(const TextFormat &newFormat) override { format = newFormat; }
    KnownFile knownFile() const override { return known; }
    void setKnownFile(const KnownFile &newKnown) override { known = newKnown; }
    void exitProgram() override { ++exits; }
    std::unique_ptr<WorkProgress> startWork(const QString &what) override
    {
        return work ? work(what) : nullptr;
    }

    // A file in the port's own work folder with the given bytes.
    QString makeFile(const QString &name, const QByteArray &bytes);
    // Loads a file into the editor as the window does: text, form, identity.
    void load(const QString &path);
    // Shows the window, as a started Kelo is shown, and waits until it is.
    void show();
    // Runs the program from another folder (an installed Kelo's, say); by
    // default it runs from a folder of the port's own.
    void setProgramFolder(const QString &folder) { m_programFolder = folder; }
    QString workFolder() const { return m_root.filePath(QStringLiteral("work")); }
    QString settingsFile() const { return m_root.filePath(QStringLiteral("Kelo.conf")); }
    // A setting read back through a fresh store: what is on disk, not what
    // the port's store has cached ("<missing>" when it is not there).
    QString storedSetting(const QString &key) const;

    ScriptedMessageBoxes boxes;
    QString statusLine;
    QString file;
    TextFormat format;
    KnownFile known;
    int refreshes = 0;
    int exits = 0;
    // The progress a long tool run gets (none when unset).
    std::function<std::unique_ptr<WorkProgress>(const QString &what)> work;

private:
    QTemporaryDir m_root;
    QString m_programFolder;
    // Outlives the window and all in it, as the program's settings do.
    std::unique_ptr<SettingsStore> m_settings;
    QWidget m_window;
    TextBox *m_editor;
};

// A test beside a stand-in window, with the names the feature tests use.
class PortTest : public ::testing::Test {
protected:
    TextBox &editor() { return m_port.editor(); }

    FakePort m_port;
    ScriptedMessageBoxes &m_messages = m_port.boxes;
    const QString m_programFolder = m_port.programFolder();
    const QString m_work = m_port.workFolder();
};

} // namespace kelo::test
