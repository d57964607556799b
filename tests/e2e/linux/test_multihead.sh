#!/usr/bin/env bash
# "/S" on two monitors side by side: the saver covers both heads in the
# configured colour, the password prompt is centred on the primary head, and
# the pointer counts from the primary head's corner. Two kinds of display:
# RandR monitors on one Xvfb screen (first with the primary, on the output,
# at the right; then rearranged while the saver runs, the primary at the
# left), and Xephyr's Xinerama heads, which Qt lists as a single screen.
source "$(dirname "$0")/lib.sh" "$1"
for tool in xrandr Xephyr; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
write_settings 4227072 ""   # rgb(0,128,64), no picture
# "abc" encoded is "SX]"; the store writes "]" escaped.
printf '[Samples\\Oskel Screen Saver]\nPassword=SX\\x5D\n' >"$XDG_CONFIG_HOME/vellora/user-store.ini"
export VELLORA_LOCK=1

# The display in $DISPLAY is 1600 x 600: two heads of 800 x 600.
start_saver() {
  local runs=$(($(trace_count '^show MainForm') + 1))
  start_vellora /S
  wait_until '[ "$(trace_count "^first paint MainForm")" -ge "$runs" ]' 10 || fail "$1: the saver did not open"
}

# Each head: the colour, but for the label and the first circles.
covers_both_heads() {
  local s head
  s=$(shot "$1")
  for head in 800x600+0+0 800x600+800+0; do
    [ "$(pixels_not "$s" "$head" 0,128,64)" -lt 96000 ] || fail "$1: the head at $head is not covered"
  done
  pass "$1: the saver covers both heads"
}

# With the pointer at rest on the right head, a key opens the prompt; the
# primary head starts at x = $1.
prompt_on_primary() {
  local primary_x=$1 name=$2 prompts pointer WINDOW X Y WIDTH HEIGHT SCREEN
  prompts=$(($(trace_count '^focus PassCheck.Text1') + 1))
  xdotool mousemove 1200 300
  sleep 0.2
  xdotool key a
  wait_until '[ "$(trace_count "^focus PassCheck.Text1")" -ge "$prompts" ]' 10 || fail "$name: the prompt did not open"
  pointer=$(grep -E '^(show PassCheck|pointer at)' "$VELLORA_TRACE" | tail -n1)
  [ "$pointer" = "pointer at $((1200 - primary_x)),300" ] ||
    fail "$name: the pointer at 1200,300 was taken as [$pointer], not from the primary head's corner"
  eval "$(xdotool getwindowfocus getwindowgeometry --shell)"
  local middle=$((X + WIDTH / 2)) wanted=$((primary_x + 400))
  [ "$X" -ge "$primary_x" ] && [ $((X + WIDTH)) -le $((primary_x + 800)) ] &&
    [ "$middle" -ge $((wanted - 4)) ] && [ "$middle" -le $((wanted + 4)) ] ||
    fail "$name: the prompt is at x $X, $WIDTH wide, not centred on the primary head"
  pass "$name: the prompt is centred on the primary head; the pointer counts from its corner"
}

# The right password ends the saver.
end_saver() {
  xdotool type --delay 30 abc
  xdotool key Return
  wait_until '! running $APP_PID' 5 || fail "$1: the right password did not end the saver"
  wait "$APP_PID" || fail "$1: the saver exited with an error"
}

# RandR: the output's monitor, on the right, is the primary one.
start_xvfb 1600 600
xrandr --setmonitor right 800/211x600/158+800+0 screen >/dev/null
xrandr --setmonitor left 800/211x600/158+0+0 none >/dev/null
start_saver randr
covers_both_heads randr
prompt_on_primary 800 randr
xdotool key Escape   # the prompt's Cancel: the saver goes on
wait_trace '^unload PassCheck' 5 || fail "randr: the prompt did not close"

# Rearranged while the saver runs: the primary is now on the left.
changes=$(($(trace_count '^display changed') + 1))
xrandr --delmonitor right >/dev/null
xrandr --delmonitor left >/dev/null
xrandr --setmonitor left 800/211x600/158+0+0 screen >/dev/null
xrandr --setmonitor right 800/211x600/158+800+0 none >/dev/null
wait_until '[ "$(trace_count "^display changed")" -ge "$changes" ]' 10 ||
  fail "randr: the saver did not hear of the new arrangement"
covers_both_heads "randr, rearranged"
prompt_on_primary 0 "randr, rearranged"
end_saver randr

# Xinerama: Xephyr with two heads, in a window of the Xvfb.
Xephyr -displayfd 4 +xinerama -screen 800x600 -screen 800x600 -noreset -nolisten tcp \
  4>"$WORK/xephyr-display" 2>"$WORK/xephyr.log" &
PIDS+=($!)
wait_until '[ -s "$WORK/xephyr-display" ]' 10 || fail "Xephyr did not start: $(cat "$WORK/xephyr.log")"
export DISPLAY=":$(head -n1 "$WORK/xephyr-display")"
wait_until 'xdotool getmouselocation >/dev/null 2>&1' 10 || fail "Xephyr does not answer"
start_saver xinerama
covers_both_heads xinerama
prompt_on_primary 0 xinerama
end_saver xinerama
