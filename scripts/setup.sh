#!/usr/bin/env bash
# Shared by run.sh, test.sh and check-install.sh: installs the Debian packages
# that are missing, then configures and builds one CMake preset (everything,
# or only the target given).
#   scripts/setup.sh PRESET [--target TARGET] [--packaging] [extra cmake arguments...]
# --packaging also installs the tools that build and check the Debian package.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
preset=${1:?preset name missing}
shift
target=()
packaging=false
while (($#)); do
    case $1 in
    --target)
        target=(--target "${2:?target name missing}")
        shift 2
        ;;
    --packaging)
        packaging=true
        shift
        ;;
    *) break ;;
    esac
done

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libqt6svg6 qt6-wayland libqscintilla2-qt6-dev libgumbo-dev qtkeychain-qt6-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-dejavu-core fonts-liberation2
    poppler-utils desktop-file-utils xdg-utils shared-mime-info libglib2.0-bin
    xvfb dbus at-spi2-core python3-pyatspi weston xwayland
)
if $packaging; then
    packages+=(dpkg-dev file lintian appstream mandoc man-db)
fi
# The fuzz targets need clang with libFuzzer and the sanitizers' runtimes.
if [ "$preset" = fuzz ]; then
    packages+=(clang lld libclang-rt-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing missing packages: ${missing[*]}"
    if [ "$(id -u)" -eq 0 ]; then
        sudo=()
    elif command -v sudo >/dev/null; then
        sudo=(sudo)
    else
        echo "Missing packages and no way to become root: ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    if ! "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; then
        "${sudo[@]}" apt-get update
        "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
    fi
fi

cd "$top"
cmake --preset "$preset" "$@"
cmake --build --preset "$preset" "${target[@]}"
