// A main window for benchmarks, on throw-away settings in a given folder,
// with answered message boxes, the real (never used) browser and printer, and
// a keyring in memory.
#pragma once

#include "platform/desktoplauncher.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/textprinter.h"
#include "shell/form1.h"
#include "support/fakeservices.h"

#include <QDir>
#include <QString>

#include <memory>

namespace kelo::bench {

struct BenchWindow {
    SettingsStore settings;
    ScriptedMessageBoxes messages;
    SystemDesktopLauncher launcher;
    DefaultPrinter printer;
    test::MemorySecretStore secrets;
    std::unique_ptr<Form1> form;

    // The settings can be preset before open() builds the window.
    explicit BenchWindow(const QString &folder)
        : settings(QDir(folder).filePath(QStringLiteral("Kelo.conf")))
    {}

    Form1 &open(const QString &folder, VolumeSource volumes = systemVolumes)
    {
        KeloContext context;
        context.programFolder = folder;
        context.programFile = QDir(folder).filePath(QStringLiteral("kelo"));
        context.settings = &settings;
        context.messages = &messages;
        context.launcher = &launcher;
        context.printer = &printer;
        context.secrets = &secrets;
        context.volumes = std::move(volumes);
        form = std::make_unique<Form1>(std::move(context));
        form->Form_Load();
        return *form;
    }
};

} // namespace kelo::bench
