# The end-to-end tests' library, the same for both programs: a work folder
# (kept when a test fails), steps at exit, one polling helper, input through
# xdotool, screenshots and pixel checks, the settings file and picture files.
# The platform's adapter (linux/adapter.sh, windows/adapter.sh) adds the rest.
set -euo pipefail

# need TOOL...: the test is skipped (77) without them.
need() { for tool; do command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }; done; }
need xdotool import convert compare

WORK=$(mktemp -d /tmp/ve.XXXXXX) PIDS=() AT_EXIT=() FAILED=0

started() { PIDS+=("$1"); }  # a process of the test's, ended at exit

# at_exit COMMAND...: runs when the test ends, however it ends, after its processes.
at_exit() { AT_EXIT+=("$(printf '%q ' "$@")"); }

cleanup() {
  local pid step
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  for step in "${AT_EXIT[@]}"; do eval "$step" || true; done
  if [ "$FAILED" -eq 0 ]; then rm -rf "$WORK"; else echo "kept for inspection: $WORK"; fi
}
trap cleanup EXIT

fail() {
  FAILED=1
  echo "FAIL: $*" >&2
  import -window root "$WORK/failure.png" 2>/dev/null || true
  on_failure >&2 || true
  exit 1
}

pass() { echo "ok: $*"; }

# wait_until CONDITION [SECONDS]: evaluates the condition until it holds, for
# up to the time (10 s by default).
wait_until() {
  local _end=$((${EPOCHREALTIME/./} + ${2:-10} * 1000000))
  until eval "$1"; do
    [ "${EPOCHREALTIME/./}" -lt "$_end" ] || return 1
    sleep 0.1
  done
}

# The program: APP_PID is the copy started last.
running() { kill -0 "${1:-$APP_PID}" 2>/dev/null; }

# ended [SECONDS]: the program ends in time, and with status 0.
ended() {
  wait_until '! running' "${1:-10}" || return 1
  wait "$APP_PID" || fail "the program ended with status $?"
}

# Input. Each first marks the moment (see the adapter's wait_shown).
key() { mark; xdotool key --delay 40 "$@"; }
type_in() { mark; xdotool type --delay 40 "$1"; }
move() { mark; xdotool mousemove "$1" "$2"; }
click() { mark; xdotool mousemove "$1" "$2" click 1; }

# window TITLE [SECONDS]: waits for a visible window of exactly that title and
# gives it the keyboard, as a window manager would; its id in $WIN.
window() {
  local _title=$1
  wait_until 'WIN=$(windows_titled "$_title" | head -n1); [ -n "$WIN" ]' "${2:-20}" || return 1
  timeout 2 xdotool windowfocus --sync "$WIN" 2>/dev/null || xdotool windowfocus "$WIN" 2>/dev/null || true
}
windows_titled() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }  # their ids

# xephyr: a display of two heads of 800 x 600 side by side (Xinerama), in a
# window of the display so far, for what follows.
xephyr() {
  need Xephyr
  Xephyr -displayfd 4 +xinerama -screen 800x600 -screen 800x600 -noreset -nolisten tcp \
    4>"$WORK/xephyr" 2>"$WORK/xephyr.log" &
  started $!
  wait_until '[ -s "$WORK/xephyr" ]' || fail "Xephyr did not start: $(cat "$WORK/xephyr.log")"
  export DISPLAY=":$(head -n1 "$WORK/xephyr")"
  wait_until 'xdotool getmouselocation >/dev/null 2>&1' || fail "Xephyr does not answer"
  SCREEN_W=1600 SCREEN_H=600
}

shot() { import -window root "$WORK/$1.png" && echo "$WORK/$1.png"; }

# pixel FILE X Y: the colour there as "r,g,b".
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }

# pixels_not FILE WxH+X+Y R,G,B: how many pixels of the region are not that colour.
pixels_not() {
  convert "$1" -crop "$2" +repage "$WORK/region.png"
  convert -size "${2%%+*}" "xc:rgb($3)" "$WORK/plain.png"
  compare -metric AE "$WORK/region.png" "$WORK/plain.png" null: 2>&1 | awk '{ printf "%d", $1 }' || true
}

# box_of FILE R,G,B: where the pixels of that colour lie ("WxH+X+Y").
box_of() { convert "$1" -fill black +opaque "rgb($2)" -bordercolor black -border 1 -trim -format '%wx%h+%X+%Y' info:; }

# Picture files: bmp W H RRGGBB OUT, huge-bmp W H OUT, wmf W H INCH OUT.
picture() { "${VELLORA_MAKE_PICTURE:?the picture writer}" "$@" || fail "no picture $*"; }

# settings HUE PICTURE: the settings file; a picture given as a path of this
# machine is written the way the program names it.
settings() {
  local name=$2
  [[ $name != /* ]] || name=$(native "$name")
  mkdir -p "$(dirname "$SETTINGS")"
  printf '[Color]%s\nhue=%s%s\n[Image]%s\nname=%s%s\n' "$EOL" "$1" "$EOL" "$EOL" "$name" "$EOL" >"$SETTINGS"
}

# setting KEY [FILE]: a value of the settings file.
setting() { tr -d '\r' <"${2:-$SETTINGS}" | sed -n "s/^$1=//p"; }
