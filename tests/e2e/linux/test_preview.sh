#!/usr/bin/env bash
# "/P <xid>": circles drawn into another program's window, on blue; the
# process ends soon after that window is destroyed.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb 800 600
start_host 300x200+100+100
start_vellora /P "$((HOST_ID))"
# Bursts come every 400 ms: poll until the pane shows blue and circles.
wait_until 's=$(shot p); [ "$(pixels_not "$s" 300x200+100+100 0,0,255)" -gt 200 ] && [ "$(pixel "$s" 110 190)" != "255,255,255" ]' 10 ||
  fail "no circles in the host window"
s=$(shot pane)
blue=$(( 300 * 200 - $(pixels_not "$s" 300x200+100+100 0,0,255) ))
[ "$blue" -gt 5000 ] || fail "the pane is not blue ($blue blue pixels)"
[ "$(pixels_not "$s" 100x90+0+0 0,0,0)" -eq 0 ] || fail "something drawn outside the host window"
pass "preview draws circles on blue inside the host window"

t0=$(date +%s.%N)
kill "$HOST_PID"
wait_until '! running $APP_PID' 5 || fail "the preview did not end with its host window"
t1=$(date +%s.%N)
echo "ended $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }') s after the host window went"
pass "preview ends when its window is gone"
