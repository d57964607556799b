#!/usr/bin/env bash
# "/C": the chosen colour and picture path are written on OK (a long path
# whole), nothing on Cancel; a missing stored picture falls back to the spare.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb 1024 768
ini=$XDG_CONFIG_HOME/vellora/vellora.ini
spare=$XDG_DATA_HOME/vellora/imgx.bmp
convert -size 120x90 gradient:blue-white "BMP3:$spare"
dir=$WORK/pictures/of/the/summer/holidays/by/the/sea/in/august
mkdir -p "$dir"
picture=$dir/beach-at-sunset.gif
[ "${#picture}" -ge 60 ] || fail "test path too short"
convert -size 300x200 xc:orange "$picture"

start_vellora /C
wait_trace '^show Configuration' 10 || fail "the setup dialog did not open"
# No settings file: the stored picture "0" cannot load, the spare is written at once.
grep -qF "name=$spare" "$ini" || fail "the spare picture was not written: $(cat "$ini" 2>/dev/null)"
wait_trace '^focus Configuration.CmdOK' 10 || fail "OK does not have the focus"

# Set Color: third in tab order after OK.
xdotool key Tab Tab Tab
wait_trace '^focus Configuration.Command1' 5 || fail "Tab did not reach Set Color"
xdotool key Return
wait_trace '^color dialog active' 10 || fail "no colour dialog"
xdotool key ctrl+a
xdotool type --delay 20 '#00ff00'
xdotool key Return
wait_trace '^color dialog chose #00ff00' 5 || fail "colour not chosen"
# The dialog opens again on the chosen colour until cancelled.
wait_until '[ "$(trace_count "^color dialog active")" -ge 2 ]' 10 || fail "the colour dialog did not reopen"
xdotool key Escape
wait_trace '^color dialog cancelled' 5 || fail "colour dialog not cancelled"
pass "colour chosen"

# Set Picture: one back from Set Color.
wait_until '[ "$(trace_count "^focus Configuration.Command1")" -ge 2 ]' 10 || fail "focus not back on Set Color"
xdotool key shift+Tab
wait_trace '^focus Configuration.Setpic' 5 || fail "Shift+Tab did not reach Set Picture"
xdotool key Return
wait_trace '^file dialog active' 10 || fail "no file dialog"
xdotool key ctrl+a
xdotool type --delay 10 "$picture"
sleep 0.3
xdotool key Return
wait_until 'grep -qF "file dialog chose [$picture]" "$VELLORA_TRACE" || { xdotool key Return; false; }' 10 ||
  fail "picture not chosen"
wait_until 'grep -qF "picture [$picture] 300x200 px" "$VELLORA_TRACE"' 5 || fail "the chosen picture did not load"
pass "picture chosen"

xdotool key alt+o
wait_until '! running $APP_PID' 5 || fail "OK did not close the dialog"
grep -qF "hue=65280" "$ini" || fail "colour not written: $(cat "$ini")"
grep -qF "name=$picture" "$ini" || fail "picture path not written whole: $(cat "$ini")"
pass "OK writes the colour and the ${#picture}-character path"

# Cancel after choosing a colour writes nothing.
before=$(md5sum <"$ini")
start_vellora /C
wait_until '[ "$(trace_count "^show Configuration")" -ge 2 ]' 10 || fail "the setup dialog did not open again"
wait_until '[ "$(trace_count "^focus Configuration.CmdOK")" -ge 2 ]' 10 || fail "OK does not have the focus"
xdotool key Tab Tab Tab Return
wait_until '[ "$(trace_count "^color dialog active")" -ge 3 ]' 10 || fail "no colour dialog"
xdotool key ctrl+a
xdotool type --delay 20 '#ff0000'
xdotool key Return
wait_trace '^color dialog chose #ff0000' 5 || fail "colour not chosen"
wait_until '[ "$(trace_count "^color dialog active")" -ge 4 ]' 10 || fail "the colour dialog did not reopen"
xdotool key Escape
wait_until '[ "$(trace_count "^color dialog cancelled")" -ge 2 ]' 5 || fail "colour dialog not cancelled"
wait_until '[ "$(trace_count "^focus Configuration.Command1")" -ge 3 ]' 10 || fail "focus not back on Set Color"
xdotool key alt+c
wait_until '! running $APP_PID' 5 || fail "Cancel did not close the dialog"
[ "$(md5sum <"$ini")" = "$before" ] || fail "Cancel changed the settings file: $(cat "$ini")"
pass "Cancel writes nothing"
