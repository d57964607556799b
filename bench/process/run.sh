#!/usr/bin/env bash
# Whole-process figures of the full-screen saver ("/S") on a virtual X display:
# CPU time, peak memory and the time to the first full-screen frame, for the
# Linux program (Qt) and for vellora.scr under Wine, each beside the same
# figures with VELLORA_DECODE_EVERY_LOAD=1 (the picture file decoded again on
# every tick), measured in the same run. The picture is a 3840x2160 JPEG made
# here (gradient and noise: a hard one to decode); the first frame is also
# timed with a photo-like 3840x2160 JPEG (plasma), five starts each. The X
# server's own CPU is shown too, and the least a full-screen repaint can cost
# on this machine (one screen's worth of pixels copied after 400 ms idle).
# Not a test: it prints a table.
#
#   bench/process/run.sh [--seconds 30] [--screen 1920x1080] [--platforms "qt wine"]
#
# Binaries: $VELLORA_QT (default build/default/vellora) and $VELLORA_SCR
# (default build/windows/bin/vellora.scr); a platform whose binary is
# missing is left out.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
SECONDS_RUN=30
SCREEN=1920x1080
PLATFORMS="qt wine"
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) SECONDS_RUN=$2; shift 2 ;;
    --screen) SCREEN=$2; shift 2 ;;
    --platforms) PLATFORMS=$2; shift 2 ;;
    *) echo "usage: $0 [--seconds N] [--screen WxH] [--platforms \"qt wine\"]" >&2; exit 2 ;;
  esac
done
QT_BIN=${VELLORA_QT:-$ROOT/build/default/vellora}
SCR_BIN=${VELLORA_SCR:-$ROOT/build/windows/bin/vellora.scr}
# Steady state: from this many seconds after the start to the end.
SETTLE=8
[ "$SECONDS_RUN" -gt $((SETTLE + 4)) ] || { echo "run for more than $((SETTLE + 4)) s" >&2; exit 2; }

for tool in Xvfb convert cc; do
  command -v "$tool" >/dev/null || { echo "bench-process: $tool is missing" >&2; exit 1; }
done

WORK=$(mktemp -d /tmp/vpb.XXXXXX)
STATE=$ROOT/build/process-bench
mkdir -p "$STATE"
XVFB_PID=""
APP_PID=""
cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
  if [ -n "${WINESERVER:-}" ] && [ -n "${WINEPREFIX:-}" ]; then "$WINESERVER" -k >/dev/null 2>&1 || true; fi
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

W=${SCREEN%x*}
H=${SCREEN#*x}
# The background colour RGB(32, 96, 160) as the settings file holds it (red in the low byte).
HUE_RGB=2060a0
HUE=$((0xa0 * 65536 + 0x60 * 256 + 0x20))

cc -O2 -o "$WORK/first_frame" "$ROOT/bench/process/first_frame.c" -lX11
cc -O2 -o "$WORK/cold_blit" "$ROOT/bench/process/cold_blit.c"

echo "making a 3840x2160 JPEG (gradient and noise)..." >&2
convert -size 3840x2160 gradient:'#203040'-'#f0c080' -attenuate 0.6 +noise Gaussian -quality 90 "$WORK/picture.jpg"
convert -size 3840x2160 -seed 7 plasma:fractal -quality 90 "$WORK/photo.jpg"

display=70
while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 "${SCREEN}x24" -br -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X${display}" ] && break; sleep 0.1; done
export DISPLAY=":$display"

ticks() { # utime + stime of a process, in clock ticks (0 when it is gone)
  awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat" 2>/dev/null || echo 0
}
hwm_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }
HZ=$(getconf CLK_TCK)

# Where the first frame is checked: a corner that shows the background, and
# the middle of the screen, which the picture covers.
PROBE_ARGS=($HUE_RGB 2 2 $((W / 2)) $((H / 2)) 20)

