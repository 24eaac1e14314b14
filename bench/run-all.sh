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
#
# Every figure has its limit in the table below (the README's table says what
# each one means); a benchmark prints its own limit beside each figure, and a
# figure that the table lacks or whose printed limit differs from the table's
# fails, so that the two never drift apart.
#
# A benchmark that includes bench/fullfolder.h runs in image folders that
# already hold 20,000 files, as a clinic's do: they are made here natively,
# in seconds, in a pool that the benchmark takes them from (TF_BENCH_FULL_POOL).
#
# import_bench: the BMP import's reading of a wide, a tall and a square
# picture of 8 and 24 bits, each at most 8x a memcpy of the file's bytes.
set -euo pipefail
source "$(dirname "$0")/../cmake/setup.sh"
# The benchmarks run in the tests' session: never beside ./test.sh.
tf_session tests

# figure                              limit
LIMITS='
decode                                2.5
decode_noise                          3
encode                                6
encode_noise                          4
rotate90                              6
rotate90_noise                        6
mirror                                1.5
mirror_noise                          1.5
flip                                  1.5
flip_noise                            1.5
reduce2                               1.5
reduce2_noise                         1.5
reduce3                               1.5
reduce3_noise                         1.5
reduce2_picture                       1.5
reduce2_picture_noise                 1.5
reduce3_picture                       1.5
reduce3_picture_noise                 1.5
sharpen                               15
sharpen_noise                         15
window_level_frame                    2.5
window_level_frame_noise              3
view_fit                              3
view_fit_noise                        3
view_zoom1                            1.5
view_zoom1_noise                      1.5
view_zoom2                            4
view_zoom2_noise                      4
drag_zoom2                            1
drag_zoom2_noise                      1
read_picture                          15
read_picture_noise                    15
open_image                            7
open_image_noise                      7
open_image_cold                       9
open_image_cold_noise                 9
open_image_one_cpu                    1.2
write_picture                         25
write_picture_noise                   25
level_step_fit                        3
level_step_fit_noise                  3
drag_zoom1_window                     1
drag_zoom1_window_noise               1
drag_zoom2_window                     1
drag_zoom2_window_noise               1
window_steps_whole                    1.5
dialect_update                        1.5
dialect_select                        1.5
provider_n1000                        3
provider_n10000                       3
provider_n100000                      3
provider_growth_n10000/n1000          1.5
provider_growth_n100000/n10000        1.5
listview_rows_50000/5000              1.2
report_rows_10000/1000                1.2
sheet_dibs_per_page                   1
patient_switch                        40
open_from_strip                       30
strip_scaling_20/5                    1.5
strip_scaling_80/5                    1.5
import_new_image                      1.5
dicom_save                            3
merge_3000_over_records               1.5
merge_2000_over_200                   12
merge_one_date_over_spread            1.5
merge_back_over_merge                 0.05
merge_over_ledger_over_merge          0.5
sync_scan_vs_listing                  5
sync_scan_5000/500                    1.2
sync_steps_5000/500                   1.2
archive_copy_vs_copyfile              1.3
archive_free_space_5000/500           1.2
import_bmp24_wide                     8
import_bmp24_tall                     8
import_bmp24_square                   8
import_bmp8_wide                      8
import_bmp8_tall                      8
import_bmp8_square                    8
peer_open_dcm2pnm                     0.25
'

# The table's limit of a figure, or nothing.
limit_of() {
    awk -v f="$1" 'NF == 2 && $1 == f { print $2 }' <<<"$LIMITS"
}

# A pool of full image folders for one benchmark (bench/fullfolder.h): one
# folder of 20,000 empty files made natively, and hard-linked copies of it.
pool="$TF_BUILD/bench/full-pool"
fill_pool() {
    rm -rf "$pool"
    mkdir -p "$pool/full1"
    (cd "$pool/full1" && seq -f '~fill%05g.dat' 1 20000 | xargs touch)
    local k
    for k in 2 3 4; do cp -al "$pool/full1" "$pool/full$k"; done
}

tf_install
tf_sqlite
tf_build
tf_prefix

trap 'rm -rf "$pool"; tf_stop' EXIT
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
        if grep -q 'bench/fullfolder.h' "$TF_ROOT/bench/$name.cpp" 2>/dev/null; then
            tf_log "making the full image folders of $name"
            fill_pool
        fi
        (cd "$TF_BUILD/bench" && TF_BENCH_FULL_POOL="$(winepath -w "$pool")" wine "$exe") >"$log" 2>&1 || rc=$?
        rm -rf "$pool"
    else
        echo "no $exe" >"$log"
        rc=127
    fi
    # Each figure: "ratio: <name> <value> <limit> <ok|MISSED|FAILED> <text>"
    # (bench/benchutil.h); a benchmark that prints none is listed by its exit status.
    found=0
    while read -r _ figure value limit verdict text; do
        # A measurement that failed ("- -") keeps its verdict.
        table=$(limit_of "$figure")
        if [ "$limit" = "-" ]; then
            :
        elif [ -z "$table" ]; then
            verdict="NOLIMIT"
            text="not in the table of run-all.sh: $text"
            status=1
        elif ! awk -v a="$limit" -v b="$table" 'BEGIN { exit !(a + 0 == b + 0) }'; then
            verdict="LIMIT?"
            text="the benchmark's limit $limit is not the table's $table: $text"
            status=1
        fi
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
