#!/usr/bin/env bash
# The program against dcmtk (Debian's "dcmtk" package, installed natively as a
# peer to measure against; nothing of it is part of the program) on the same
# 3000 x 3000 14-bit chest picture that xmgfile_bench opens:
#   - peer_open_dcm2pnm: opening the image in the program (read, decode, work
#     raster, first full-frame render, xmgfile_bench --peer) against dcm2pnm
#     turning the same picture, stored as uncompressed DICOM, into an 8-bit
#     image through the same window: at most 0.25.
# Each time is the median of several runs, the program's and dcmtk's taken in
# turns. dcmtk's window/level alone is not a figure: taken as the difference
# of two timings of its whole process (dcm2pnm with its output less dcm2pnm
# without), it varied from 3.5 to 10.3 ms between runs against 2.3 ms
# measured in memory, too little against the noise of two 45 ms processes to
# judge anything by; the program's own full-frame window/level is measured
# against memcpy (images_bench: window_level_frame). The figures are printed as bench/benchutil.h prints them ("ratio:
# <name> <value> <limit> <verdict> <what>"), so that bench/run-all.sh tables
# them; the exit status is 1 when one is above its limit, 2 when the
# measurement could not be made. Without dcmtk it says so and exits with 0.
#
#   bench/dcmtk_peer.sh            (after a build; run-all.sh runs it too)
set -uo pipefail
source "$(dirname "$0")/../cmake/setup.sh"

for tool in dcm2pnm dump2dcm; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "dcmtk is not installed ($tool not found): the peer ratios against dcm2pnm and dcmtk's window/level" \
             "were not measured (apt-get install dcmtk)"
        exit 0
    fi
done
exe="$TF_BUILD/bench/xmgfile_bench.exe"
if [ ! -f "$exe" ]; then
    echo "no $exe: build first (bench/run-all.sh builds)" >&2
    exit 2
fi

work=$(mktemp -d /tmp/dcmtk_peer.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Milliseconds of one run of a command, its output thrown away.
run_ms() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1 || return 1
    local end=$EPOCHREALTIME
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", (e - s) * 1000 }'
}

median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'
}

# The program's figures, and the picture's pixels for dcmtk.
ours() {
    "$TF_BUILD/wine-run.sh" "$exe" --peer "Z:${work//\//\\}" 2>/dev/null | tr -d '\r'
}
first=$(ours) || true
window=$(awk '$1 == "peer" && $2 == "window" { print $3, $4 }' <<<"$first")
if [ -z "$window" ] || [ ! -s "$work/picture.raw" ]; then
    echo "ratio: peer_open_dcm2pnm - - FAILED xmgfile_bench --peer gave no picture"
    exit 2
fi
read -r centre width <<<"$window"

# The same pixels as an uncompressed DICOM image (secondary capture, 14 bits
# stored in 16).
cat >"$work/picture.dump" <<EOF
(0008,0016) UI [1.2.840.10008.5.1.4.1.1.7]
(0008,0018) UI [1.2.826.0.1.3680043.2.1143.1]
(0008,0060) CS [OT]
(0010,0010) PN [Bench^Picture]
(0020,000d) UI [1.2.826.0.1.3680043.2.1143.2]
(0020,000e) UI [1.2.826.0.1.3680043.2.1143.3]
(0028,0002) US 1
(0028,0004) CS [MONOCHROME2]
(0028,0010) US 3000
(0028,0011) US 3000
(0028,0100) US 16
(0028,0101) US 14
(0028,0102) US 13
(0028,0103) US 0
(7fe0,0010) OW =$work/picture.raw
EOF
if ! dump2dcm +te "$work/picture.dump" "$work/picture.dcm" >/dev/null 2>&1; then
    echo "ratio: peer_open_dcm2pnm - - FAILED dump2dcm could not write the DICOM picture"
    exit 2
fi
rm -f "$work/picture.raw"

open=() convert=()
for round in 1 2 3; do
    [ "$round" = 1 ] && out=$first || out=$(ours)
    open+=("$(awk '$1 == "peer" && $2 == "open" { print $3 }' <<<"$out")")
    for i in 1 2 3 4 5; do
        convert+=("$(run_ms dcm2pnm +Ww "$centre" "$width" "$work/picture.dcm" /dev/null)")
    done
done
openMs=$(printf '%s\n' "${open[@]}" | median)
convertMs=$(printf '%s\n' "${convert[@]}" | median)
if [ -z "$openMs" ] || [ -z "$convertMs" ]; then
    echo "ratio: peer_open_dcm2pnm - - FAILED a measurement gave no time"
    exit 2
fi

awk -v open="$openMs" -v convert="$convertMs" '
BEGIN {
    value = open / convert
    limit = 0.25
    printf "ratio: peer_open_dcm2pnm %.2f %.2f %s opening the image (%.2f ms) against dcm2pnm on the same picture (%.2f ms)\n", value, limit, value <= limit ? "ok" : "MISSED", open, convert
    exit value > limit
}'
