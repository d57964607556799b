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
# use_prefix DIR: the Wine prefix the next programs run in, and its files.
use_prefix() {
    export WINEPREFIX=$1
    INI="$WINEPREFIX/drive_c/windows/vellora.ini"
    # The user's own copy, once the Windows directory could not be written.
    USER_INI="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Vellora/vellora.ini"
}
use_prefix "$WINEPREFIX"
STARTED_PIDS=()
AT_EXIT=()

log() { echo "[$(date +%T)] $*"; }

# at_exit COMMAND...: runs when the script ends, however it ends (after
# the programs it started are gone).
at_exit() {
    local step
    printf -v step '%q ' "$@"
    AT_EXIT+=("$step")
}

cleanup() {
    local pid step
    for pid in "${STARTED_PIDS[@]:-}"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    done
    for step in "${AT_EXIT[@]:-}"; do
        [ -n "$step" ] && eval "$step" || true
    done
}
trap cleanup EXIT

fail() {
    log "FAIL: $*"
    import -window root "$OUT/failure.png" 2>/dev/null || true
    host windows > "$OUT/failure-windows.txt" 2>&1 || true
    exit 1
}

# start_program PROGRAM ARGS...: runs a Windows program in the background; sets SCR_PID.
start_program() {
    "$WINE" "$@" >>"$OUT/scr.log" 2>&1 </dev/null &
    SCR_PID=$!
    STARTED_PIDS+=("$SCR_PID")
    log "started $* as $SCR_PID"
}

# Starts the saver with the given arguments in the background; sets SCR_PID.
start_scr() { start_program "$VELLORA_SCR" "$@"; }

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

ini_value() { # ini_value SECTION KEY [FILE]: the value in vellora.ini (or FILE), or nothing
    local file=${3:-$INI}
    [ -f "$file" ] || return 0
    tr -d '\r' <"$file" | awk -v s="[$1]" -v k="$2" 'tolower($0)==tolower(s){inside=1;next} /^\[/{inside=0} inside && index(tolower($0),tolower(k)"=")==1{print substr($0,length(k)+2)}'
}

reg() { "$WINE" reg "$@" >/dev/null 2>&1; }
reg_query() { "$WINE" reg query "$@" 2>/dev/null | tr -d '\r'; }

# reg_value KEY NAME: the data of a registry value as text; fails when there is none.
reg_value() {
    reg_query "$1" /v "$2" | awk -v n="$2" '
        index($0, "    " n "    REG_") == 1 { sub(/^    .*    REG_[A-Z_]+/, ""); sub(/^    /, ""); print; found = 1 }
        END { exit !found }'
}

# The saver's stored password (encoded), as the registry holds it.
stored_password() { reg_value 'HKCU\Software\Samples\Oskel Screen Saver' Password || echo "<none>"; }

fresh_state() {
    rm -f "$INI"
    rm -rf "$(dirname "$USER_INI")"
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

SETUP_TITLE="VELLORA Screen Saver Setup"

# Starts "/C" and waits for the top-most setup dialog.
open_setup() {
    start_scr /C
    wait_window "$SETUP_TITLE" 20 >/dev/null || fail "the setup dialog did not appear"
    wait_host_line "title=\"$SETUP_TITLE\" .* topmost=1" 5 || fail "the setup dialog is not top-most"
}

# pick_colour ROW COLUMN: clicks a basic colour of the open colour dialog,
# prints its decimal value (red in the low byte), and confirms it.
pick_colour() {
    local grid l t r b x y rgb cr cg cb
    wait_window "Color" 10 >/dev/null || fail "no colour dialog"
    grid=$(host windows | awk '/^window/ { inside = index($0, "title=\"Color\"") > 0; next }
        inside && /child class=Static text="" .*visible=1/ { print substr($0, index($0, "rect=") + 5); exit }')
    read -r l t r b <<<"$(echo "$grid" | tr ',' ' ' | awk '{print $1, $2, $3, $4}')"
    x=$((l + (r - l) * (2 * $2 + 1) / 16))
    y=$((t + (b - t) * (2 * $1 + 1) / 12))
    xdotool mousemove "$x" "$y" click 1
    sleep 0.3
    rgb=$(pixel "$(shot colour-dialog)" "$x" "$y")
    IFS=, read -r cr cg cb <<<"$rgb"
    click_child "Color" "OK"
    echo $((cr + cg * 256 + cb * 65536))
}

# child_rect TITLE TEXT: "L T R B" of that child window.
child_rect() {
    host windows | awk -v t="title=\"$1\"" -v c="text=\"$2\"" '
        /^window/ { inside = index($0, t) > 0; next }
        inside && index($0, c) > 0 { split(substr($0, index($0, "rect=") + 5), r, /[, ]/); print r[1], r[2], r[3], r[4]; exit }'
}
