# Shared steps of the Windows end-to-end tests: run vellora.scr under Wine on
# the virtual display, drive it with xdotool, look at it with screenshots and
# with the test host program. Every wait polls with a time limit.
set -euo pipefail

: "${VELLORA_SCR:?path of vellora.scr}"
: "${VELLORA_HOST:?path of e2e_host.exe}"
: "${WINEPREFIX:?the Wine prefix}"
: "${DISPLAY:?an X display}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINE=${VELLORA_WINE:-/usr/lib/wine/wine64}
[ -x "$WINE" ] || WINE=$(command -v wine)
CONVERT=/usr/bin/convert
[ -x "$CONVERT" ] || CONVERT=$(command -v convert)
OUT=${VELLORA_E2E_OUT:-/tmp/vellora-e2e}/$(basename "$0" .sh)
mkdir -p "$OUT"
INI="$WINEPREFIX/drive_c/windows/vellora.ini"
STARTED_PIDS=()

log() { echo "[$(date +%T)] $*"; }

cleanup() {
    local pid
    for pid in "${STARTED_PIDS[@]:-}"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

fail() {
    log "FAIL: $*"
    import -window root "$OUT/failure.png" 2>/dev/null || true
    host windows > "$OUT/failure-windows.txt" 2>&1 || true
    exit 1
}

# Starts the saver with the given arguments in the background; sets SCR_PID.
start_scr() {
    "$WINE" "$VELLORA_SCR" "$@" >>"$OUT/scr.log" 2>&1 </dev/null &
    SCR_PID=$!
    STARTED_PIDS+=("$SCR_PID")
    log "started vellora.scr $* as $SCR_PID"
}

host() { "$WINE" "$VELLORA_HOST" "$@" 2>/dev/null </dev/null | tr -d '\r'; }

running() { kill -0 "$1" 2>/dev/null; }

# wait_ended PID SECONDS: the process is gone within the time.
wait_ended() {
    local pid=$1 limit=$2 i
    for ((i = 0; i < limit * 20; i++)); do
        running "$pid" || { wait "$pid" 2>/dev/null || true; return 0; }
        sleep 0.05
    done
    return 1
}

# wait_window TITLE SECONDS: prints the X window id of a window with that exact title.
wait_window() {
    local title=$1 limit=$2 i id
    for ((i = 0; i < limit * 10; i++)); do
        id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -1 || true)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# wait_host_line PATTERN SECONDS: a line of the window list matches.
wait_host_line() {
    local pattern=$1 limit=$2 i
    for ((i = 0; i < limit * 4; i++)); do
        if host windows | grep -qE -- "$pattern"; then return 0; fi
        sleep 0.25
    done
    return 1
}

# Gives the window the X input focus, as a window manager would.
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1" 2>/dev/null || true; }

shot() { import -window root "$OUT/$1.png"; echo "$OUT/$1.png"; }

# pixel FILE X Y: the colour as "R,G,B".
pixel() { "$CONVERT" "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }

# count_color FILE R,G,B [CROP]: how many pixels have the colour.
count_color() {
    local file=$1 color=$2 crop=${3:-}
    local args=()
    [ -n "$crop" ] && args=(-crop "$crop" +repage)
    "$CONVERT" "$file" "${args[@]}" -fill black +opaque "rgb($color)" -fill white -opaque "rgb($color)" \
        -format "%[fx:int(mean*w*h+0.5)]" info:
}

# box_of FILE R,G,B: the bounding box "WxH+X+Y" of the pixels of that colour.
box_of() {
    "$CONVERT" "$1" -fill black +opaque "rgb($2)" -fill white -opaque "rgb($2)" -trim -format "%wx%h+%X+%Y" info:
}

ini_value() { # ini_value SECTION KEY: the value in vellora.ini, or nothing
    [ -f "$INI" ] || return 0
    tr -d '\r' <"$INI" | awk -v s="[$1]" -v k="$2" 'tolower($0)==tolower(s){inside=1;next} /^\[/{inside=0} inside && index(tolower($0),tolower(k)"=")==1{print substr($0,length(k)+2)}'
}

reg() { "$WINE" reg "$@" >/dev/null 2>&1; }
reg_query() { "$WINE" reg query "$@" 2>/dev/null | tr -d '\r'; }

# The saver's stored password (encoded), as the registry holds it.
stored_password() {
    reg_query 'HKCU\Software\Samples\Oskel Screen Saver' /v Password | awk '/Password/ {sub(/.*REG_SZ[ \t]*/, ""); print; f=1} END {if (!f) print "<none>"}'
}

fresh_state() {
    rm -f "$INI"
    reg delete 'HKCU\Software\Samples' /f || true
    reg delete 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /f || true
}

# A unix path as Wine's Z: drive names it.
dos_path() { echo "Z:${1//\//\\}"; }

# child_center TITLE TEXT: "X Y", the centre of the child window with that
# text in the visible top-level window with that title.
child_center() {
    host windows | awk -v t="title=\"$1\"" -v c="text=\"$2\"" '
        /^window/ { inside = index($0, t) > 0; next }
        inside && index($0, c) > 0 { split(substr($0, index($0, "rect=") + 5), r, /[, ]/); print int((r[1] + r[3]) / 2), int((r[2] + r[4]) / 2); exit }'
}

# click_child TITLE TEXT: a mouse click on that child window.
click_child() {
    local at
    at=$(child_center "$1" "$2")
    [ -n "$at" ] || fail "no \"$2\" in \"$1\""
    # shellcheck disable=SC2086
    xdotool mousemove $at click 1
}

# child_rect TITLE TEXT: "L T R B" of that child window.
child_rect() {
    host windows | awk -v t="title=\"$1\"" -v c="text=\"$2\"" '
        /^window/ { inside = index($0, t) > 0; next }
        inside && index($0, c) > 0 { split(substr($0, index($0, "rect=") + 5), r, /[, ]/); print r[1], r[2], r[3], r[4]; exit }'
}
