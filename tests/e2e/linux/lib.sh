# Shared helpers of the Linux end-to-end tests: each test runs the real
# program on an Xvfb of its own, with its own settings folders, drives it with
# xdotool and checks what it shows on screenshots.
# Usage in a test: source lib.sh "$VELLORA"; start_xvfb 800 600; ...
set -euo pipefail

VELLORA=${1:?usage: test.sh path/to/vellora}
for tool in Xvfb xdotool import convert compare; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done

# A short folder name: the settings file keeps picture paths of up to 24 characters.
WORK=$(mktemp -d /tmp/ve.XXXXXX)
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/cfg XDG_DATA_HOME=$WORK/dat XDG_RUNTIME_DIR=$WORK/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME/vellora" "$XDG_DATA_HOME/vellora" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export VELLORA_TRACE=$WORK/trace.log
: >"$VELLORA_TRACE"
unset XSCREENSAVER_WINDOW VELLORA_LOCK QT_QPA_PLATFORM
PIDS=()
FAILED=0

cleanup() {
  local pid
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ "$FAILED" -eq 0 ]; then rm -rf "$WORK"; else echo "kept for inspection: $WORK"; fi
}
trap cleanup EXIT

fail() {
  FAILED=1
  echo "FAIL: $*" >&2
  echo "--- trace:" >&2
  cat "$VELLORA_TRACE" >&2 || true
  exit 1
}

pass() { echo "ok: $*"; }

# Polls a command until it succeeds, for up to $2 seconds (default 10).
wait_until() {
  local condition=$1 limit=${2:-10} waited=0
  until eval "$condition"; do
    sleep 0.1
    waited=$((waited + 1))
    [ "$waited" -lt $((limit * 10)) ] || return 1
  done
}

start_xvfb() {
  local width=$1 height=$2
  Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -nolisten tcp -noreset 3>"$WORK/display" 2>"$WORK/xvfb.log" &
  PIDS+=($!)
  wait_until '[ -s "$WORK/display" ]' 10 || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$WORK/display")"
  wait_until 'xdotool getmouselocation >/dev/null 2>&1' 10 || fail "Xvfb does not answer"
}

# Starts the program in the background; its pid is in $APP_PID.
start_vellora() {
  "$VELLORA" "$@" >>"$WORK/vellora.log" 2>&1 &
  APP_PID=$!
  PIDS+=("$APP_PID")
}

running() { kill -0 "$1" 2>/dev/null; }

# Waits for a line matching a pattern (grep -E) in the program's trace.
wait_trace() {
  local pattern=$1 limit=${2:-10} waited=0
  until grep -qE -- "$pattern" "$VELLORA_TRACE"; do
    sleep 0.1
    waited=$((waited + 1))
    [ "$waited" -lt $((limit * 10)) ] || return 1
  done
}

trace_count() { grep -cE -- "$1" "$VELLORA_TRACE" || true; }

# Waits for a window with this exact title and prints its id.
window_named() {
  local title=$1 limit=${2:-10} id=""
  wait_until "id=\$(xdotool search --name '^${title}\$' 2>/dev/null | head -n1); [ -n \"\$id\" ]" "$limit" || return 1
  echo "$id"
}

shot() {
  import -window root "$WORK/$1.png"
  echo "$WORK/$1.png"
}

# The colour of one pixel as "r,g,b".
pixel() {
  convert "$1" -format '%[fx:int(255*p{'"$2"','"$3"'}.r)],%[fx:int(255*p{'"$2"','"$3"'}.g)],%[fx:int(255*p{'"$2"','"$3"'}.b)]' info:
}

# How many pixels of a region (WxH+X+Y) differ from the colour "r,g,b".
pixels_not() {
  convert "$1" -crop "$2" +repage "$WORK/region.png"
  convert -size "${2%%+*}" "xc:rgb($3)" "$WORK/plain.png"
  compare -metric AE "$WORK/region.png" "$WORK/plain.png" null: 2>&1 | awk '{ printf "%d", $1 }' || true
}

# How many pixels differ between two screenshots.
differing() { compare -metric AE "$1" "$2" null: 2>&1 || true; }

# A host window of another program (xev's), of the given size; its id in $HOST_ID.
start_host() {
  local geometry=$1
  command -v xev >/dev/null 2>&1 || { echo "SKIP: xev is not installed"; exit 77; }
  # Each host writes its own log: a second host must not read the first one's window.
  HOST_LOG=$(mktemp "$WORK/xev.XXXXXX")
  xev -geometry "$geometry" -event structure >"$HOST_LOG" 2>&1 &
  HOST_PID=$!
  PIDS+=("$HOST_PID")
  wait_until 'grep -q "Outer window is" "$HOST_LOG"' 10 || fail "host window did not appear"
  HOST_ID=$(sed -n 's/^Outer window is \(0x[0-9a-fA-F]*\).*/\1/p' "$HOST_LOG" | head -n1)
  wait_until "xwininfo -id $HOST_ID 2>/dev/null | grep -q IsViewable" 10 || fail "host window not mapped"
}

# Writes the settings file.
write_settings() {
  printf '[Color]\nhue=%s\n[Image]\nname=%s\n' "$1" "$2" >"$XDG_CONFIG_HOME/vellora/vellora.ini"
}

# The Debian package: the files it installs (relative to /), and a script
# that makes it from the build the program under test belongs to.
PACKAGE_FILES=(
  usr/bin/vellora usr/libexec/xscreensaver/vellora usr/share/xscreensaver/config/vellora.xml
  usr/share/vellora/imgx.bmp usr/share/vellora/vellora.hlp usr/share/applications/vellora-settings.desktop
  usr/share/icons/hicolor/16x16/apps/vellora.png usr/share/icons/hicolor/32x32/apps/vellora.png
  usr/share/man/man1/vellora.1.gz usr/share/doc/vellora/copyright usr/share/doc/vellora/changelog.gz
)

# Makes the package into a folder; its path is in $PACKAGE.
make_package() {
  local here tool
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  for tool in dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  "$here/../../../packaging/linux/make-deb.sh" "$(dirname "$(realpath "$VELLORA")")" "$1" \
    >"$WORK/make-deb.log" 2>&1 || fail "the package could not be made: $(cat "$WORK/make-deb.log")"
  PACKAGE=$(tail -n1 "$WORK/make-deb.log")
}
