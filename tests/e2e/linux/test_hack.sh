#!/usr/bin/env bash
# XScreenSaver hack mode: the saver drawn into a given window, following its
# size; two at once; SIGTERM ends each cleanly.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb 800 600
convert -size 60x40 xc:red "BMP3:$WORK/p.bmp"
write_settings 4227072 "$WORK/p.bmp"   # rgb(0,128,64)
export VELLORA_LOCK=1                  # no prompt can appear in a hack all the same
printf '[Samples\\Oskel Screen Saver]\nPassword=SX\\x5D\n' >"$XDG_CONFIG_HOME/vellora/user-store.ini"

start_host 300x200+10+10
first_host=$HOST_ID
start_vellora -window-id "$first_host"
first=$APP_PID
start_host 200x150+400+300
second_host=$HOST_ID
XSCREENSAVER_WINDOW=$second_host start_vellora --root
second=$APP_PID

wait_until '[ "$(trace_count "^show MainForm")" -ge 2 ]' 10 || fail "the hacks did not start"
wait_until 's=$(shot a); [ "$(pixel "$s" 300 200)" = "0,128,64" ] && [ "$(pixel "$s" 590 440)" = "0,128,64" ]' 20 ||
  { xwininfo -tree -id "$second_host" >&2; fail "the saver colour is not in both host windows"; }
s=$(shot b)
[ "$(pixel "$s" 350 250)" = "0,0,0" ] || fail "drawn outside the host windows"
wait_until 's=$(shot c); [ "$(pixels_not "$s" 300x12+10+10 0,128,64)" -gt 10 ]' 10 || fail "no circles in the first host"
pass "two hacks draw the saver into their windows"

# Input reaches nothing: a key and mouse moves do not end a hack.
xdotool mousemove 100 100 mousemove 120 120 mousemove 140 140 mousemove 160 160 mousemove 180 180 key a
sleep 0.5
running "$first" && running "$second" || fail "input ended a hack"
grep -q '^show PassCheck' "$VELLORA_TRACE" && fail "a password prompt opened"

# The first host grows: the saver follows.
xdotool windowsize "$first_host" 380 260
wait_until 's=$(shot d); [ "$(pixel "$s" 380 260)" = "0,128,64" ]' 10 || fail "the saver did not follow the resize"
pass "the saver follows its window's size"

kill -TERM "$first" "$second"
wait_until '! running $first && ! running $second' 5 || fail "SIGTERM did not end the hacks"
wait "$first" || fail "the first hack did not exit cleanly"
wait "$second" || fail "the second hack did not exit cleanly"
pass "SIGTERM ends the hacks cleanly"
