#!/usr/bin/env bash
# Runs a command as a client of a private, headless Weston: natively on
# Wayland, or on Weston's XWayland.
#   weston.sh wayland|xwayland COMMAND [ARGUMENTS...]
# The command finds the compositor in WAYLAND_DISPLAY or DISPLAY, the platform
# chosen in QT_QPA_PLATFORM and in KELO_EXPECTED_PLATFORM. Ends with 77
# (ctest's "skipped") when a tool for it is missing.
set -euo pipefail
mode=${1:?wayland or xwayland}
shift
. "$(dirname "${BASH_SOURCE[0]}")/session.sh"

command -v weston >/dev/null || skip "weston"
if [ "$mode" = xwayland ]; then
    command -v Xwayland >/dev/null || skip "Xwayland (package xwayland)"
fi

private_folder weston
runtime=$work

export XDG_RUNTIME_DIR=$runtime
socket=kelo-test
options=(--backend=headless-backend.so --socket="$socket" --idle-time=0 --log="$runtime/weston.log")
[ "$mode" = xwayland ] && options+=(--xwayland)
weston "${options[@]}" &
server=$!

# Ready when it listens on its socket (and, with XWayland, on its X display).
wait_for() {
    for _ in $(seq 400); do
        if eval "$1"; then return 0; fi
        if ! kill -0 "$server" 2>/dev/null; then break; fi
        sleep 0.05
    done
    echo "weston did not get ready ($2):" >&2
    cat "$runtime/weston.log" >&2 || true
    exit 1
}
wait_for '[ -S "$runtime/$socket" ]' "no socket $socket"

unset DISPLAY WAYLAND_DISPLAY
if [ "$mode" = xwayland ]; then
    wait_for 'grep -q "xserver listening on display" "$runtime/weston.log"' "no X display"
    DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$runtime/weston.log" | head -n 1)
    export DISPLAY QT_QPA_PLATFORM=xcb KELO_EXPECTED_PLATFORM=xcb
else
    # A full path: the test main gives its clients a runtime folder of its own.
    export WAYLAND_DISPLAY=$runtime/$socket QT_QPA_PLATFORM=wayland KELO_EXPECTED_PLATFORM=wayland
fi
# A failure that shows only now and then on a busy machine: the compositor's
# own account of it goes with the test's.
status=0
"$@" || status=$?
if [ "$status" -ne 0 ]; then
    echo "--- weston.log ---" >&2
    cat "$runtime/weston.log" >&2 || true
fi
exit "$status"