# measure NAME: runs the prepared command line ("${CMD[@]}") for SECONDS_RUN
# seconds and sets cpu_total, cpu_steady (% of one core), rss_mb, first_ms.
# EXTRA_PID_FN, when set, names a function that prints more pids whose CPU counts.
measure() {
  local t0 t_first start_ticks extra_start extra_end end_ticks mid_ticks mid_extra app
  for _ in $(seq 1 50); do xdotool mousemove 0 0 2>/dev/null && break; sleep 0.1; done || true
  extra_start=$(extra_ticks)
  t0=$(date +%s%N)
  "${CMD[@]}" >"$WORK/app.log" 2>&1 </dev/null &
  APP_PID=$!
  t_first=$("$WORK/first_frame" "${PROBE_ARGS[@]}" || true)
  if [ "$t_first" = timeout ] || [ -z "$t_first" ]; then first_ms=NA; else first_ms=$(((t_first - t0) / 1000000)); fi
  app=$(app_pid)
  sleep $((SETTLE - 0))
  mid_ticks=$(ticks "$app")
  mid_extra=$(extra_ticks)
  local mid_x end_x
  mid_x=$(ticks "$XVFB_PID")
  local mid_time
  mid_time=$(date +%s%N)
  local now
  now=$(date +%s%N)
  local left=$((SECONDS_RUN * 1000 - (now - t0) / 1000000))
  [ "$left" -gt 0 ] && sleep "$(awk -v ms="$left" 'BEGIN { printf "%.3f", ms / 1000 }')"
  end_ticks=$(ticks "$app")
  extra_end=$(extra_ticks)
  end_x=$(ticks "$XVFB_PID")
  local end_time
  end_time=$(date +%s%N)
  rss_mb=$(awk -v kb="$(hwm_kb "$app")" 'BEGIN { printf "%.1f", kb / 1024 }')
  if ! kill -0 "$app" 2>/dev/null; then echo "bench-process: $1 ended early; its output:" >&2; cat "$WORK/app.log" >&2; fi
  kill "$APP_PID" 2>/dev/null || true
  [ "$app" != "$APP_PID" ] && kill "$app" 2>/dev/null || true
  wait "$APP_PID" 2>/dev/null || true
  APP_PID=""
  after_run
  cpu_total=$(awk -v t=$((end_ticks + extra_end - extra_start)) -v hz="$HZ" 'BEGIN { printf "%.2f", t / hz }')
  cpu_steady=$(awk -v t=$((end_ticks - mid_ticks + extra_end - mid_extra)) -v hz="$HZ" \
    -v ns=$((end_time - mid_time)) 'BEGIN { printf "%.2f", 100 * (t / hz) / (ns / 1e9) }')
  x_steady=$(awk -v t=$((end_x - mid_x)) -v hz="$HZ" \
    -v ns=$((end_time - mid_time)) 'BEGIN { printf "%.2f", 100 * (t / hz) / (ns / 1e9) }')
}

