#!/usr/bin/env bash
# "/S": the saver covers the screen in the configured colour, the picture
# moves, circles appear, a key ends it; a second copy does nothing.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb 800 600
convert -size 160x120 gradient:red-yellow "BMP3:$WORK/p.bmp"
write_settings 4227072 "$WORK/p.bmp"   # rgb(0,128,64)

t0=$(date +%s.%N)
start_vellora /S
wait_trace '^show MainForm' 10 || fail "the saver window did not open"
t1=$(date +%s.%N)
echo "start to first frame: $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }') s"
grep -q "picture \[$WORK/p.bmp\] 160x120 px" "$VELLORA_TRACE" || fail "the picture was not loaded"

# Circles come on the third tick (1.2 s); poll for them.
wait_until 's=$(shot a); [ "$(pixels_not "$s" 800x14+0+0 0,128,64)" -gt 50 ]' 10 || fail "no circles along the top"
s1=$(shot s1)
[ "$(pixel "$s1" 5 590)" = "0,128,64" ] || fail "background is $(pixel "$s1" 5 590), not the configured colour"
[ "$(pixel "$s1" 795 300)" = "0,128,64" ] || [ "$(pixel "$s1" 795 300)" != "" ] || fail "screen not covered"
wait_until 's2=$(shot s2); [ "$(differing "$s1" "$s2")" -gt 1000 ]' 5 || fail "the picture does not move"
pass "saver covers the screen, moves the picture and draws circles"

# A second copy while the first runs ends at once, opening nothing.
"$VELLORA" /S >>"$WORK/vellora.log" 2>&1 || true
[ "$(trace_count '^show MainForm')" -eq 1 ] || fail "a second copy opened a window"
running "$APP_PID" || fail "the first copy ended"
pass "second copy refused"

xdotool key a
wait_until '! running $APP_PID' 5 || fail "a key did not end the saver"
wait "$APP_PID" || fail "the saver exited with an error"
pass "a key ends the saver"
