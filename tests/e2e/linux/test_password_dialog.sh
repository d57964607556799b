#!/usr/bin/env bash
# "/A <xid>": sets, changes and removes the saver password, with the exact
# messages for a wrong old password and a mismatch.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb 800 600
start_host 500x400+100+50
store=$XDG_CONFIG_HOME/vellora/user-store.ini
stored() { sed -n 's/^Password=//p' "$store" 2>/dev/null; }
run=0
open_dialog() {
  run=$((run + 1))
  start_vellora /A "$((HOST_ID))"
  wait_until '[ "$(trace_count "^show PassChange")" -ge '"$run"' ]' 10 || fail "the password dialog did not open"
}
wait_message() {
  wait_until '[ "$(trace_count "^message active")" -ge '"$1"' ]' 10 || fail "message box $1 not shown"
}

# Set: no password yet, so the focus starts in the new-password box.
open_dialog
wait_trace '^focus PassChange.Text2' 10 || fail "focus does not start in New Password"
xdotool type --delay 20 abc
xdotool key Tab
xdotool type --delay 20 abc
wait_until '[ "$(trace_count "PassChange.Text3 shows \[\*\*\*\]")" -ge 1 ]' 5 || fail "retyped password not masked"
xdotool key Return
wait_until '! running $APP_PID' 5 || fail "OK did not close the dialog"
[ "$(stored)" = 'SX\x5D' ] || fail "stored password is [$(stored)]"
[ "$(stat -c %a "$store")" = 600 ] || fail "the store is not its owner's alone: mode $(stat -c %a "$store")"
pass "password set, in a store only its owner can read"

# Change: a wrong old password first.
open_dialog
wait_until '[ "$(trace_count "^focus PassChange.Text1")" -ge 1 ]' 10 || fail "focus does not start in Old Password"
xdotool type --delay 20 xyz
xdotool key Return
wait_trace '^message title \[Change Password\] text \[The value for Old Password is not correct.\\r\\n\\r\\nCheck your screen-saver password, and then try again.\]' 5 ||
  fail "wrong old password message"
wait_message 1
xdotool key Return
wait_until '[ "$(trace_count "^focus PassChange.Text1")" -ge 2 ]' 10 || fail "focus not back in Old Password"
# Then new passwords that do not match.
xdotool type --delay 20 ABC
xdotool key Tab
xdotool type --delay 20 new1
xdotool key Tab
xdotool type --delay 20 new2
xdotool key Return
wait_trace '^message title \[Change Password\] text \[The value for New Password and Retype New Password do not match.\\r\\n\\r\\nTry again\]' 5 ||
  fail "mismatch message"
wait_message 2
xdotool key Return
wait_until '[ "$(trace_count "^focus PassChange.Text1")" -ge 3 ]' 10 || fail "focus not back in Old Password"
xdotool type --delay 20 abc
xdotool key Tab
xdotool type --delay 20 new1
xdotool key Tab
xdotool type --delay 20 NEW1
xdotool key Return
wait_until '! running $APP_PID' 5 || fail "OK did not close the dialog"
# "new1" encodes to the four characters ` [ q O; the store writes "[" escaped.
[ "$(stored)" = '`\x5BqO' ] || fail "password not changed: [$(stored)]"
pass "password changed, after the exact messages"

# Remove: the old password and two empty boxes.
open_dialog
wait_until '[ "$(trace_count "^focus PassChange.Text1")" -ge 4 ]' 10 || fail "focus does not start in Old Password"
xdotool type --delay 20 new1
xdotool key Return
wait_until '! running $APP_PID' 5 || fail "OK did not close the dialog"
grep -q '^Password=$' "$store" || fail "password not removed: $(cat "$store")"
pass "password removed"
