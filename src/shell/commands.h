// The commands of the main window, one QAction each with its text, picture,
// shortcut and hint, attached to its button (whose designer name stays its
// object name) and connected to the feature that carries it out. This is the
// one place where buttons meet features: no feature connects to a button of
// the window, and no feature shows or hides another one's panel.
#pragma once

class QAction;

namespace kelo {

class Form1;

struct Commands {
    explicit Commands(Form1 &form);

    QAction *open;      // cmd_open, Ctrl+O
    QAction *save;      // img_save, Ctrl+S
    QAction *saveAs;    // Save_AS
    QAction *refresh;   // cmd_fresh
    QAction *copyAll;   // copy
    QAction *clear;     // img_clear
    QAction *search;    // search, Ctrl+F
    QAction *findNext;  // F3
    QAction *replace;   // cmd_replace, Ctrl+H
    QAction *cleanUp;   // cmdDelEmpty
    QAction *toEnglish; // cmd_DE2EN
    QAction *toGerman;  // cmd_EN2DE
    QAction *print;     // Print, Ctrl+P
    QAction *options;   // cmd_Einstell
    QAction *exit;      // EXIT
    QAction *about;     // Info1 and Info2
};

} // namespace kelo
