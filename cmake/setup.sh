# Shared set-up of ./test.sh and ./run.sh; sourced, not run.
#
# tf_session      takes the session of ./run.sh or of the tests for the script's life, or ends it
#                 at once when another script holds it; sets its Wine prefix and CUPS folder
# tf_install      installs what is missing (Debian, as root), idempotently, and makes the
#                 locales Wine runs under (tf_locales)
# tf_use_locale   the locale of a language (en|ru) for Wine and its programs
# tf_sqlite       the SQLite amalgamation in $TF_BUILD/deps/sqlite3 (never committed)
# tf_build        configures and builds into $TF_BUILD: the targets named, or everything
#                 (one build of the folder at a time: a second waits for the first)
# tf_prefix       the session's private 32-bit Wine prefix
# tf_start_xvfb   a free X display (Xvfb -displayfd); sets DISPLAY
# tf_start_wine   one persistent wineserver for the prefix
# tf_register     registers the built OLE DB provider and the DICOM export server stand-in in the
#                 prefix (wine regsvr32, dicomsrv /regserver; safe to repeat)
# tf_site         the demo site in $TF_BUILD/demosite-<language> and its settings in the prefix's registry
# tf_site_make    the demo site's folder alone, with its second workstation (made in a temporary folder,
#                 renamed into place when whole)
# tf_start_disksrv  the disk service stand-in on the pipe "DiskSrv" (its pid in TF_DISKSRV_PID)
# tf_start_cups   the session's private cupsd with two cups-pdf queues (TF_PDF_DIR)
# tf_stop         stops what tf_start_* started: by pid, and the programs of the session's own prefix
# tf_native       builds the pixel code natively with sanitizers and runs its tests
#
# Environment: TF_BUILD (default ./build), TF_JOBS (default: the number of cores).

TF_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
: "${TF_BUILD:=$TF_ROOT/build}"
: "${TF_JOBS:=$(nproc)}"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# fonts-wine holds Wine's own fonts, among them Marlett (tf_prefix).
TF_PACKAGES="wine wine32:i386 mingw-w64 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix cmake make xvfb xauth \
fonts-dejavu-core fonts-wine googletest x11-utils g++ python3 cups cups-client printer-driver-cups-pdf poppler-utils \
ghostscript libcups2:i386 dcmtk dicom3tools locales imagemagick x11vnc"

# The locales Wine runs under, one per language of the program. A fresh Debian
# has only C, C.UTF-8 and POSIX: under a locale that is not generated Wine
# falls back to ASCII and decodes file names byte by byte, so a Cyrillic file
# name it has just created is "not found".
TF_LOCALES="en_US.UTF-8 ru_RU.UTF-8"

tf_log() { printf '== %s\n' "$*" >&2; }

# The sessions of a build. ./run.sh has one, ./test.sh and the benchmarks
# share the other. Each owns a Wine prefix (its wineserver and every program
# in it), a CUPS folder (its cupsd, socket, PDF printers and their files) and,
# where it needs one, a private Xvfb: the tests beside the running program
# neither see its windows, drives and registry nor end it.
#   run     $TF_BUILD/wineprefix (English)   $TF_BUILD/cups
#           $TF_BUILD/wineprefix-ru (Russian)
#   tests   $TF_BUILD/wineprefix-tests       $TF_BUILD/cups-tests
# The run session keeps the folders both sessions shared before, with the
# settings the user stored in the prefix and the printouts in cups/pdf.*.
# Each language's demo site has a prefix of its own: the program stores what
# the user set (a list's column widths, a form's font) under the name of the
# description file, and the sites' description files of one name differ (the
# Russian list's last column is wider for its longer caption).
# tf_session NAME takes the session for the script's life, before the script
# touches anything: a lock on $TF_BUILD/NAME.lock. Every process the script
# starts inherits the lock's descriptor, so a session whose programs outlive
# a killed script stays held. A script that finds its session held says who
# holds it and ends at once, having changed nothing; only the holder stops
# what runs in the session's prefix (tf_stop).
TF_SESSION=""

