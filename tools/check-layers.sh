#!/usr/bin/env bash
# Checks the layers of ARCHITECTURE.md on the source tree and, when a build
# exists, on its libraries:
#   1. every #include "<folder>/..." of a folder's sources names a folder that
#      it may include (the table below);
#   2. every library of a folder links only the libraries of the folders it
#      may include, and no two libraries link each other (the link graph
#      CMake wrote into the build, read without configuring it again);
#   3. no strong symbol is defined in two objects of the program's libraries
#      (inline functions and templates, which the linker folds, do not count).
# Usage: tools/check-layers.sh [build folder, default ./build]. Exit status 1
# when a check fails.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
[ -d "$build" ] && build=$(cd "$build" && pwd)
status=0

# What each folder may include besides itself and resources/.
declare -A allowed=(
    [foundation]=""
    [database]="foundation"
    [ui]="foundation"
    [forms]="foundation database ui"
    [images/pixels]="foundation"
    [images/files]="foundation database images/pixels"
    [images/viewer]="foundation database ui images/pixels images/files"
    [app]="foundation database ui forms images/pixels images/files images/viewer"
    [printing]="foundation database ui forms images/pixels images/files images/viewer app"
    [exchange]="foundation database ui forms images/pixels images/files images/viewer app"
    [archive]="foundation database ui forms images/pixels images/files images/viewer app printing exchange"
    [provider]=""
)

# ---- 1. includes --------------------------------------------------------------
for folder in "${!allowed[@]}"; do
    [ -d "$root/$folder" ] || continue
    ok=" $folder resources ${allowed[$folder]} "
    while IFS=: read -r file line text; do
        target=$(sed -E 's/^#include "([a-z]+)\/([a-z]+)\/.*/\1\/\2/; s/^#include "([a-z]+)\/.*/\1/' <<<"$text")
        # images/ has three folders: an include names one of them.
        case "$target" in images/pixels|images/files|images/viewer) ;; images/*) target=images ;; *) target=${target%%/*} ;; esac
        if [[ "$ok" != *" $target "* ]]; then
            echo "layers: $file:$line includes $target/ (${folder}/ may include: ${allowed[$folder]:-nothing})"
            status=1
        fi
    done < <(cd "$root" && grep -rnE '^#include "[a-z]+/' --include=*.h --include=*.cpp "$folder" 2>/dev/null |
             grep -v "^$folder/[^:]*:[0-9]*:#include \"$folder/")
done

# ---- 2. link graph ---------------------------------------------------------------
# Read from the build's own generated files, so the build folder is never
# configured again: CMake lists in each target's DependInfo.cmake the
# DependInfo.cmake of every library it links, directly or through another
# (CMAKE_TARGET_LINKED_INFO_FILES). A library of a folder may link only the
# libraries of the folders it may include; two libraries that list each other
# link in a cycle.
# The target folders of the current configuration (TargetDirectories.txt):
# folders left in the build by an older configuration are not read.
targets="$build/CMakeFiles/TargetDirectories.txt"
# The layer of a build folder: images/ has three, every other folder is one.
layer_of() {
    case "$1" in images/pixels*|images/files*|images/viewer*) echo "${1%%/*}/$(cut -d/ -f2 <<<"$1")" ;; *) echo "${1%%/*}" ;; esac
}
if [ -f "$targets" ]; then
    links=$(mktemp)
    while IFS= read -r dir; do
        info="$dir/DependInfo.cmake"
        [ -f "$info" ] || continue
        from=$(layer_of "${dir#$build/}")
        target=${dir%.dir}; target=${target##*/}
        sed -n '/^set(CMAKE_TARGET_LINKED_INFO_FILES/,/^ *)/p' "$info" | grep -o '"[^"]*"' | tr -d '"' |
        while IFS= read -r linked; do
            to=$(layer_of "${linked#$build/}")
            name=${linked%.dir/DependInfo.cmake}; name=${name##*/}
            printf '%s %s %s %s\n' "$from" "$target" "$to" "$name"
        done
    done < <(grep -E "^$build/(foundation|database|ui|forms|images|app|printing|exchange|archive)/" "$targets") >"$links"
    # Every library of the program's folders; the program itself (app/) links
    # them all and is not judged.
    while read -r from target to name; do
        [ "$from" = "$to" ] && continue
        [ "$target" = TobalFluoro ] && continue
        [ -n "${allowed[$from]+set}" ] && [ -n "${allowed[$to]+set}" ] || continue
        if [[ " ${allowed[$from]} " != *" $to "* ]]; then
            echo "layers: $target ($from/) links $name ($to/) (${from}/ may link: ${allowed[$from]:-nothing})"
            status=1
        fi
    done <"$links"
    awk '{ edge[$2 " " $4] = 1 } END { for (k in edge) { split(k, p, " "); if ((p[2] " " p[1]) in edge && p[1] < p[2])
             printf "layers: %s and %s link each other\n", p[1], p[2] } }' "$links" | sort | grep . && status=1
    rm -f "$links"
fi

# ---- 3. symbols defined twice ---------------------------------------------------
libs=()
# Every library the current configuration makes in the program's folders,
# whatever its name (a folder may hold several, as images/ and exchange/ do);
# libraries left in the build folder by an older configuration are not read.
if [ -f "$build/CMakeFiles/TargetDirectories.txt" ]; then
    while IFS= read -r dir; do
        name=${dir##*/CMakeFiles/}
        name=${name%.dir}
        lib="${dir%/CMakeFiles/*}/lib$name.a"
        [ -f "$lib" ] && libs+=("$lib")
    done < <(grep -E "^$build/(foundation|database|ui|forms|images|app|printing|exchange|archive)(/|$)" \
                 "$build/CMakeFiles/TargetDirectories.txt")
fi
if [ ${#libs[@]} -gt 0 ] && command -v i686-w64-mingw32-objdump >/dev/null; then
    for lib in "${libs[@]}"; do
        i686-w64-mingw32-objdump -t "$lib" | awk -v lib="${lib#$build/}" '
            /file format/ { flush(); obj = $1; sub(/:$/, "", obj); delete comdat; n = 0; next }
            /^\[ *[0-9]+\]\(sec/ {
                sec = $0; sub(/^.*\(sec +/, "", sec); sub(/\).*$/, "", sec)
                scl = $0; sub(/^.*\(scl +/, "", scl); sub(/\).*$/, "", scl)
                name = $NF; want = (scl == 3 && $0 ~ /\(nx 1\)/); last = sec
                if (scl == 2 && sec + 0 > 0) { n++; secs[n] = sec; names[n] = name }
                next
            }
            want && /comdat [1-9]/ { comdat[last] = 1 }
            { want = 0 }
            function flush(  i) { for (i = 1; i <= n; i++) if (!(secs[i] in comdat)) print names[i] "\t" lib ":" obj; n = 0 }
            END { flush() }'
    done | sort | awk -F'\t' '
        $1 == prev { if (!shown) print "layers: " $1 " is defined in " where; print "layers:   and in " $2; shown = 1; bad = 1; next }
        { prev = $1; where = $2; shown = 0 }
        END { exit bad }' || status=1
fi

[ $status = 0 ] && echo "layers: includes, links and symbols keep to the layers"
exit $status
