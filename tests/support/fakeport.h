// A stand-in for the main window, as the features see it: a real editor in a
// plain window, answered message boxes, a settings file and a program folder
// of its own, and a record of what the feature did to the window. A feature
// test links only its own layer and this, so it needs no Form1.
#pragma once

#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "platform/windowport.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

namespace kelo::test {

class FakePort final : public WindowPort {
public:
    FakePort();

    QWidget &window() override { return m_window; }
    TextBox &editor() override { return *m_editor; }
    MessageBoxes &messages() override { return boxes; }
    SettingsStore &settings() override { return *m_settings; }
    QString programFolder() const override { return m_programFolder; }
    void setStatus(const QString &text) override { statusLine = text; }
    void refreshText() override { ++refreshes; }
    QString currentFile() const override { return file; }
    void setCurrentFile(const QString &path) override { file = path; }
    TextFormat textFormat() const override { return format; }
    void setTextFormat(const TextFormat &newFormat) override { format = newFormat; }
    KnownFile knownFile() const override { return known; }
    void setKnownFile(const KnownFile &newKnown) override { known = newKnown; }
    void exitProgram() override { ++exits; }

    // A file in the port's own work folder with the given bytes.
    QString makeFile(const QString &name, const QByteArray &bytes);
    // Loads a file into the editor as the window does: text, form, identity.
    void load(const QString &path);
    QString workFolder() const { return m_root.filePath(QStringLiteral("work")); }
    QString settingsFile() const { return m_root.filePath(QStringLiteral("Kelo.conf")); }

    ScriptedMessageBoxes boxes;
    QString statusLine;
    QString file;
    TextFormat format;
    KnownFile known;
    int refreshes = 0;
    int exits = 0;

private:
    QTemporaryDir m_root;
    QString m_programFolder;
    QWidget m_window;
    TextBox *m_editor;
    std::unique_ptr<SettingsStore> m_settings;
};

} // namespace kelo::test
