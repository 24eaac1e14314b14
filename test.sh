#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine on a private
# X display. The exit status is the tests'; a run in which no test ran (a
# filter that matches nothing) fails, and so does one in which a test was
# skipped or disabled. Extra arguments go to ctest (for
# example: ./test.sh -R '^foundation\.'). The tests run under the generated
# English locale; those that need Russian set their thread's language, and the
# demo-site test makes both sites under their own locales.
set -euo pipefail
source "$(dirname "$0")/cmake/setup.sh"

# The tests' own Wine prefix, printers and display: a ./run.sh beside them
# goes on undisturbed, and a second ./test.sh of this build stops here.
tf_session tests
tf_install
tf_sqlite
tf_build
tf_use_locale en
tf_prefix

trap tf_stop EXIT
tf_start_xvfb
# Without CUPS the printing tests fail and say why; the other tests still run.
# It starts before Wine, whose processes find it through CUPS_SERVER. The PDF
# files of earlier test runs go: nobody but the tests prints into this folder.
rm -rf "$TF_CUPS_DIR"/pdf.*
tf_start_cups || tf_log "no CUPS for this run: the printing tests will fail"
tf_start_wine
tf_register

status=0
log="$TF_BUILD/ctest-last.log"
(cd "$TF_BUILD" && ctest -j "$TF_JOBS" --output-on-failure --no-tests=error "$@") 2>&1 | tee "$log" ||
    status=${PIPESTATUS[0]}
# ctest ends with success when tests were skipped (GTEST_SKIP) or disabled:
# nothing they were to check has been checked, so the run fails.
if grep -qE '^[[:space:]]+[0-9]+ - .*\((Skipped|Disabled|Not Run)\)' "$log"; then
    echo "== tests that did not run count as failures:" >&2
    grep -E '^[[:space:]]+[0-9]+ - .*\((Skipped|Disabled|Not Run)\)' "$log" >&2
    [ "$status" != 0 ] || status=1
fi
# The archive tests mount their tmpfs disks below the build folder and
# unmount them at their end; a test that crashed leaves its disk mounted.
awk -v dir="$TF_BUILD/archive-disks/" 'index($2, dir) == 1 { print $2 }' /proc/mounts |
    while read -r disk; do umount "$disk" 2>/dev/null || umount -l "$disk" 2>/dev/null || true; done
tf_native || { [ "$status" != 0 ] || status=1; }
exit $status
