#!/usr/bin/env bash
# Installs what is missing, builds, and starts the workstation program in the
# build's Wine prefix: on the user's display, or on a private Xvfb when there is none.
set -euo pipefail
source "$(dirname "$0")/cmake/setup.sh"

tf_install
tf_sqlite
tf_build
tf_prefix

trap tf_stop EXIT
[ -n "${DISPLAY:-}" ] || tf_start_xvfb
tf_start_wine
tf_register

wine "$TF_BUILD/app/TobalFluoro.exe" "$@"
