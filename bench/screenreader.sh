#!/usr/bin/env bash
# Keys and caret moves at the end of a large text while a screen reader
# listens: a stand-in listener for caret and text events runs on a private
# AT-SPI bus, then kelo_bigload types and moves there.
#   bench/screenreader.sh [BUILD] [MIB]        e.g. bench/screenreader.sh build/release 100
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build/release}
mib=${2:-100}
export QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
exec "$top/tests/desktop/xsession.sh" bash -c '
/usr/bin/python3 -c "
import pyatspi
pyatspi.Registry.registerEventListener(lambda event: None,
                                       \"object:text-caret-moved\", \"object:text-changed\")
pyatspi.Registry.start()
" &
listener=$!
sleep 3
"$1" screenreader "$2"
status=$?
kill $listener
exit $status
' screenreader "$(cd "$build" && pwd)/bench/kelo_bigload" "$mib"