# The Wine prefix and the CUPS folder of a session.
tf_session_dirs() {
    case "$1" in
        run) export WINEPREFIX="$TF_BUILD/wineprefix$([ "$(tf_site_language)" = ru ] && echo -ru)" \
                    TF_CUPS_DIR="$TF_BUILD/cups" ;;
        tests) export WINEPREFIX="$TF_BUILD/wineprefix-tests" TF_CUPS_DIR="$TF_BUILD/cups-tests" ;;
        *) echo "tf_session: no session \"$1\" (run or tests)" >&2; return 1 ;;
    esac
}
# The tests' session until a script takes another: the scripts that ctest
# runs inside ./test.sh find the prefix and the printers of their run.
tf_session_dirs tests

tf_session() {
    local name=$1 lock fd
    tf_session_dirs "$name" || exit 2
    mkdir -p "$TF_BUILD"
    lock="$TF_BUILD/$name.lock"
    # Opened for appending: the holder's line stays until the lock is ours.
    exec {fd}>>"$lock"
    if ! flock -n "$fd"; then
        tf_session_held "$lock"
        exit 1
    fi
    printf '%s %s\n' "$$" "$(basename "$0")" >"$lock"
    TF_SESSION=$name
}

# What a script says that finds its session held: the holder's pid and script,
# as the holder wrote them, or, when that process is gone, that programs it
# started still hold the session.
tf_session_held() {
    local lock=$1 pid="" script="" me
    me=$(basename "$0")
    read -r pid script <"$lock" 2>/dev/null || true
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        echo "$me: $script (pid $pid) is running on $TF_BUILD; it is left alone and nothing was changed." >&2
    else
        echo "$me: programs that an earlier ${script:-script} on $TF_BUILD started still run" \
             "(fuser -v $lock lists them); they are left alone and nothing was changed." >&2
    fi
}

tf_install() {
    local missing="" p
    for p in $TF_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
    done
    command -v npm >/dev/null 2>&1 || missing="$missing npm"
    if [ -n "$missing" ]; then
        if [ "$(id -u)" != 0 ]; then
            echo "missing packages:$missing (run as root to install them)" >&2
            return 1
        fi
        tf_log "installing:$missing"
        dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
        # A mirror caught mid-sync fails one index now and then; the others
        # are read all the same. When the security index of one architecture
        # is the one missing, the two architectures' candidates differ and the
        # install cannot pair them: it then takes the release's own versions.
        apt-get update -q >/dev/null || tf_log "apt-get update failed for some index; installing from what it read"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing >/dev/null || {
            local release
            release=$(. /etc/os-release && echo "$VERSION_CODENAME")
            tf_log "the install failed; trying again with the packages of $release itself"
            DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends -t "$release" $missing >/dev/null
        }
    fi
    tf_locales
}

# Generates the locales of TF_LOCALES that `locale -a` does not list, the
# Debian way (enabled in /etc/locale.gen, so that a later locale-gen keeps them).
tf_locales() {
    local missing="" l
    for l in $TF_LOCALES; do
        locale -a 2>/dev/null | grep -qix "${l%.UTF-8}.utf8" || missing="$missing $l"
    done
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" != 0 ]; then
        echo "missing locales:$missing (run as root to generate them)" >&2
        return 1
    fi
    tf_log "generating the locales:$missing"
    touch /etc/locale.gen
    for l in $missing; do
        sed -i "s/^# *\($l UTF-8\)\$/\1/" /etc/locale.gen
        grep -qx "$l UTF-8" /etc/locale.gen || echo "$l UTF-8" >>/etc/locale.gen
    done
    locale-gen >/dev/null
}

# Wine and every program it starts take the language's generated locale
# (the program speaks the locale's language); LC_ALL overrides whatever the
# caller's LC_* say.
tf_use_locale() {
    case "$1" in
        ru) LANG=ru_RU.UTF-8 ;;
        *) LANG=en_US.UTF-8 ;;
    esac
    export LANG LC_ALL=$LANG
    unset LANGUAGE
}

