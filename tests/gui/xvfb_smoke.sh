#!/usr/bin/env bash
# Starts the real program under a virtual X server, twice: with a database beside it the
# main window "Tallowick" must appear; with a file that is no database (here in the data
# folder, where the program looks when none is beside it) only the error message may.
# Usage: xvfb_smoke.sh PATH/TO/tallowick PATH/TO/twk
set -euo pipefail

tallowick=$1
twk=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tallowick-smoke-XXXXXX")
pid=
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
# Without a database beside it the program makes one in the data folder: never the real one.
export HOME="$work/home" XDG_DATA_HOME="$work/data"
mkdir -p "$HOME"

# The program finds twk.db beside its executable, not in the working directory: run a
# copy from a directory whose name is not ASCII, started from elsewhere.
program_dir="$work/Programme für Tallowick"
mkdir -p "$program_dir"
cp "$tallowick" "$program_dir/tallowick"

# Runs the program under xvfb-run and prints the top-level windows it shows, as
# "title: (class)" lines, once they have settled.
windows_of_run() {
    local listing="$work/windows.txt"
    : > "$listing"
    (
        cd /
        # shellcheck disable=SC2016
        exec xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
            "$1" >"$2/program.log" 2>&1 &
            program=$!
            for _ in $(seq 1 100); do
                if xwininfo -root -tree | grep -qE "\"(Tallowick|Error)\": \(\"tallowick\""; then
                    sleep 1
                    xwininfo -root -tree | grep -E "^ +0x[0-9a-f]+ \".*\": \(\"tallowick\"" >"$3"
                    break
                fi
                sleep 0.2
            done
            kill "$program" 2>/dev/null
            wait "$program" 2>/dev/null || true
        ' smoke "$program_dir/tallowick" "$work" "$listing"
    )
    cat "$listing"
}

status=0
[ -n "${SMOKE_VERBOSE:-}" ] && set -x

"$twk" init-db "$program_dir/twk.db" >/dev/null
with_database=$(windows_of_run)
if grep -q '"Tallowick": ("tallowick"' <<<"$with_database"; then
    echo "ok: the main window appears with a database"
else
    echo "FAIL: no main window with a database; windows seen:"
    echo "$with_database"
    cat "$work/program.log"
    status=1
fi

rm "$program_dir/twk.db"
mkdir -p "$XDG_DATA_HOME/tallowick"
echo "not a database" >"$XDG_DATA_HOME/tallowick/twk.db"
without_database=$(windows_of_run)
if grep -q '"Error": ("tallowick"' <<<"$without_database" &&
    ! grep -q '"Tallowick": ("tallowick"' <<<"$without_database"; then
    echo "ok: only the error message appears for a file that is no database"
else
    echo "FAIL: expected only the error message for a foreign file; windows seen:"
    echo "$without_database"
    cat "$work/program.log"
    status=1
fi

exit $status
