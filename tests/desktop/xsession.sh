#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb) and a private D-Bus session bus,
# so that it touches no display, bus or screen reader of the user's.
#   xsession.sh COMMAND [ARGUMENTS...]
# Ends with 77 (ctest's "skipped") when a tool for it is missing.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/session.sh"

command -v Xvfb >/dev/null || skip "Xvfb (package xvfb)"
command -v dbus-run-session >/dev/null || skip "dbus-run-session (package dbus)"
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "the AT-SPI bus (package at-spi2-core)"

private_folder xsession

# Xvfb picks a free display itself and writes its number once it listens.
# Without -noreset it starts afresh each time its last client leaves, and a
# client that connects just then (Kelo, after the AT-SPI bus launcher has
# looked at the display and gone) is turned away.
mkfifo "$work/display"
Xvfb -displayfd 3 -noreset -screen 0 ${KELO_XVFB_SCREEN:-1280x1024x24} -nolisten tcp \
    3>"$work/display" &
server=$!
if ! read -r -t 20 number <"$work/display"; then
    echo "Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$number"
unset WAYLAND_DISPLAY
dbus-run-session -- "$@"
