#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo site once, and starts the
# workstation program on it in the build's Wine prefix: on the user's display,
# or on a private Xvfb when there is none. TF_DISKSRV=1 also starts the disk
# service stand-in, and the program then waits for it at each start.
set -euo pipefail
source "$(dirname "$0")/cmake/setup.sh"

tf_install
tf_sqlite
tf_build
tf_prefix

trap tf_stop EXIT
[ -n "${DISPLAY:-}" ] || tf_start_xvfb
# The PDF printers of the tests, so that printing can be tried: their files
# go to build/cups/pdf.* (started before Wine, which finds them through CUPS_SERVER).
tf_start_cups || tf_log "no CUPS: the program sees no printers"
tf_start_wine
tf_register
if [ "${TF_DISKSRV:-0}" = 1 ]; then
    tf_start_disksrv
    tf_site '\\.'
else
    tf_site ''
fi

wine "$TF_BUILD/app/TobalFluoro.exe"
