#!/usr/bin/env bash
# Makes the demo site once in $TF_BUILD/demosite with the built demosite.exe,
# in the build's Wine prefix (the provider registered). Sourced setup first:
#   source cmake/setup.sh && tf_register && tools/demosite/make-demo-site.sh
# Extra arguments go to demosite.exe (for example --schema, --images, --size).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
: "${TF_BUILD:=$root/build}"
site="$TF_BUILD/demosite"
[ -f "$site/demo.db" ] && exit 0
schema="$root/site/schema.sql"
wine "$TF_BUILD/tools/demosite/demosite.exe" "$(winepath -w "$site")" --schema "$(winepath -w "$schema")" "$@"
