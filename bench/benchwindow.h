// A main window for benchmarks, on throw-away settings in a given folder,
// with answered message boxes and the real (never used) browser and printer.
#pragma once

#include "platform/desktoplauncher.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/textprinter.h"
#include "shell/form1.h"

#include <QDir>
#include <QString>

#include <memory>

namespace kelo::bench {

struct BenchWindow {
    SettingsStore settings;
    ScriptedMessageBoxes messages;
    SystemDesktopLauncher launcher;
    DefaultPrinter printer;
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
        context.volumes = std::move(volumes);
        form = std::make_unique<Form1>(std::move(context));
        form->Form_Load();
        return *form;
    }
};

} // namespace kelo::bench
