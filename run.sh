#!/usr/bin/env bash
# Builds Kelo the Scriv (release) and starts it, with an optional file to open:
#   ./run.sh [FILE]
# Only the program is built, not the tests and benchmarks (./test.sh builds
# those), so that the first start does not wait for them.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$top/scripts/setup.sh" release --target kelo >&2
exec "$top/build/release/kelo" "$@"
