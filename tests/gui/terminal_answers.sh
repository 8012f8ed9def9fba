#!/usr/bin/env bash
# What tallowick answers on a terminal, where it may have no display: --version and --help
# on standard output without a window; started without a display, one line on standard
# error that sends the user to twk, and exit code 1 instead of Qt's abort.
# Usage: terminal_answers.sh PATH/TO/tallowick VERSION
set -uo pipefail

tallowick=$1
version=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tallowick-terminal-XXXXXX")
trap 'rm -rf "$work"' EXIT
# Nothing may be made in the real data folder if the program did start.
export HOME="$work/home" XDG_DATA_HOME="$work/data"
mkdir -p "$HOME"

failures=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}

# Runs tallowick with no display at all and the given extra environment and arguments;
# sets code, and leaves its output in out.txt and err.txt.
run_headless() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" \
        >"$work/out.txt" 2>"$work/err.txt"
    code=$?
}

run_headless "$tallowick" --version
check "--version exits 0" test "$code" = 0
check "--version names the program and version" \
    test "$(head -n 1 "$work/out.txt")" = "tallowick $version"
for library in 'Qt [0-9]+\.' 'libcurl [0-9]+\.' 'SQLite 3\.'; do
    check "--version has a line ^$library" grep -qE "^$library" "$work/out.txt"
done
check "--version says nothing on standard error" test ! -s "$work/err.txt"

run_headless "$tallowick" --help
check "--help exits 0" test "$code" = 0
check "--help shows the usage" grep -q '^Usage: tallowick' "$work/out.txt"

for platform in "" "QT_QPA_PLATFORM=xcb" "QT_QPA_PLATFORM=wayland"; do
    run_headless ${platform:+"$platform"} "$tallowick"
    check "without a display ${platform:-(no platform)}: exit code 1" test "$code" = 1
    check "one line on standard error" test "$(wc -l <"$work/err.txt")" = 1
    check "that asks for a graphical session and names twk" \
        grep -qE '^tallowick: needs a graphical session.*twk' "$work/err.txt"
    check "nothing on standard output" test ! -s "$work/out.txt"
done
check "and no database was made" test ! -e "$XDG_DATA_HOME/tallowick"

exit $((failures > 0))
