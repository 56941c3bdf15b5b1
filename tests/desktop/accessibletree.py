#!/usr/bin/env python3
"""Starts Kelo and reads its accessible tree as a screen reader does, through
AT-SPI: every button, text field, list and check box that shows in the main
window, in both file panels, in the Search and Replace dialogs and in the
options panel must have a name. The panels and dialogs are opened by pressing Kelo's own buttons through
AT-SPI, the way a screen reader user does. Then Kelo opens a file, and its
editor is read, its caret moved and heard of, and typed into, in characters.

    accessibletree.py KELO   (on a display, with a session bus)
"""

import os
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

# The kinds of control a screen reader announces by name.
CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON,
    pyatspi.ROLE_TOGGLE_BUTTON,
    pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_COMBO_BOX,
    pyatspi.ROLE_TEXT,
    pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_PASSWORD_TEXT,
    pyatspi.ROLE_LIST,
    pyatspi.ROLE_LIST_BOX,
    pyatspi.ROLE_TABLE,
    pyatspi.ROLE_TREE,
    pyatspi.ROLE_TREE_TABLE,
}
# Their entries are the files and folders themselves, named by their text.
SKIP_INSIDE = {pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_TABLE,
               pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_COMBO_BOX}

TIMEOUT = 30.0  # generous: the test may share the machine with many others


class Failure(Exception):
    pass


def wait_for(what, probe):
    """Returns probe()'s first true answer; the tree changes as Kelo works."""
    deadline = time.monotonic() + TIMEOUT
    while True:
        try:
            found = probe()
        except Exception:  # a part of the tree went away while it was read
            found = None
        if found:
            return found
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.05)


def showing(acc):
    return acc.getState().contains(pyatspi.STATE_SHOWING)


def controls(acc):
    """The showing controls below acc, without the entries of lists."""
    found = []
    for child in acc:
        if child is None or not showing(child):
            continue
        role = child.getRole()
        if role in CONTROL_ROLES:
            found.append(child)
        if role not in SKIP_INSIDE:
            found.extend(controls(child))
    return found


def describe(acc):
    return "%s at %s" % (acc.getRoleName(),
                         acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS))


def kelo_application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def window(app, title):
    for frame in app:
        if frame is not None and frame.name == title and showing(frame):
            return frame
    return None


def named(root, role, name):
    for acc in controls(root):
        if acc.getRole() == role and acc.name == name:
            return acc
    return None


def press(root, name):
    button = named(root, pyatspi.ROLE_PUSH_BUTTON, name)
    if button is None:
        raise Failure('no button "%s"' % name)
    button.queryAction().doAction(0)


def check_names(where, root, must_show):
    """Every showing control has a name; must_show proves the right state."""
    found = controls(root)
    nameless = [describe(acc) for acc in found if not acc.name.strip()]
    if nameless:
        raise Failure("%s: controls without a name: %s" % (where, "; ".join(nameless)))
    names = {acc.name for acc in found}
    missing = [name for name in must_show if name not in names]
    if missing:
        raise Failure("%s: not found: %s" % (where, ", ".join(missing)))
    print("%s: %d controls, all named" % (where, len(found)))


def main():
    kelo = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory(prefix="kelo-atspi-") as home:
        runtime = os.path.join(home, "runtime")
        os.mkdir(runtime, 0o700)
        env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=runtime,
                   XDG_CONFIG_HOME=home + "/config", XDG_DATA_HOME=home + "/data",
                   XDG_STATE_HOME=home + "/state", XDG_CACHE_HOME=home + "/cache",
                   QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_ACCESSIBILITY="1")
        return run(kelo, home, env) or run_editor(kelo, home, env)


def expect(what, found, wanted):
    if found != wanted:
        raise Failure("%s: %r, not %r" % (what, found, wanted))


def caret_moves():
    """Collects the caret offsets the editor announces."""
    heard = []
    pyatspi.Registry.registerEventListener(
        lambda event: heard.append(event.detail1), "object:text-caret-moved")
    return heard


