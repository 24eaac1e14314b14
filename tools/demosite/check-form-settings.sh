#!/usr/bin/env bash
# The test tools.DemoSite.FormSettingsStayWithTheirSite: the list column widths
# a session stores stay with the site whose description file they were made
# for as ./run.sh changes sites (tf_site_forms), below a key of the test's own.
#   tools/demosite/check-form-settings.sh <build folder>
set -uo pipefail
export TF_BUILD=$1
source "$(dirname "$0")/../../cmake/setup.sh"
work=$(mktemp -d "$TF_BUILD/form-settings-check.XXXXXX")
key="HKLM\\SOFTWARE\\Marvod\\TobalFluoroCheck$$"
trap 'wine reg delete "$key" /f >/dev/null 2>&1; rm -rf "$work"' EXIT
mkdir -p "$work/en/Cfg" "$work/ru/Cfg" && touch "$work/en/Cfg/main.cfg" "$work/ru/Cfg/main.cfg"
failures=0
# The width a session stores (- none), the site changed to, the width it then has.
while read -r stored site expected <&3; do
    [ "$stored" = - ] || wine reg add "$key\\main.cfg" /v Column3 /t REG_DWORD /d "$stored" /f >/dev/null 2>&1
    tf_site_forms "$work/$site" "$key" "$work/record" || { echo "FAILED: the change to $site"; failures=1; }
    got=$(wine reg query "$key\\main.cfg" /v Column3 2>/dev/null | tr -d '\r' | awk '$2 == "REG_DWORD" { print $3 }')
    [ "$((${got:-0}))" = "$expected" ] ||
        { echo "FAILED: after $stored, the $site session's width is ${got:-none}, not $expected"; failures=1; }
done 3<<ROWS
77  ru 0
150 en 0
100 ru 150
-   en 100
ROWS
exit $failures
