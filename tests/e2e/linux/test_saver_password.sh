#!/usr/bin/env bash
# "/S" with the desktop lock on and a password stored: a key opens the
# prompt with its exact text, typing shows stars, a wrong password gives the
# exact message and the saver goes on, the right one ends it.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb 800 600
write_settings 16711680 ""   # blue, no picture
# "abc" encoded is "SX]"; the store writes "]" escaped.
printf '[Samples\\Oskel Screen Saver]\nPassword=SX\\x5D\n' >"$XDG_CONFIG_HOME/vellora/user-store.ini"
export VELLORA_LOCK=1

start_vellora /S
wait_trace '^show MainForm' 10 || fail "the saver window did not open"
xdotool key a
wait_trace '^show PassCheck modal' 10 || fail "the prompt did not open"
grep -qF "label PassCheck.Label1 [This computer is password protected.  You must type in the screen saver password to turn off the screen saver.]" "$VELLORA_TRACE" || fail "prompt text"
grep -qF "label PassCheck.Label2 [Password:]" "$VELLORA_TRACE" || fail "prompt label"
wait_trace '^focus PassCheck.Text1' 10 || fail "the password box has no focus"
xdotool type --delay 30 wrong
wait_trace 'text PassCheck.Text1 shows \[\*\*\*\*\*\]' 5 || fail "the box does not show five stars"
shot prompt >/dev/null
xdotool key Return
wait_trace '^message title \[\] text \[Incorrect password;\\r\\n\\r\\nCheck your screen saver password and try again.\]' 5 ||
  fail "wrong password message"
wait_trace '^message active' 10 || fail "the message box did not take the keyboard"
xdotool key Return
wait_trace '^unload PassCheck' 5 || fail "the prompt did not close"
running "$APP_PID" || fail "the saver ended after a wrong password"
pass "wrong password refused with the message; saver still running"

xdotool key b
wait_until '[ "$(trace_count "^show PassCheck modal")" -eq 2 ]' 10 || fail "the prompt did not open again"
wait_until '[ "$(trace_count "^focus PassCheck.Text1")" -ge 2 ]' 10 || fail "no focus the second time"
xdotool type --delay 30 ABC
wait_until '[ "$(trace_count "shows \[\*\*\*\]")" -ge 1 ]' 5 || fail "typed text not masked"
xdotool key Return
wait_until '! running $APP_PID' 5 || fail "the right password did not end the saver"
pass "right password (any letter case) ends the saver"