def heard(what, moves, offset):
    deadline = time.monotonic() + TIMEOUT
    context = GLib.MainContext.default()
    while offset not in moves:
        if time.monotonic() > deadline:
            raise Failure("%s: caret moves heard %r, not %d" % (what, moves, offset))
        context.iteration(False)
        time.sleep(0.01)


def run_editor(kelo, home, env):
    # Two bytes for each umlaut, four and two UTF-16 units for the emoji.
    path = os.path.join(home, "umlaute.txt")
    with open(path, "wb") as file:
        file.write("Grüße 😀\r\nzweite Zeile\r\n".encode("utf-8"))
    moves = caret_moves()
    return with_kelo([kelo, path], home, env, lambda process: check_editor(process, moves))


def check_editor(process, moves):
    app = wait_for("Kelo with a file on the accessibility bus",
                   lambda: kelo_application(process.pid))
    main_window = wait_for("the main window", lambda: window(app, "Kelo the Scriv"))
    editor = wait_for("the editor", lambda: named(main_window, pyatspi.ROLE_TEXT, "Editor"))
    text = editor.queryText()
    wait_for("the file's text", lambda: text.characterCount == 24)
    expect("the text", text.getText(0, -1), "Grüße 😀\r\nzweite Zeile\r\n")
    expect("the second line", text.getTextAtOffset(12, pyatspi.TEXT_BOUNDARY_LINE_START),
           ("zweite Zeile\r\n", 10, 24))
    text.setCaretOffset(17)
    heard("after setting the caret", moves, 17)
    expect("the caret", text.caretOffset, 17)
    editor.queryEditableText().insertText(17, "ß", 1)  # the length in characters
    wait_for("the typed letter", lambda: text.getText(10, 25) == "zweite ßZeile\r\n")
    print("editor: read, caret moved and heard, typed into")


def with_kelo(command, home, env, check):
    """Runs check(process) on Kelo started with the command; 0 when it held."""
    process = subprocess.Popen(command, cwd=home, env=env)
    try:
        check(process)
    except Failure as failure:
        print("FAILED: %s" % failure, file=sys.stderr)
        return 1
    except subprocess.TimeoutExpired:
        print("FAILED: Kelo did not end after EXIT", file=sys.stderr)
        return 1
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    return 0


def run(kelo, home, env):
    return with_kelo([kelo], home, env, check_tree)


def check_tree(process):
    app = wait_for("Kelo on the accessibility bus", lambda: kelo_application(process.pid))
    main_window = wait_for("the main window", lambda: window(app, "Kelo the Scriv"))
    wait_for("the bar's buttons", lambda: named(main_window, pyatspi.ROLE_PUSH_BUTTON, "EXIT"))
    check_names("main window", main_window,
                ["öffnen", "speichern als", "search", "replace", "Einstellen", "EXIT"])

    press(main_window, "öffnen")
    wait_for("the open panel", lambda: named(main_window, pyatspi.ROLE_LIST, "Dateien"))
    check_names("open panel", main_window, ["Dateien", "Ordner", "Filter"])

    press(main_window, "speichern als")
    wait_for("the save-as panel", lambda: named(main_window, pyatspi.ROLE_TEXT, "Dateiname"))
    check_names("save-as panel", main_window, ["Dateiname", "Ordner"])

    press(main_window, "search")
    search = wait_for("the Search dialog", lambda: window(app, "search"))
    wait_for("its text field", lambda: controls(search))
    check_names("Search dialog", search, ["Suchbegriff"])

    press(main_window, "replace")
    replace = wait_for("the Replace dialog", lambda: window(app, "Replace"))
    wait_for("its text fields", lambda: controls(replace))
    check_names("Replace dialog", replace,
                ["find: zu ersetzender Text", "replace: neuer Text"])

    press(main_window, "Einstellen")
    wait_for("the options panel", lambda: named(main_window, pyatspi.ROLE_TEXT, "Dateiendung"))
    check_names("options panel", main_window, ["Dateiendung", "QUIT"])

    # The empty text is left without a question.
    press(main_window, "EXIT")
    code = process.wait(timeout=TIMEOUT)
    if code != 0:
        raise Failure("Kelo ended with exit code %d" % code)


if __name__ == "__main__":
    sys.exit(main())