tf_sqlite() {
    local dir="$TF_BUILD/deps/sqlite3"
    [ -f "$dir/sqlite3.c" ] && [ -f "$dir/sqlite3.h" ] && return 0
    tf_log "fetching the SQLite amalgamation (better-sqlite3@12.4.1)"
    local tmp
    tmp=$(mktemp -d)
    (cd "$tmp" && npm pack --silent better-sqlite3@12.4.1 >/dev/null) || { rm -rf "$tmp"; return 1; }
    mkdir -p "$dir"
    tar -xzf "$tmp"/better-sqlite3-12.4.1.tgz -C "$tmp" package/deps/sqlite3
    cp "$tmp"/package/deps/sqlite3/sqlite3.c "$tmp"/package/deps/sqlite3/sqlite3.h \
       "$tmp"/package/deps/sqlite3/sqlite3ext.h "$dir"/
    rm -rf "$tmp"
}

# ./run.sh and ./test.sh may start at the same time on one build folder: its
# builds take turns, or two compilers write the same files.
tf_build() {
    mkdir -p "$TF_BUILD"
    local fd status=0
    exec {fd}>>"$TF_BUILD/build.lock"
    flock -n "$fd" || { tf_log "waiting for the other build of $TF_BUILD to end"; flock "$fd"; }
    tf_build_locked "$@" || status=$?
    exec {fd}>&-
    return $status
}

tf_build_locked() {
    if [ ! -f "$TF_BUILD/CMakeCache.txt" ]; then
        cmake -S "$TF_ROOT" -B "$TF_BUILD" -DCMAKE_TOOLCHAIN_FILE="$TF_ROOT/cmake/mingw32.cmake" \
              -DTF_SQLITE_DIR="$TF_BUILD/deps/sqlite3" >/dev/null || return
    fi
    if [ $# -gt 0 ]; then
        cmake --build "$TF_BUILD" -j "$TF_JOBS" --target "$@"
    else
        cmake --build "$TF_BUILD" -j "$TF_JOBS"
    fi
}

tf_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        tf_log "creating the Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    if [ ! -f "$WINEPREFIX/.tf-settings" ]; then
        # A crash ends the process at once with its backtrace: no crash dialog
        # waits for a click on a display nobody sees.
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.tf-settings"
    fi
    tf_prefix_fonts
}

# Wine draws the symbols of the title bars' buttons (close, minimise,
# maximise) with the glyphs of Marlett; without it they show letters ("r",
# "0", "1"). Debian's Wine 8 reads no font of its data folder, where fonts-wine
# puts them (measured: not even in a new prefix), only those of the prefix's
# Fonts folder and the system's: Marlett goes there, alone, so that every
# other text keeps the font it has.
tf_prefix_fonts() {
    local font=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
    [ -f "$fonts/marlett.ttf" ] && return 0
    [ -f "$font" ] || { tf_log "no $font (fonts-wine): the title bars' buttons show letters"; return 0; }
    mkdir -p "$fonts"
    cp "$font" "$fonts/"
}

TF_XVFB_PID=""
TF_WINESERVER_PID=""

tf_start_xvfb() {
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    TF_XVFB_PID=$!
    local num
    read -r num <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$num"
    tf_log "Xvfb on $DISPLAY (pid $TF_XVFB_PID)"
}

tf_start_wine() {
    wineserver -p &
    TF_WINESERVER_PID=$!
    # A first program starts the prefix's services before the timed runs begin.
    wine cmd /c exit >/dev/null 2>&1 || true
}

tf_register() {
    local dll="$TF_BUILD/provider/zelksqlite.dll"
    [ -f "$dll" ] || { echo "no provider DLL at $dll" >&2; return 1; }
    # regsvr32 writes the same keys every time: registering again only refreshes the DLL's path.
    wine regsvr32 /s "$(winepath -w "$dll")" >/dev/null 2>&1 || { echo "wine regsvr32 $dll failed" >&2; return 1; }
    # The stand-in of the outside DICOM export server ("IDicomExportServer.Application").
    local dicomsrv="$TF_BUILD/tools/dicomsrv/dicomsrv.exe"
    if [ -f "$dicomsrv" ]; then
        wine "$dicomsrv" /regserver >/dev/null 2>&1 || { echo "dicomsrv /regserver failed" >&2; return 1; }
    fi
}

