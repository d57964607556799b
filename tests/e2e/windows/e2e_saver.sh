#!/usr/bin/env bash
# "/S": a top-most borderless window over the whole screen in the colour of
# vellora.ini, cursor hidden, the picture moving, circles; a key ends it, and
# so does moving the mouse (the fourth real move).
source "$(dirname "$0")/lib.sh"

fresh_state
"$CONVERT" -size 120x80 xc:red "$OUT/red.bmp"
printf '[Color]\r\nhue=32768\r\n[Image]\r\nname=%s\r\n' "$(dos_path "$OUT/red.bmp")" >"$INI"
green=0,128,0

t0=$(date +%s%N)
start_scr /S
win=$(wait_window "Screen Saver Main Form" 20) || fail "the saver window did not appear"
t1=$(date +%s%N)
log "start to visible: $(( (t1 - t0) / 1000000 )) ms"

host windows >"$OUT/windows.txt"
grep -q 'class=VelloraForm title="Screen Saver Main Form" rect=0,0,1024,768 topmost=1' "$OUT/windows.txt" ||
    fail "not a top-most window over the whole screen: $(grep 'Main Form' "$OUT/windows.txt")"
host cursor | grep -q "cursor hidden" || fail "the cursor shows"

# The pictures move between two screenshots (a tick every 400 ms), and
# circles come with the bursts (the first on the third tick).
sleep 1
first=$(shot saver-1)
box1=$(box_of "$first" 255,0,0)
total=$((1024 * 768))
ok=""
for _ in $(seq 1 30); do
    sleep 0.5
    second=$(shot saver-2)
    box2=$(box_of "$second" 255,0,0)
    background=$(count_color "$second" $green)
    red=$(count_color "$second" 255,0,0)
    other=$((total - background - red))
    if [ "$box2" != "$box1" ] && [ "$other" -gt 200 ]; then ok=yes; break; fi
done
log "picture $box1 -> $box2; background $background, picture $red, circles $other pixels"
[ "$box2" != "$box1" ] || fail "the picture did not move ($box1)"
[ "$background" -gt $((total * 3 / 4)) ] || fail "the background is not the colour from vellora.ini"
[ "$red" -gt 0 ] || fail "no picture"
[ -n "$ok" ] || fail "no circles"

focus "$win"
xdotool key a
wait_ended "$SCR_PID" 10 || fail "a key did not end the saver"
log "a key ended the saver"

# --- mouse movement: the pointer rests where the window appears (Windows
# reports a move there); three real moves leave the saver running, the
# fourth ends it.
xdotool mousemove 200 200
start_scr /S
wait_window "Screen Saver Main Form" 20 >/dev/null || fail "the saver window did not appear"
sleep 1
for step in 1 2 3; do xdotool mousemove $((200 + step * 40)) 200; sleep 0.3; done
sleep 0.5
running "$SCR_PID" || fail "three mouse moves ended the saver"
xdotool mousemove 360 200
wait_ended "$SCR_PID" 10 || fail "the fourth mouse move did not end the saver"
log "the fourth mouse move ended the saver"
