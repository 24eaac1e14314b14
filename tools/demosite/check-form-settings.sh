#!/usr/bin/env bash
# The test tools.DemoSite.FormSettingsStayWithTheirSite: the list column
# widths a session stores for a description file stay with the site whose file
# it was, when the sites change as ./run.sh changes them (tf_site_forms),
# below a settings key of the test's own.
#   tools/demosite/check-form-settings.sh <build folder>
set -uo pipefail
export TF_BUILD=$1
source "$(dirname "$0")/../../cmake/setup.sh"
work=$(mktemp -d "$TF_BUILD/form-settings-check.XXXXXX")
key="HKLM\\SOFTWARE\\Marvod\\TobalFluoroCheck$$"
trap 'wine reg delete "$key" /f >/dev/null 2>&1; rm -rf "$work"' EXIT
mkdir -p "$work/en/Cfg" "$work/ru/Cfg" && touch "$work/en/Cfg/main.cfg" "$work/ru/Cfg/main.cfg"
failures=0
store() { wine reg add "$key\\main.cfg" /v Column3 /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
run_site() { tf_site_forms "$work/$1" "$key" "$work/record" || { echo "FAILED: the change to $1"; failures=1; }; }
expect() {
    local got
    got=$(wine reg query "$key\\main.cfg" /v Column3 2>/dev/null | tr -d '\r' | awk '$2 == "REG_DWORD" { print $3 }')
    [ "$((${got:-0}))" = "$1" ] || { echo "FAILED: $2: the stored width is ${got:-none}, not $1"; failures=1; }
}
store 77    # of a session before any site was recorded
run_site ru
expect 0 "the first Russian session"
store 150
run_site en
expect 0 "the English session after the Russian one"
store 100
run_site ru
expect 150 "the Russian session after the English one"
run_site en
expect 100 "the English session after that"
exit $failures
