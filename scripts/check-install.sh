#!/usr/bin/env bash
# Checks that Kelo installs like any desktop application, without touching
# this machine's system: builds the program (release preset), installs it into
# a temporary prefix and has the desktop's own tools judge the desktop entry,
# the AppStream metainfo and the manual pages; then builds the Debian package,
# lints it, unpacks it into a temporary folder and asks apt whether it would
# install here.
#   scripts/check-install.sh [extra cmake arguments...]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
"$top/scripts/setup.sh" release --target kelo --packaging "$@"

id=org.example.kelo.Kelo
stage=$(mktemp -d)
# Installing and packaging both write build/release/install_manifest.txt;
# the list of a real installation (README: Installing) is kept.
manifest=build/release/install_manifest.txt
[ ! -f "$manifest" ] || cp -p "$manifest" "$stage/manifest"
finish() {
    if [ -f "$stage/manifest" ]; then
        cp -p "$stage/manifest" "$manifest"
    else
        rm -f "$manifest"
    fi
    rm -rf "$stage"
}
trap finish EXIT
failed=0
fail() {
    echo "check-install: $*" >&2
    failed=1
}
die() {
    echo "check-install: $*" >&2
    exit 1
}
# Runs a checker that must say nothing at all: its output is a finding.
quiet() {
    local said
    if ! said=$("$@" 2>&1) || [ -n "$said" ]; then
        fail "$* reports:"
        printf '%s\n' "$said" >&2
    fi
}

expected=(
    bin/kelo
    "share/applications/$id.desktop"
    "share/metainfo/$id.metainfo.xml"
    "share/icons/hicolor/scalable/apps/$id.svg"
    "share/icons/hicolor/48x48/apps/$id.png"
    "share/icons/hicolor/128x128/apps/$id.png"
    share/man/man1/kelo.1.gz
    share/man/de/man1/kelo.1.gz
    share/doc/kelo/copyright
    share/doc/kelo/changelog.gz
)
# Every file where it belongs, and nothing else.
check_tree() {
    local root=$1 listed
    for file in "${expected[@]}"; do
        [ -f "$root/$file" ] || fail "missing: $root/$file"
    done
    listed=$(cd "$root" && find . -type f | sed 's|^\./||' | sort)
    if [ "$listed" != "$(printf '%s\n' "${expected[@]}" | sort)" ]; then
        fail "unexpected files in $root:"
        diff <(printf '%s\n' "${expected[@]}" | sort) <(printf '%s\n' "$listed") >&2 || true
    fi
}

echo "== cmake --install into a temporary prefix"
prefix=$stage/prefix
cmake --install build/release --prefix "$prefix" >/dev/null
check_tree "$prefix"
[ -x "$prefix/bin/kelo" ] || fail "bin/kelo is not executable"
quiet desktop-file-validate "$prefix/share/applications/$id.desktop"
# appstreamcli counts pedantic remarks (the id's capital letter) but passes
# them; errors, warnings and infos are findings.
said=$(appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" 2>&1) ||
    fail "appstreamcli validate failed"
if grep -E '^[EWI]:' <<<"$said" >&2; then
    fail "appstreamcli validate reports the above"
fi
said=$(appstreamcli validate-tree --no-net "$prefix" 2>&1) || {
    fail "appstreamcli validate-tree failed"
    printf '%s\n' "$said" >&2
}
for page in "$prefix/share/man/man1/kelo.1.gz" "$prefix/share/man/de/man1/kelo.1.gz"; do
    rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>"$stage/man.err") ||
        fail "man -l $page failed"
    [ ! -s "$stage/man.err" ] || {
        fail "man -l $page warns:"
        cat "$stage/man.err" >&2
    }
    grep -q 'kelo' <<<"$rendered" || fail "man -l $page shows no page"
    quiet mandoc -Tlint -W style "$page"
done
missing_libraries=$(ldd "$prefix/bin/kelo" | grep 'not found' || true)
[ -z "$missing_libraries" ] || fail "libraries not found: $missing_libraries"

echo "== the Debian package"
rm -f build/release/kelo_*.deb
cpack --preset release >/dev/null
debs=(build/release/kelo_*.deb)
[ -f "${debs[0]}" ] || die "cpack made no package"
deb=${debs[0]}
dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Section\|Maintainer\|Depends\):/ &/p'
# Lintian's errors and warnings fail; its remarks are shown. It warns when it
# runs as root, which CI does.
lintian --fail-on error,warning --info "$deb" 2> >(grep -v 'running with root privileges' >&2) ||
    fail "lintian found errors or warnings"
dpkg-deb -x "$deb" "$stage/deb"
check_tree "$stage/deb/usr"
[ -n "$(dpkg-deb --field "$deb" Depends)" ] || fail "the package names no dependencies"
# Whether its dependencies can be met here, without installing anything.
if ! apt-get install --simulate --no-install-recommends "./$deb" >"$stage/apt.out" 2>&1; then
    fail "apt-get would not install $deb:"
    cat "$stage/apt.out" >&2
fi

if ((failed)); then
    echo "check-install: FAILED" >&2
    exit 1
fi
echo "check-install: the installed files and the package $deb are in order"
