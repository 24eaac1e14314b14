#!/usr/bin/env bash
# Builds the program, then runs every benchmark of bench/ (one per
# bench/<name>.cmake) under Wine on a private X display with the provider
# registered, and last the peer comparison with dcmtk (bench/dcmtk_peer.sh,
# named dcmtk_peer; without dcmtk installed it says so and counts as no
# failure), and prints one table of every figure with its limit. The exit
# status is 1 when any figure is above its limit or a benchmark failed.
# Arguments name the benchmarks to run (default: all), for example:
#   bench/run-all.sh images_bench xmgfile_bench dcmtk_peer
# Benchmarks time things: they are not part of ./test.sh.
# import_bench: the BMP import's reading of a wide, a tall and a square
# picture of 8 and 24 bits, each at most 8x a memcpy of the file's bytes.
set -euo pipefail
source "$(dirname "$0")/../cmake/setup.sh"

tf_install
tf_sqlite
tf_build
tf_prefix

trap tf_stop EXIT
tf_start_xvfb
tf_start_wine
tf_register

names=("$@")
if [ ${#names[@]} = 0 ]; then
    for f in "$TF_ROOT"/bench/*.cmake; do
        names+=("$(basename "$f" .cmake)")
    done
    names+=(dcmtk_peer)
fi

logs="$TF_BUILD/bench/logs"
mkdir -p "$logs"
rows=()
status=0
for name in "${names[@]}"; do
    exe="$TF_BUILD/bench/$name.exe"
    log="$logs/$name.log"
    tf_log "running $name"
    rc=0
    if [ "$name" = dcmtk_peer ]; then
        "$TF_ROOT/bench/dcmtk_peer.sh" >"$log" 2>&1 || rc=$?
        if grep -q '^dcmtk is not installed' "$log"; then
            peer_absent=$(head -n 1 "$log")
            rows+=("$(printf '%-34s %8s %8s  %-7s %-16s %s' "peer figures" "-" "-" "absent" "$name" "$peer_absent")")
            continue
        fi
    elif [ -f "$exe" ]; then
        (cd "$TF_BUILD/bench" && wine "$exe") >"$log" 2>&1 || rc=$?
    else
        echo "no $exe" >"$log"
        rc=127
    fi
    # Each figure: "ratio: <name> <value> <limit> <ok|MISSED|FAILED> <text>"
    # (bench/benchutil.h); a benchmark that prints none is listed by its exit status.
    found=0
    while read -r _ figure value limit verdict text; do
        rows+=("$(printf '%-34s %8s %8s  %-7s %-16s %s' "$figure" "$value" "$limit" "$verdict" "$name" "$text")")
        found=1
    done < <(grep -a '^ratio: [A-Za-z_]' "$log" | tr -d '\r' || true)
    if [ $found = 0 ] || [ $rc != 0 ]; then
        rows+=("$(printf '%-34s %8s %8s  %-7s %-16s %s' "$name" "-" "-" "exit $rc" "$name" "see $log")")
    fi
    [ $rc = 0 ] || status=1
done

printf '\n%-34s %8s %8s  %-7s %-16s %s\n' "figure" "ratio" "limit" "verdict" "benchmark" "what"
for row in "${rows[@]}"; do
    printf '%s\n' "$row"
done
[ -z "${peer_absent:-}" ] || printf '\n%s\n' "$peer_absent"
printf '\nlogs in %s\n' "$logs"
exit $status
