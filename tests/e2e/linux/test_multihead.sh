#!/usr/bin/env bash
# "/S" on two monitors side by side: the saver covers both heads in the
# configured colour, the password prompt is centred on the primary head, and
# the pointer counts from the primary head's corner. Two kinds of display:
# RandR monitors on one Xvfb screen (the primary, on the output, is the right
# one), and Xephyr's Xinerama heads, which Qt lists as a single screen.
source "$(dirname "$0")/lib.sh" "$1"
for tool in xrandr Xephyr; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
write_settings 4227072 ""   # rgb(0,128,64), no picture
# "abc" encoded is "SX]"; the store writes "]" escaped.
printf '[Samples\\Oskel Screen Saver]\nPassword=SX\\x5D\n' >"$XDG_CONFIG_HOME/vellora/user-store.ini"
export VELLORA_LOCK=1

# One run of the saver on the display in $DISPLAY: 1600 x 600, two heads of
# 800 x 600, the primary one starting at x = $1.
saver_on_two_heads() {
  local primary_x=$1 name=$2 runs
  runs=$(($(trace_count '^show MainForm') + 1))
  start_vellora /S
  wait_until '[ "$(trace_count "^first paint MainForm")" -ge "$runs" ]' 10 || fail "$name: the saver did not open"
  local s head
  s=$(shot "$name")
  # Each head: the colour, but for the label and the first circles.
  for head in 800x600+0+0 800x600+800+0; do
    [ "$(pixels_not "$s" "$head" 0,128,64)" -lt 96000 ] || fail "$name: the head at $head is not covered"
  done
  pass "$name: the saver covers both heads"

  # The pointer rests on the right head when the prompt opens; the prompt
  # takes its position from the primary head's corner.
  xdotool mousemove 1200 300
  sleep 0.2
  xdotool key a
  wait_until '[ "$(trace_count "^focus PassCheck.Text1")" -ge "$runs" ]' 10 || fail "$name: the prompt did not open"
  local pointer
  pointer=$(sed -n '/^show PassCheck/,$p' "$VELLORA_TRACE" | grep '^pointer at' | tail -n1)
  [ "$pointer" = "pointer at $((1200 - primary_x)),300" ] ||
    fail "$name: the pointer at 1200,300 was taken as [$pointer], not from the primary head's corner"
  local WINDOW X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowfocus getwindowgeometry --shell)"
  local middle=$((X + WIDTH / 2)) wanted=$((primary_x + 400))
  [ "$X" -ge "$primary_x" ] && [ $((X + WIDTH)) -le $((primary_x + 800)) ] &&
    [ "${middle#-}" -ge $((wanted - 4)) ] && [ "$middle" -le $((wanted + 4)) ] ||
    fail "$name: the prompt is at x $X, $WIDTH wide, not centred on the primary head"
  pass "$name: the prompt is centred on the primary head; the pointer counts from its corner"
  xdotool type --delay 30 abc
  xdotool key Return
  wait_until '! running $APP_PID' 5 || fail "$name: the right password did not end the saver"
  wait "$APP_PID" || fail "$name: the saver exited with an error"
}

# RandR: the output's monitor on the right is the primary one.
start_xvfb 1600 600
xrandr --setmonitor right 800/211x600/158+800+0 screen >/dev/null
xrandr --setmonitor left 800/211x600/158+0+0 none >/dev/null
saver_on_two_heads 800 randr

# Xinerama: Xephyr with two heads, in a window of the Xvfb.
Xephyr -displayfd 4 +xinerama -screen 800x600 -screen 800x600 -noreset -nolisten tcp \
  4>"$WORK/xephyr-display" 2>"$WORK/xephyr.log" &
PIDS+=($!)
wait_until '[ -s "$WORK/xephyr-display" ]' 10 || fail "Xephyr did not start: $(cat "$WORK/xephyr.log")"
export DISPLAY=":$(head -n1 "$WORK/xephyr-display")"
wait_until 'xdotool getmouselocation >/dev/null 2>&1' 10 || fail "Xephyr does not answer"
saver_on_two_heads 0 xinerama
