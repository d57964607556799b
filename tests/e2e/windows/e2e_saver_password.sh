#!/usr/bin/env bash
# "/S" with the desktop's password flag on and a saver password stored: a
# key opens the prompt; a wrong password gives the message and the saver
# keeps running; the right one ends it. The flag as text "1" and as DWORD 1.
source "$(dirname "$0")/lib.sh"

prompt_text='This computer is password protected.  You must type in the screen saver password to turn off the screen saver.'
wrong_text='Incorrect password;\\r\\n\\r\\nCheck your screen saver password and try again.'

fresh_state
printf '[Color]\r\nhue=8388608\r\n[Image]\r\nname=\r\n' >"$INI"
# "abc" as the saver stores it.
reg add 'HKCU\Software\Samples\Oskel Screen Saver' /v Password /t REG_SZ /d 'SX]' /f

open_prompt() {
    focus "$win"
    xdotool key a
    wait_host_line "child class=Static text=\"$prompt_text\"" 10 || fail "no password prompt"
    wait_host_line 'child class=Edit text="" .* password=42' 5 || fail "the prompt has no password box"
    host cursor | grep -q "cursor shown" || fail "the cursor is hidden while the prompt is open"
    running "$SCR_PID" || fail "the saver ended without the password"
}

# --- the flag as the text "1": a wrong password first, then the right one
reg add 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /t REG_SZ /d 1 /f
start_scr /S
win=$(wait_window "Screen Saver Main Form" 20) || fail "the saver window did not appear"
open_prompt
# The box is masked, so its text cannot be read from outside: the typing
# shows as a change on the screen (asterisks, as the screenshot shows).
edit_box=$(host windows | awk -F'rect=' '/child class=Edit/ {split($2, r, /[, ]/); printf "%dx%d+%d+%d", r[3]-r[1], r[4]-r[2], r[1], r[2]; exit}')
before=$(shot prompt-empty)
xdotool type --delay 50 "wrong"
sleep 0.5
after=$(shot prompt-typed)
"$CONVERT" "$before" -crop "$edit_box" +repage "$OUT/box-before.png"
"$CONVERT" "$after" -crop "$edit_box" +repage "$OUT/box-after.png"
cmp -s "$OUT/box-before.png" "$OUT/box-after.png" && fail "typing did not show in the password box"
xdotool key Return
wait_host_line "child class=Static text=\"$wrong_text\"" 10 || fail "no message for the wrong password"
shot wrong-password >/dev/null
xdotool key Return
for _ in $(seq 1 40); do
    host windows | grep -q "$prompt_text" || break
    sleep 0.25
done
host windows | grep -q "$prompt_text" && fail "the prompt stayed open"
running "$SCR_PID" || fail "a wrong password ended the saver"
host cursor | grep -q "cursor hidden" || fail "the cursor shows again after a wrong password"
log "wrong password: message shown, saver still running"

open_prompt
xdotool type --delay 50 "ABC"
xdotool key Return
wait_ended "$SCR_PID" 10 || fail "the right password did not end the saver"
log "right password (other letter case) ended the saver"

# --- the flag as the number 1
reg add 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /t REG_DWORD /d 1 /f
start_scr /S
win=$(wait_window "Screen Saver Main Form" 20) || fail "the saver window did not appear"
open_prompt
xdotool type --delay 50 "abc"
xdotool key Return
wait_ended "$SCR_PID" 10 || fail "the right password did not end the saver (DWORD flag)"
log "DWORD flag: prompt, right password ended the saver"