# The demo site speaks the language of the locale (LANG): Russian for ru_*,
# English otherwise, like the program's own texts. $TF_BUILD/demosite-<en|ru>
# holds the data folder (dbinit.cfg, the database, Image\ and Icon\), Cfg\ (the
# description files of site/cfg for Russian, site/cfg/en for English), Arj\
# (the archive folder), the working folder's journal zelk.ju and Workstation2\
# (the data folder of a second workstation). The demo-site tool makes both
# data folders once (patients, images, descriptions, templates in the
# language: tf_site_make). Then the settings the program reads are
# written into the prefix's registry: "DataPath", "CfgDir", "DefDir", the
# "Arj" folder, "AdminUsers" naming the Linux user (Wine's GetUserNameW
# returns it), "ServerName": empty, or the argument ("\\." when the disk
# service runs), the reports of the report menu ("PrintReport") and the
# clinic header of the picture sheets (the tool's --header: the demo clinic's,
# unless the user has set one of their own) and the merge settings naming the
# second workstation (the tool's --merge-settings, written whole every time).
# TF_SITE is set to the site's folder.
tf_site_language() {
    case "${LC_ALL:-${LC_MESSAGES:-${LANG:-}}}" in
        ru*) echo ru ;;
        *) echo en ;;
    esac
}

# tf_site_make <folder> <en|ru> [demosite.exe options]: the site's data folder
# made once by the demo-site tool, with its second workstation in
# <folder>/Workstation2. A site made before it had a second workstation gets
# one, made from the site as it is.
tf_site_make() {
    local site=$1 language=$2
    shift 2
    local tool="$TF_BUILD/tools/demosite/demosite.exe"
    [ -f "$site/demo.db" ] && [ -f "$site/Workstation2/demo.db" ] && return 0
    # The build makes the tool; the provider opens no database it did not
    # create, so there is no site without it.
    [ -f "$tool" ] || { echo "no demo-site tool at $tool: build it first" >&2; return 1; }
    local options=(--schema "$(winepath -w "$TF_ROOT/site/schema.sql")" --language "$language")
    if [ -f "$site/demo.db" ]; then
        tf_log "making the second workstation of the demo site ($language) in $site/Workstation2"
        tf_site_tool "$site/Workstation2" "${options[@]}" --second-workstation-of "$(winepath -w "$site")" "$@"
    else
        tf_log "making the demo site ($language) in $site"
        tf_site_tool "$site" "${options[@]}" "$@"
    fi
}

# tf_site_tool <folder> [demosite.exe options]: the tool works in
# "<folder>.new", which is renamed into place only when the tool has
# succeeded, so a failed or killed run leaves nothing that the next run trips
# over; "dbinit.cfg" names the database where the folder will live.
tf_site_tool() {
    local folder=$1 work="$1.new"
    shift
    rm -rf "$work"
    mkdir -p "$(dirname "$folder")"
    if ! wine "$TF_BUILD/tools/demosite/demosite.exe" "$(winepath -w "$work")" \
            --final-folder "$(winepath -w "$folder")" "$@"; then
        rm -rf "$work"
        echo "the demo-site tool failed" >&2
        return 1
    fi
    # A folder without a database holds nothing of value (an older script's
    # settings folders at most).
    rm -rf "$folder"
    mv "$work" "$folder"
}

