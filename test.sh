#!/usr/bin/env bash
# Builds Kelo the Scriv (debug) and runs the whole test-suite through ctest.
# Extra arguments go to cmake's configure step (CI passes -DKELO_WERROR=ON).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$top/scripts/setup.sh" debug "$@"
cd "$top"
ctest --preset debug -j "$(nproc)"
