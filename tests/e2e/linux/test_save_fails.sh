#!/usr/bin/env bash
# "/C" when the settings cannot be written (the settings folder made
# immutable with chattr +i): OK says so, naming the folder, and the dialog
# stays open with the file as it was; once the folder can be written again,
# OK saves and closes.
source "$(dirname "$0")/lib.sh" "$1"
folder=$XDG_CONFIG_HOME/vellora
ini=$folder/vellora.ini
convert -size 120x90 xc:orange "BMP3:$WORK/p.bmp"
write_settings 4227072 "$WORK/p.bmp"
chattr +i "$folder" 2>/dev/null ||
  { echo "SKIP: chattr +i does not work here (it needs root and a file system that keeps the flag)"; exit 77; }
trap 'chattr -i "$folder" 2>/dev/null || true; cleanup' EXIT
before=$(md5sum <"$ini")
start_xvfb 1024 768

start_vellora /C
wait_trace '^focus Configuration.CmdOK' 10 || fail "the setup dialog did not open"
xdotool key Tab Tab Tab
wait_trace '^focus Configuration.Command1' 5 || fail "Tab did not reach Set Color"
xdotool key Return
wait_trace '^color dialog active' 10 || fail "no colour dialog"
xdotool key ctrl+a
xdotool type --delay 20 '#ff0000'
xdotool key Return
wait_trace '^color dialog chose #ff0000' 5 || fail "colour not chosen"
wait_until '[ "$(trace_count "^color dialog active")" -ge 2 ]' 10 || fail "the colour dialog did not reopen"
xdotool key Escape
wait_until '[ "$(trace_count "^focus Configuration.Command1")" -ge 2 ]' 10 || fail "focus not back on Set Color"

xdotool key alt+o
wait_trace "^message title \[Vellora\] text \[Your picture and colour could not be saved in\\\\r\\\\n$folder\\\\r\\\\n" 5 ||
  fail "OK did not say that nothing was saved, naming the settings folder"
wait_trace '^message active' 10 || fail "the message box did not take the keyboard"
xdotool key Return
wait_trace '^message closed' 5 || fail "the message box did not close"
sleep 0.3
running "$APP_PID" || fail "the dialog closed although nothing was saved"
grep -q '^unload Configuration' "$VELLORA_TRACE" && fail "the dialog unloaded although nothing was saved"
[ "$(md5sum <"$ini")" = "$before" ] || fail "the settings file changed: $(cat "$ini")"
pass "a failed save is reported with the folder, and the dialog stays open"

chattr -i "$folder"
xdotool key alt+o
wait_until '! running $APP_PID' 5 || fail "OK did not close the dialog once the folder could be written"
grep -qF "hue=255" "$ini" || fail "colour not written: $(cat "$ini")"
pass "once the folder can be written, OK saves and closes"
