#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo site once (in the language
# of the locale: LANG=ru_RU.UTF-8 gives the Russian site, anything else the
# English one), and starts the workstation program on it in the build's Wine
# prefix: on the user's display, or on a private Xvfb when there is none.
# It builds only what it runs: the program, the OLE DB provider, the stand-ins
# of the disk service and the DICOM export server, and the demo-site tool
# (./test.sh builds the tests and benchmarks). Wine runs under the generated
# locale of the language (tf_use_locale), whatever the caller's LANG.
#
# On the private Xvfb the program runs in Wine's virtual desktop, which draws
# the windows' frames and title bars and closes windows at once (a bare X
# server has no window manager). The display and how to look at it are printed.
# TF_DISKSRV=1 also starts the disk service stand-in, and the program then
# waits for it at each start.
set -euo pipefail
source "$(dirname "$0")/cmake/setup.sh"

# One program per build: a second ./run.sh says so and stops before it builds
# or touches the prefix, the demo site or the printers of the one running.
tf_session run
tf_install
tf_sqlite
tf_build TobalFluoro zelksqlite dicomsrv disksrv demosite
tf_use_locale "$(tf_site_language)"
tf_prefix

trap tf_stop EXIT
private=0
if [ -z "${DISPLAY:-}" ]; then
    tf_start_xvfb
    private=1
fi
# The PDF printers of the tests, so that printing can be tried: their files
# go to build/cups/pdf.*, a new folder each run, and stay there (started
# before Wine, which finds them through CUPS_SERVER).
tf_start_cups || tf_log "no CUPS: the program sees no printers"
tf_start_wine
tf_register
if [ "${TF_DISKSRV:-0}" = 1 ]; then
    tf_start_disksrv
    tf_site '\\.'
else
    tf_site ''
fi

program=$(winepath -w "$TF_BUILD/app/TobalFluoro.exe")
if [ "$private" = 1 ]; then
    cat >&2 <<EOF
== The program runs on the private X display $DISPLAY (1280x1024), in Wine's
   virtual desktop "TobalFluoro". To look at it from another terminal:
     DISPLAY=$DISPLAY import -window root shot.png     (a screenshot)
     x11vnc -display $DISPLAY -localhost -nopw          (then a VNC viewer on localhost:5900)
   To quit: the Exit button of the main window, or Ctrl+C here.
EOF
    wine explorer /desktop=TobalFluoro,1280x1024 "$program"
else
    wine "$program"
fi
