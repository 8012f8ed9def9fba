#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR, as a package would, and runs the installed
# programs there with a home folder of their own.
#   installed_program.sh cli BUILD_DIR BINDIR DATADIR MANDIR
#       twk makes its database in the user's data folder (owner only, marker row),
#       a portable twk.db beside it still wins, and the installed files are valid.
#   installed_program.sh gui BUILD_DIR BINDIR DATADIR MANDIR
#       the installed tallowick starts under a virtual X server with the database it made
#       in the user's data folder, and shows its main window.
# BINDIR, DATADIR and MANDIR are the absolute install folders (prefix included).
set -euo pipefail

mode=$1
build=$2
bindir=$3
datadir=$4
mandir=$5
work=$(mktemp -d "${TMPDIR:-/tmp}/tallowick-install-XXXXXX")
trap 'rm -rf "$work"' EXIT

status=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAIL: $what"
        status=1
    fi
}
mode_of() { stat -c %a "$1"; }
marker_of() { sqlite3 "$1" "SELECT [value] FROM [option] WHERE [profile_id]=0 AND [option]=0"; }

DESTDIR="$work/root" cmake --install "$build" >"$work/install.log" ||
    { cat "$work/install.log"; exit 1; }
root="$work/root"
twk="$root$bindir/twk"
export HOME="$work/home"
mkdir -p "$HOME"
unset XDG_DATA_HOME

if [ "$mode" = cli ]; then
    # The XDG folder from the environment, and its default below HOME.
    export XDG_DATA_HOME="$work/data"
    db="$XDG_DATA_HOME/tallowick/twk.db"
    "$twk" profiles >"$work/out.txt" 2>"$work/err.txt" || status=1
    check "twk profiles makes $db" test -f "$db"
    check "the database is 0600" test "$(mode_of "$db" 2>/dev/null)" = 600
    check "its folder is 0700" test "$(mode_of "$(dirname "$db")" 2>/dev/null)" = 700
    check "it has the marker row" test "$(marker_of "$db" 2>/dev/null)" = 1
    check "twk says it made it" grep -q "created a new database at $db" "$work/err.txt"
    check "twk help names it" grep -qF "  $db" <("$twk" help)
    "$twk" add-profile Installed >/dev/null
    check "the next run uses the same file" grep -q Installed <("$twk" profiles)

    chmod 644 "$db"
    "$twk" profiles >/dev/null 2>"$work/err.txt"
    check "a database others can read gets a warning with the fix" \
        grep -qF "chmod 600 '$db'" "$work/err.txt"
    chmod 600 "$db"

    unset XDG_DATA_HOME
    "$twk" profiles >/dev/null 2>&1
    check "without XDG_DATA_HOME: ~/.local/share/tallowick/twk.db" \
        test -f "$HOME/.local/share/tallowick/twk.db"

    # A file that is there but is no Tallowick database is refused, not replaced.
    export XDG_DATA_HOME="$work/foreign"
    mkdir -p "$XDG_DATA_HOME/tallowick"
    echo "not a database" >"$XDG_DATA_HOME/tallowick/twk.db"
    code=0
    "$twk" profiles >/dev/null 2>"$work/err.txt" || code=$?
    check "a foreign file is refused (65)" test "$code" = 65
    check "with Invalid database file" grep -q "Invalid database file" "$work/err.txt"
    check "and left as it was" grep -q "not a database" "$XDG_DATA_HOME/tallowick/twk.db"

    # Portable use: a twk.db beside the executable wins over the data folder.
    export XDG_DATA_HOME="$work/data"
    "$twk" init-db "$root$bindir/twk.db" >/dev/null
    "$twk" add-profile Portable >/dev/null
    check "a twk.db beside twk wins" grep -q Portable <(sqlite3 "$root$bindir/twk.db" \
        "SELECT [name] FROM [profile]")
    check "and the data folder's is left alone" \
        test -z "$(sqlite3 "$db" "SELECT [name] FROM [profile] WHERE [name]='Portable'")"
    rm "$root$bindir/twk.db"

    check "twk(1) is installed" test -f "$root$mandir/man1/twk.1.gz"
    if command -v man >/dev/null; then
        for page in "$root$mandir"/man1/*.1.gz; do
            check "$(basename "$page") has no formatting errors" \
                test -z "$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
        done
    fi
    check "bash completion for twk" \
        test -f "$root$datadir/bash-completion/completions/twk"
    if [ -f "$root$bindir/tallowick" ]; then
        check "tallowick(1) is installed" test -f "$root$mandir/man1/tallowick.1.gz"
        desktop="$root$datadir/applications/org.example.tallowick.desktop"
        check "the menu entry" test -f "$desktop"
        check "the icons" test -f "$root$datadir/icons/hicolor/256x256/apps/org.example.tallowick.png" \
            -a -f "$root$datadir/icons/hicolor/scalable/apps/org.example.tallowick.svg"
        if command -v desktop-file-validate >/dev/null; then
            check "desktop-file-validate" test -z "$(desktop-file-validate "$desktop" 2>&1)"
        fi
        if command -v appstreamcli >/dev/null; then
            check "appstreamcli validate" appstreamcli validate --no-net --pedantic \
                "$root$datadir/metainfo/org.example.tallowick.metainfo.xml"
        fi
    fi

    # The twk package is its component alone: the tool with its manual page, completion
    # and Debian's files, and nothing of the desktop program.
    twk_root="$work/twk-root"
    DESTDIR="$twk_root" cmake --install "$build" --component twk >"$work/install-twk.log" ||
        { cat "$work/install-twk.log"; exit 1; }
    check "the twk component: twk, twk(1), completion, copyright" \
        test -x "$twk_root$bindir/twk" -a -f "$twk_root$mandir/man1/twk.1.gz" \
        -a -f "$twk_root$datadir/bash-completion/completions/twk" \
        -a -f "$twk_root$datadir/doc/twk/copyright"
    check "and nothing of tallowick" \
        test -z "$(cd "$twk_root" && find . -path '*tallowick*' -print -quit)"
    exit $status
fi

# gui: the menu entry's Exec line, run from the install tree.
export XDG_DATA_HOME="$work/data"
exec_line=$(sed -n 's/^Exec=//p' "$root$datadir/applications/org.example.tallowick.desktop")
program="$root$bindir/$exec_line"
listing="$work/windows.txt"
: >"$listing"
(
    cd /
    # shellcheck disable=SC2016
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
        "$1" >"$2/program.log" 2>&1 &
        program=$!
        for _ in $(seq 1 150); do
            if xwininfo -root -tree | grep -qE "\"(Tallowick|Error)\": \(\"tallowick\""; then
                sleep 1
                xwininfo -root -tree | grep -E "^ +0x[0-9a-f]+ \".*\": \(\"tallowick\"" >"$3"
                break
            fi
            sleep 0.2
        done
        kill "$program" 2>/dev/null
        wait "$program" 2>/dev/null || true
    ' installed "$program" "$work" "$listing"
)
check "the installed tallowick shows its main window" \
    grep -q '"Tallowick": ("tallowick"' "$listing"
check "with the database it made in the data folder" \
    test "$(marker_of "$XDG_DATA_HOME/tallowick/twk.db" 2>/dev/null)" = 1
check "which is 0600" test "$(mode_of "$XDG_DATA_HOME/tallowick/twk.db" 2>/dev/null)" = 600
if [ $status -ne 0 ]; then
    cat "$listing" "$work/program.log"
fi
exit $status
