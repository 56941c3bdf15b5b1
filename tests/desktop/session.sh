# What the desktop runners share: ending as skipped when a tool is missing,
# and a private folder with one server process in the background, both gone
# when the runner ends. Sourced, not run.

# Ends the runner with 77 (ctest's "skipped"), saying what to install.
skip() {
    echo "SKIPPED: $1 is not installed (scripts/setup.sh installs it)"
    exit 77
}

# Makes the private folder (mode 700) in $work; the server's process id goes
# into $server once it is started.
work=
server=
private_folder() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/kelo-$1-XXXXXX")
    chmod 700 "$work"
    trap end_session EXIT
}

end_session() {
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    rm -rf "$work"
}
