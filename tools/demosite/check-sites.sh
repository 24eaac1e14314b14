#!/usr/bin/env bash
# The test tools.DemoSite.BothLanguages: the demo site made in each language
# as ./run.sh makes it (tf_site_make, under the locale tf_use_locale gives
# Wine), in a folder of its own below the build. A run whose tool fails
# half-way (here: a schema it cannot run) leaves neither the site nor its
# work folder behind, and the next run makes the whole site: the database,
# 24 images with their thumbnails, their file names starting with the
# patients' Cyrillic and Latin initials, and "dbinit.cfg" naming the database
# where the site lives, not the work folder it was made in; and beside them
# the second workstation's data folder, its 7 images with their thumbnails
# and its own "dbinit.cfg". A site without its second workstation (one made
# before it had one) gets it at the next run, the site itself untouched.
#   tools/demosite/check-sites.sh <build folder>
set -uo pipefail
export TF_BUILD=$1
source "$(dirname "$0")/../../cmake/setup.sh"
work=$(mktemp -d "$TF_BUILD/demosite-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
printf 'CREATE TABLE Half (a int);\nCREATE NOTHING;\n' >"$work/broken.sql"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# check_data_folder <folder> <what> <images>: the database, the images with
# their thumbnails, and "dbinit.cfg" naming the database in that folder.
check_data_folder() {
    local folder=$1 what=$2 expected=$3 images icons
    images=$(find "$folder/Image" -name '*.xmg' 2>/dev/null | wc -l)
    icons=$(find "$folder/Icon" -name '*.thb' 2>/dev/null | wc -l)
    [ -f "$folder/demo.db" ] || fail "$what: no database"
    # The program opens the database that "dbinit.cfg" names: the one in the folder's final place.
    iconv -f UTF-16 -t UTF-8 "$folder/dbinit.cfg" 2>/dev/null | grep -qF "$(winepath -w "$folder")\\demo.db" ||
        fail "$what: dbinit.cfg does not name $folder/demo.db"
    [ "$images" = "$expected" ] && [ "$icons" = "$expected" ] ||
        fail "$what: $images images and $icons thumbnails, not $expected each"
}
for language in ru en; do
    tf_use_locale "$language"
    site="$work/demosite-$language"
    if tf_site_make "$site" "$language" --schema "$(winepath -w "$work/broken.sql")"; then
        fail "$language: the tool took a broken schema"
    fi
    [ ! -e "$site" ] && [ ! -e "$site.new" ] || fail "$language: a failed run left $(ls -d "$site"* 2>/dev/null)"
    tf_site_make "$site" "$language" || fail "$language: the demo site could not be made under $LANG"
    check_data_folder "$site" "$language" 24
    check_data_folder "$site/Workstation2" "$language, the second workstation" 7
    cyrillic=$(ls "$site/Image" 2>/dev/null | grep -c '^[А-ЯЁ]' || true)
    latin=$(ls "$site/Image" 2>/dev/null | grep -c '^[A-Z]' || true)
    [ "$cyrillic" -gt 0 ] && [ "$latin" -gt 0 ] ||
        fail "$language: $cyrillic Cyrillic and $latin Latin file names, not some of each"
    # A site without its second workstation (made in the work folder as the site is).
    rm -rf "$site/Workstation2"
    before=$(md5sum <"$site/demo.db")
    tf_site_make "$site" "$language" || fail "$language: the second workstation could not be made under $LANG"
    check_data_folder "$site/Workstation2" "$language, the second workstation made again" 7
    [ "$(md5sum <"$site/demo.db")" = "$before" ] || fail "$language: making the second workstation changed the site"
    echo "$language: the site and its second workstation, $cyrillic images with a Cyrillic initial, under $LANG"
done
exit $((failures > 0))
