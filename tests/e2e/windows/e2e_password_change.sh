#!/usr/bin/env bash
# "/A": set, change (with the wrong-old-password and mismatch messages under
# the title "Change Password") and remove the saver password, each checked in
# the registry value afterwards.
source "$(dirname "$0")/lib.sh"

title="VELLORA Screen Saver Password"
old_wrong='The value for Old Password is not correct.\r\n\r\nCheck your screen-saver password, and then try again.'
no_match='The value for New Password and Retype New Password do not match.\r\n\r\nTry again'

# The saver's encoding of a password: upper case, at most 20 characters,
# each shifted by 14 + 4 x its position into the codes 33..126.
encode() {
    local t=${1^^} out="" i c v
    t=${t:0:20}
    for ((i = 0; i < ${#t}; i++)); do
        printf -v c '%d' "'${t:i:1}"
        v=$((c + 14 + 4 * (i + 1)))
        while ((v > 126)); do v=$((v - 126)); done
        while ((v < 33)); do v=$((v + 33)); done
        out+=$(printf "\\$(printf '%03o' "$v")")
    done
    printf '%s' "$out"
}

open_dialog() {
    start_scr /A
    win=$(wait_window "$title" 20) || fail "the password dialog did not appear"
    sleep 0.3
    focus "$win"
}

type_keys() { # type_keys TEXT...: each argument typed, Tab between them
    local first=1 t
    for t in "$@"; do
        [ $first -eq 1 ] || xdotool key Tab
        first=0
        if [ -n "$t" ]; then xdotool type --delay 40 "$t"; fi
    done
}

expect_message() { # expect_message TEXT: the message box shows, then Enter closes it
    wait_host_line "title=\"Change Password\"" 10 || fail "no message box titled \"Change Password\""
    host windows | grep -qF "text=\"$1\"" || fail "the message is not: $1"
    xdotool key Return
    for _ in $(seq 1 40); do
        host windows | grep -q 'title="Change Password"' || return 0
        sleep 0.25
    done
    fail "the message box did not close"
}

fresh_state

# --- set: no password stored, the old-password box is disabled
open_dialog
host windows | grep -A20 "title=\"$title\"" | grep -m1 'class=Edit' | grep -q 'enabled=0' ||
    fail "the old-password box is not disabled with no password stored"
shot set-password >/dev/null
type_keys "secret" "secret"
xdotool key Return
wait_ended "$SCR_PID" 10 || fail "OK did not close the dialog"
[ "$(stored_password)" = "$(encode secret)" ] || fail "stored $(stored_password), not the encoded new password"
log "set: stored $(stored_password)"

# --- change: a wrong old password, then a mismatch, then right
open_dialog
host windows | grep -A20 "title=\"$title\"" | grep -m1 'class=Edit' | grep -q 'enabled=1' ||
    fail "the old-password box is disabled with a password stored"
type_keys "nope" "x" "x"
xdotool key Return
expect_message "$old_wrong"
running "$SCR_PID" || fail "the dialog closed after a wrong old password"
type_keys "secret" "new1" "new2"
xdotool key Return
expect_message "$no_match"
[ "$(stored_password)" = "$(encode secret)" ] || fail "a refused change altered the stored password"
type_keys "SECRET" "newpass" "NEWPASS"
xdotool key Return
wait_ended "$SCR_PID" 10 || fail "OK did not close the dialog after the change"
[ "$(stored_password)" = "$(encode newpass)" ] || fail "stored $(stored_password) after the change"
log "changed: stored $(stored_password)"

# --- remove: both new boxes empty
open_dialog
type_keys "newpass" "" ""
xdotool key Return
wait_ended "$SCR_PID" 10 || fail "OK did not close the dialog when removing"
[ "$(stored_password)" = "" ] || fail "the password was not removed: $(stored_password)"
log "removed"
