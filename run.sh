#!/usr/bin/env bash
# Builds Kelo the Scriv (release) and starts it, with an optional file to open:
#   ./run.sh [FILE]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$top/scripts/setup.sh" release >&2
exec "$top/build/release/kelo" "$@"
