#!/usr/bin/env bash
# The test tools.Sessions.LeaveEachOtherAlone, in a build folder of its own:
# beside a ./run.sh session held with its PDF printers up, a CUPS start keeps
# an earlier run's printout and a test session started and stopped leaves the
# run session's cupsd, printers and printouts alone; with a test session held
# too, a second ./run.sh, ./test.sh and bench/run-all.sh each stop at once,
# name the holder and change nothing (`cmake` is a stand-in that fails fast).
#   tools/check-sessions.sh <build folder>
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export TF_BUILD
TF_BUILD=$(mktemp -d "$(cd "$1" && pwd)/sessions-check.XXXXXX")
work=$TF_BUILD
holders=()
cleanup() {
    local pid
    for pid in "${holders[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${holders[@]}"; do while kill -0 "$pid" 2>/dev/null; do wait "$pid" 2>/dev/null; done; done
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# hold NAME SCRIPT: the session NAME held as SCRIPT holds it (the run session
# with its printers) until the test ends; "<pid> <CUPS socket> <PDF folder>"
# in $held once it is up.
hold() {
    local fd
    exec {fd}< <(exec bash -c '
        source "$2/cmake/setup.sh"
        tf_session "$1"
        trap tf_stop EXIT
        if [ "$1" = run ]; then tf_start_cups 2>/dev/null || exit 1; fi
        echo "$$ ${CUPS_SERVER:-} ${TF_PDF_DIR:-}"
        read -r _ <"$TF_BUILD/never"' "$2" "$1" "$root")
    holders+=($!)
    read -r held <&"$fd" || { fail "the $1 session could not be held"; exit 1; }
}
mkfifo "$work/never"
mkdir -p "$work/cups/pdf.earlier" "$work/deps/sqlite3" "$work/stub"
echo printout >"$work/cups/pdf.earlier/job1.pdf"
touch "$work/deps/sqlite3/sqlite3.c" "$work/deps/sqlite3/sqlite3.h"
printf '#!/bin/sh\nexit 97\n' >"$work/stub/cmake"
chmod +x "$work/stub/cmake"
printers_up() { CUPS_SERVER=$run_cups lpstat -p PDF >/dev/null 2>&1 && [ -d "$run_pdf" ]; }
listing() { find "$work" -path '*/cups*/*' -prune -o -print | sort; ls "$work"/cups*/; }

hold run ./run.sh
read -r run_pid run_cups run_pdf <<<"$held"
bash -c 'source "$1/cmake/setup.sh"; tf_session tests; trap tf_stop EXIT; tf_start_cups 2>/dev/null' ./test.sh "$root" ||
    fail "a test session could not start its printers beside the run session"
printers_up || fail "the run session's printers or PDF folder are not up beside a test session's start and stop"
[ -f "$work/cups/pdf.earlier/job1.pdf" ] || fail "a CUPS start deleted the printout of an earlier run"

hold tests ./test.sh
read -r tests_pid _ <<<"$held"
before=$(listing)
while read -r script holder; do
    out=$(PATH="$work/stub:$PATH" "$root/$script" 2>&1 </dev/null)
    status=$?
    [ "$status" = 1 ] && grep -q "(pid $holder) is running" <<<"$out" ||
        fail "$script beside a held session: status $status, not a refusal naming pid $holder: $out"
    [ "$(listing)" = "$before" ] || fail "$script beside a held session changed the build folder"
    kill -0 "$run_pid" 2>/dev/null && kill -0 "$tests_pid" 2>/dev/null && printers_up ||
        fail "$script beside a held session ended the first session"
done <<ROWS
run.sh            $run_pid
test.sh           $tests_pid
bench/run-all.sh  $tests_pid
ROWS
exit $((failures > 0))
