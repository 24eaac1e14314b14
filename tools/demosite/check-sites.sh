#!/usr/bin/env bash
# The test tools.DemoSite.BothLanguages: the demo site made in each language
# as ./run.sh makes it (tf_site_make, under the locale tf_use_locale gives
# Wine), in a folder of its own below the build. A run whose tool fails
# half-way (here: a schema it cannot run) leaves neither the site nor its
# work folder behind, and the next run makes the whole site: the database,
# 24 images with their thumbnails, their file names starting with the
# patients' Cyrillic and Latin initials, and "dbinit.cfg" naming the database
# where the site lives, not the work folder it was made in.
#   tools/demosite/check-sites.sh <build folder>
set -uo pipefail
export TF_BUILD=$1
source "$(dirname "$0")/../../cmake/setup.sh"
work=$(mktemp -d "$TF_BUILD/demosite-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
printf 'CREATE TABLE Half (a int);\nCREATE NOTHING;\n' >"$work/broken.sql"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
for language in ru en; do
    tf_use_locale "$language"
    site="$work/demosite-$language"
    if tf_site_make "$site" "$language" --schema "$(winepath -w "$work/broken.sql")"; then
        fail "$language: the tool took a broken schema"
    fi
    [ ! -e "$site" ] && [ ! -e "$site.new" ] || fail "$language: a failed run left $(ls -d "$site"* 2>/dev/null)"
    tf_site_make "$site" "$language" || fail "$language: the demo site could not be made under $LANG"
    images=$(find "$site/Image" -name '*.xmg' 2>/dev/null | wc -l)
    icons=$(find "$site/Icon" -name '*.thb' 2>/dev/null | wc -l)
    cyrillic=$(ls "$site/Image" 2>/dev/null | grep -c '^[А-ЯЁ]' || true)
    latin=$(ls "$site/Image" 2>/dev/null | grep -c '^[A-Z]' || true)
    [ -f "$site/demo.db" ] || fail "$language: no database"
    # The program opens the database that "dbinit.cfg" names: the one in the site's final folder.
    iconv -f UTF-16 -t UTF-8 "$site/dbinit.cfg" 2>/dev/null | grep -qF "$(winepath -w "$site")\\demo.db" ||
        fail "$language: dbinit.cfg does not name $site/demo.db"
    [ "$images" = 24 ] && [ "$icons" = 24 ] || fail "$language: $images images and $icons thumbnails, not 24 each"
    [ "$cyrillic" -gt 0 ] && [ "$latin" -gt 0 ] ||
        fail "$language: $cyrillic Cyrillic and $latin Latin file names, not some of each"
    echo "$language: $images images, $cyrillic with a Cyrillic initial, under $LANG"
done
exit $((failures > 0))