# first_frames: starts the prepared command five times and sets first_ms to
# the median time from start to the first full-screen frame.
first_frames() {
  local times=() t0 t
  for _ in 1 2 3 4 5; do
    for _ in $(seq 1 50); do xdotool mousemove 0 0 2>/dev/null && break; sleep 0.1; done || true
    t0=$(date +%s%N)
    "${CMD[@]}" >"$WORK/app.log" 2>&1 </dev/null &
    APP_PID=$!
    t=$("$WORK/first_frame" "${PROBE_ARGS[@]}" || true)
    if [ "$t" != timeout ] && [ -n "$t" ]; then times+=($(((t - t0) / 1000000))); fi
    local app
    app=$(app_pid)
    kill "$APP_PID" 2>/dev/null || true
    [ "$app" != "$APP_PID" ] && kill "$app" 2>/dev/null || true
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=""
    after_run
  done
  if [ ${#times[@]} -eq 0 ]; then first_ms=NA; else first_ms=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((${#times[@]} + 1) / 2))p"); fi
}

ROWS=()
row() { # platform figure ours every unit
  local ratio
  ratio=$(awk -v a="$3" -v b="$4" 'BEGIN { if (a == "NA" || b == "NA") print "NA"; else if (a + 0 == 0) print (b + 0 == 0 ? "1.0" : "inf"); else printf "%.1f", b / a }')
  ROWS+=("$(printf '%-6s | %-42s | %12s | %18s | %6s' "$1" "$2" "$3 $5" "$4 $5" "$ratio")")
}

run_pair() { # platform
  use_picture "$WORK/picture.jpg"
  measure "$1 (cached)"
  local c_total=$cpu_total c_steady=$cpu_steady c_x=$x_steady c_rss=$rss_mb c_first=$first_ms
  export VELLORA_DECODE_EVERY_LOAD=1
  measure "$1 (decode every tick)"
  local e_total=$cpu_total e_steady=$cpu_steady e_x=$x_steady e_rss=$rss_mb e_first=$first_ms
  use_picture "$WORK/photo.jpg"
  first_frames
  local e_photo=$first_ms
  unset VELLORA_DECODE_EVERY_LOAD
  first_frames
  local c_photo=$first_ms
  row "$1" "CPU over ${SECONDS_RUN} s" "$c_total" "$e_total" s
  row "$1" "steady CPU (${SETTLE}-${SECONDS_RUN} s, % of a core)" "$c_steady" "$e_steady" %
  row "$1" "  X server's steady CPU beside it" "$c_x" "$e_x" %
  row "$1" "peak RSS (VmHWM)" "$c_rss" "$e_rss" MiB
  row "$1" "start to first full-screen frame" "$c_first" "$e_first" ms
  row "$1" "  the same, photo-like JPEG (median of 5)" "$c_photo" "$e_photo" ms
}

for platform in $PLATFORMS; do
  case $platform in
    qt)
      [ -x "$QT_BIN" ] || { echo "bench-process: no $QT_BIN, Qt left out" >&2; continue; }
      export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/cfg XDG_DATA_HOME=$WORK/dat XDG_RUNTIME_DIR=$WORK/run
      mkdir -p "$HOME" "$XDG_CONFIG_HOME/vellora" "$XDG_DATA_HOME/vellora" "$XDG_RUNTIME_DIR"
      chmod 700 "$XDG_RUNTIME_DIR"
      use_picture() { printf '[Color]\nhue=%s\n[Image]\nname=%s\n' "$HUE" "$1" >"$XDG_CONFIG_HOME/vellora/vellora.ini"; }
      export VELLORA_LOCK=0
      unset VELLORA_TRACE QT_QPA_PLATFORM
      CMD=("$QT_BIN" /S)
      app_pid() { echo "$APP_PID"; }
      extra_ticks() { echo 0; }
      after_run() { :; }
      run_pair qt
      ;;
    wine)
      [ -f "$SCR_BIN" ] || { echo "bench-process: no $SCR_BIN, Wine left out" >&2; continue; }
      export WINEPREFIX=$STATE/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
      WINE=/usr/lib/wine/wine64
      [ -x "$WINE" ] || WINE=$(command -v wine)
      WINESERVER=/usr/lib/wine/wineserver64
      [ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver)
      if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "making the Wine prefix (once)..." >&2
        "$WINE" wineboot -i >/dev/null 2>&1 || true
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
        "$WINESERVER" -w
      fi
      # A server left running for this prefix (an earlier run stopped short) goes first.
      "$WINESERVER" -k >/dev/null 2>&1 || true
      "$WINESERVER" -w >/dev/null 2>&1 || true
      "$WINESERVER" -p
      # Wine's own helper processes start once, before anything is measured.
      "$WINE" cmd /c exit >/dev/null 2>&1 || true
      use_picture() {
        local dos_pic="Z:${1//\//\\}"
        printf '[Color]\r\nhue=%s\r\n[Image]\r\nname=%s\r\n' "$HUE" "$dos_pic" >"$WINEPREFIX/drive_c/windows/vellora.ini"
      }
      "$WINE" reg delete 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /f >/dev/null 2>&1 || true
      CMD=("$WINE" "$SCR_BIN" /S)
      app_pid() { # the .scr's own process (Wine may start it through a loader)
        local p
        for _ in $(seq 1 50); do
          p=$(pgrep -f 'vellora\.scr' | grep -v "^$$\$" | sort -n | tail -1 || true)
          [ -n "$p" ] && { echo "$p"; return; }
          sleep 0.1
        done
        echo "$APP_PID"
      }
      # The wineserver, which does much of a Wine program's work: the one of this prefix (its folder is named
      # after the prefix's device and inode), not one that runs for another prefix.
      server=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
      SERVER_PID=0
      for p in $(pgrep -x "$(basename "$WINESERVER")"); do
        [ "$(basename "$(readlink "/proc/$p/cwd")")" = "$server" ] && SERVER_PID=$p
      done
      [ "$SERVER_PID" != 0 ] || echo "bench-process: this prefix's wineserver was not found; its CPU is left out" >&2
      extra_ticks() { ticks "$SERVER_PID"; }
      after_run() { sleep 1; }
      run_pair wine
      ;;
    *) echo "bench-process: unknown platform $platform" >&2 ;;
  esac
done

read -r blit_cold blit_warm < <("$WORK/cold_blit" "$W" "$H")
floor=$(awk -v ms="$blit_cold" 'BEGIN { printf "%.2f", ms * 2.5 / 10 }')

echo
echo "Screen ${SCREEN} (Xvfb, 24 bit), picture 3840x2160 JPEG, ${SECONDS_RUN} s of \"/S\" per column;"
echo "CPU = utime+stime from /proc (Wine: the .scr process plus the wineserver);"
echo "first frame = polling two screen pixels (XGetImage every 2 ms) until the corner shows"
echo "the background colour and the middle shows the picture."
printf '%-6s | %-42s | %12s | %18s | %6s\n' platform figure Vellora decode-every-tick ratio
printf '%s\n' "-------+--------------------------------------------+--------------+--------------------+-------"
printf '%s\n' "${ROWS[@]}"
echo
echo "The least a tick's full-screen repaint can cost here: one ${W}x${H} copy out of the picture"
echo "takes ${blit_cold} ms after 400 ms idle (${blit_warm} ms back to back); at 2.5 ticks a second"
echo "that alone is ${floor} % of a core. Steady-CPU target: <= 0.5 % and >= 20x below decode-every-tick."