tf_site() {
    local server="${1:-}"
    local language
    language=$(tf_site_language)
    local site="$TF_BUILD/demosite-$language"
    local tool="$TF_BUILD/tools/demosite/demosite.exe"
    local cfg="$TF_ROOT/site/cfg"
    [ "$language" = ru ] || cfg="$TF_ROOT/site/cfg/$language"
    TF_SITE="$site"
    tf_site_make "$site" "$language" || return 1
    mkdir -p "$site/Cfg" "$site/Arj"
    cp "$cfg"/*.cfg "$site/Cfg/"
    # An empty journal, as an installed workstation has one: the 28-byte header
    # (creation time, capacity 10,000, count 0, UTF-16 records), then the
    # records' room, all zeros.
    if [ ! -f "$site/zelk.ju" ]; then
        perl -e 'my @t = localtime; print pack("v8 V3", $t[5] + 1900, $t[4] + 1, $t[6], $t[3], $t[2], $t[1], $t[0], 0,
                                               10000, 0, 1)' >"$site/zelk.ju"
        truncate -s $((28 + 10000 * 284)) "$site/zelk.ju"
    fi
    local key='HKLM\SOFTWARE\Marvod\TobalFluoro' w
    w=$(winepath -w "$site")
    wine reg add "$key" /v DataPath /t REG_SZ /d "$w\\" /f >/dev/null 2>&1 || return 1
    wine reg add "$key" /v CfgDir /t REG_SZ /d "$w\\Cfg\\" /f >/dev/null 2>&1
    wine reg add "$key" /v DefDir /t REG_SZ /d "$w" /f >/dev/null 2>&1
    wine reg add "$key" /v ServerName /t REG_SZ /d "$server" /f >/dev/null 2>&1
    wine reg add "$key" /v AdminUsers /t REG_SZ /d "$(id -un)" /f >/dev/null 2>&1
    wine reg add "$key\\Arj" /ve /t REG_SZ /d "$w\\Arj\\" /f >/dev/null 2>&1
    # The report menu's reports (name -> description file), in the site's language.
    wine reg delete "$key\\PrintReport" /f >/dev/null 2>&1 || true
    if [ "$language" = ru ]; then
        wine reg add "$key\\PrintReport" /v "Пациенты со снимками за период" /t REG_SZ /d ImagesPeriod.cfg /f \
            >/dev/null 2>&1
        wine reg add "$key\\PrintReport" /v "Снимки за период" /t REG_SZ /d ImagesList.cfg /f >/dev/null 2>&1
    else
        wine reg add "$key\\PrintReport" /v "Patients with images of the period" /t REG_SZ /d ImagesPeriod.cfg /f \
            >/dev/null 2>&1
        wine reg add "$key\\PrintReport" /v "Images of the period" /t REG_SZ /d ImagesList.cfg /f >/dev/null 2>&1
    fi
    wine "$tool" --header "$language" >/dev/null || return 1
    # The merge settings: "Merge databases" merges the second workstation's database into the site's.
    wine "$tool" --merge-settings "$w\\Workstation2" >/dev/null || return 1
    # The DICOM export server stand-in's one target, "PACS", receives its
    # images in the site's Dicom\ folder; its send queues live in Dicom\Spool\.
    mkdir -p "$site/Dicom/Spool"
    local dicom='HKLM\SOFTWARE\DicomExportServer'
    wine reg add "$dicom" /v Spool /t REG_SZ /d "$w\\Dicom\\Spool\\" /f >/dev/null 2>&1
    wine reg add "$dicom\\Targets" /v PACS /t REG_SZ /d "$w\\Dicom\\" /f >/dev/null 2>&1
}

TF_DISKSRV_PID=""

tf_start_disksrv() {
    wine "$TF_BUILD/tools/disksrv/disksrv.exe" >/dev/null 2>&1 &
    TF_DISKSRV_PID=$!
}

# The printing tests print real PDF files through CUPS. tf_start_cups starts
# a cupsd of this session only: its configuration, state, spool and logs live
# in the session's CUPS folder ($TF_CUPS_DIR), it listens on a local socket
# there (no network port), and Wine's libcups finds it through CUPS_SERVER.
# Two queues print through cups-pdf: "PDF" (the default) with the driver's own
# PPD, and "PDFMargins" with a copy of it whose A4 imageable area starts
# 18 x 36 points in from the paper's edge. cups-pdf reads its configuration
# from /etc/cups only, one file per instance: the session's instance is named
# after its CUPS folder, and its output folder is new for every run
# ($TF_PDF_DIR, exported for the tests). The folders of earlier runs stay:
# they hold what the user printed. Each file's name starts with its job's
# number (Label 1): documents of the same name (every picture sheet is
# "Printing Picture") never overwrite one another.
# A cupsd that cannot start fails the run here, with its log.
TF_CUPSD_PID=""
TF_CUPS_CONF=""

tf_start_cups() {
    local dir="$TF_CUPS_DIR" instance
    instance="tf$(printf '%s' "$dir" | md5sum | cut -c1-10)"
    rm -rf "$dir/etc" "$dir/state" "$dir/spool" "$dir/cache" "$dir/log"
    mkdir -p "$dir/etc/ppd" "$dir/state" "$dir/spool/tmp" "$dir/cache" "$dir/log" "$dir/gs"
    chmod 755 "$dir" "$dir/etc" "$dir/state"
    chmod 710 "$dir/spool"
    chmod 1777 "$dir/spool/tmp"
    export TF_PDF_DIR
    TF_PDF_DIR=$(mktemp -d "$dir/pdf.XXXXXX")
    chmod 777 "$TF_PDF_DIR"
    local sock="$dir/cups.sock"
    # A socket path holds at most 107 bytes.
    if [ ${#sock} -gt 100 ]; then sock=$(mktemp -u /tmp/tfcups.XXXXXX.sock); fi
    cat >"$dir/etc/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
SystemGroup root
FileDevice No
Sandboxing Relaxed
CONF
    cat >"$dir/etc/cupsd.conf" <<CONF
Listen $sock
LogLevel warn
Browsing No
WebInterface No
DefaultAuthType None
DefaultShared No
MaxJobs 0
PreserveJobHistory No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
    TF_CUPS_CONF="/etc/cups/cups-pdf-$instance.conf"
    cat >"$TF_CUPS_CONF" <<CONF
Out $TF_PDF_DIR
AnonDirName $TF_PDF_DIR
Spool $dir/spool/pdf
Log $dir/log
GSTmp $dir/gs
UserUMask 0000
Grp root
Label 1
TitlePref 0
CONF
    cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
    TF_CUPSD_PID=$!
    export CUPS_SERVER="$sock"
    local i
    for i in $(seq 1 100); do
        [ -S "$sock" ] && lpstat -r >/dev/null 2>&1 && break
        kill -0 "$TF_CUPSD_PID" 2>/dev/null || break
        sleep 0.1
    done
    if ! lpstat -r >/dev/null 2>&1; then
        echo "CUPS could not be started for the printing tests (cupsd of $dir):" >&2
        cat "$dir/log/cupsd.out" "$dir/log/error_log" 2>/dev/null | tail -20 >&2
        return 1
    fi
    local ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd
    sed 's|^\*ImageableArea A4/A4:.*|*ImageableArea A4/A4: "18 36 577 806"|' "$ppd" >"$dir/margins.ppd"
    lpadmin -p PDF -E -v "cups-pdf:/$instance" -P "$ppd" -o PageSize=A4 &&
        lpadmin -p PDFMargins -E -v "cups-pdf:/$instance" -P "$dir/margins.ppd" -o PageSize=A4 &&
        lpadmin -d PDF || { echo "the cups-pdf queues could not be set up" >&2; return 1; }
    tf_log "cupsd on $sock (pid $TF_CUPSD_PID), PDF files in $TF_PDF_DIR"
}

tf_stop() {
    if [ -n "$TF_CUPSD_PID" ]; then
        kill "$TF_CUPSD_PID" 2>/dev/null || true
        wait "$TF_CUPSD_PID" 2>/dev/null || true
        TF_CUPSD_PID=""
        [ -n "$TF_CUPS_CONF" ] && rm -f "$TF_CUPS_CONF"
    fi
    if [ -n "$TF_DISKSRV_PID" ]; then
        kill "$TF_DISKSRV_PID" 2>/dev/null || true
        wait "$TF_DISKSRV_PID" 2>/dev/null || true
        TF_DISKSRV_PID=""
    fi
    if [ -n "$TF_WINESERVER_PID" ]; then
        # Every program of the prefix ends with its wineserver (services.exe and
        # the like outlive a wineserver killed alone); the prefix is the
        # session's, so they are all this script's.
        if [ -n "$TF_SESSION" ]; then
            wineserver -k >/dev/null 2>&1 || true
        else
            kill "$TF_WINESERVER_PID" 2>/dev/null || true
        fi
        wait "$TF_WINESERVER_PID" 2>/dev/null || true
        TF_WINESERVER_PID=""
    fi
    if [ -n "$TF_XVFB_PID" ]; then
        kill "$TF_XVFB_PID" 2>/dev/null || true
        wait "$TF_XVFB_PID" 2>/dev/null || true
        TF_XVFB_PID=""
    fi
}

# The pixel code natively (g++, -fsanitize=address,undefined) in $TF_BUILD/native;
# its tests are named "native.". Returns ctest's status.
tf_native() {
    local dir="$TF_BUILD/native"
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$TF_ROOT/tests/native" -B "$dir" >/dev/null || return 1
    fi
    cmake --build "$dir" -j "$TF_JOBS" || return 1
    (cd "$dir" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest -j "$TF_JOBS" --output-on-failure --no-tests=error)
}
