#!/usr/bin/env bash
# Two monitors side by side: Xephyr with Xinerama, two 800 x 600 heads,
# inside the run's virtual display, and a Wine prefix of its own made there
# (Wine sees the two heads when it does not ask RandR, which reports one).
# "/S" covers both heads with the colour; the password prompt opens on the
# primary head (the left one, at 0,0).
source "$(dirname "$0")/lib.sh"

# --- the display: two heads, one desktop of 1600 x 600
Xephyr +xinerama -screen 800x600 -screen 800x600 -noreset -nolisten tcp -displayfd 5 5>"$OUT/display" \
    >"$OUT/xephyr.log" 2>&1 &
STARTED_PIDS+=($!)
for _ in $(seq 1 100); do
    [ -s "$OUT/display" ] && break
    sleep 0.1
done
[ -s "$OUT/display" ] || fail "Xephyr did not start: $(cat "$OUT/xephyr.log")"
export DISPLAY=":$(head -1 "$OUT/display")"

# --- a prefix of its own, whose desktop is the Xephyr display
wineserver=${VELLORA_WINESERVER:-$(command -v wineserver)}
use_prefix "$OUT/prefix"
rm -rf "$WINEPREFIX"
at_exit env WINEPREFIX="$WINEPREFIX" "$wineserver" -k
at_exit rm -rf "$WINEPREFIX"
t0=$(date +%s)
"$WINE" wineboot -i >/dev/null 2>&1 || true
reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f
"$wineserver" -w
"$wineserver" -p
log "prefix ready in $(( $(date +%s) - t0 )) s on $DISPLAY"

fresh_state
printf '[Color]\r\nhue=32768\r\n[Image]\r\nname=\r\n' >"$INI"
reg add 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /t REG_SZ /d 1 /f
reg add 'HKCU\Software\Samples\Oskel Screen Saver' /v Password /t REG_SZ /d 'SX]' /f  # "abc"

start_scr /S
win=$(wait_window "Screen Saver Main Form" 20) || fail "the saver window did not appear"
wait_host_line 'title="Screen Saver Main Form" rect=0,0,1600,600 ' 5 ||
    fail "the saver does not cover the desktop of both heads: $(host windows | grep 'Main Form')"
sleep 1
both=$(shot both-heads)
left=$(count_color "$both" 0,128,0 800x600+0+0)
right=$(count_color "$both" 0,128,0 800x600+800+0)
log "the colour covers $left pixels of the left head, $right of the right one"
[ "$left" -gt $((800 * 600 * 3 / 4)) ] || fail "the left head is not covered"
[ "$right" -gt $((800 * 600 * 3 / 4)) ] || fail "the right head is not covered"

focus "$win"
xdotool key a
prompt_text='This computer is password protected.'
wait_host_line "child class=Static text=\"$prompt_text" 10 || fail "no password prompt"
read -r l t r b <<<"$(host windows | awk -v p="text=\"$prompt_text" '
    /^window/ { split(substr($0, index($0, "rect=") + 5), q, /[, ]/); next }
    index($0, p) > 0 { print q[1], q[2], q[3], q[4]; exit }')"
log "the prompt lies at $l,$t - $r,$b"
[ "$l" -ge 0 ] && [ "$r" -le 800 ] || fail "the prompt is not on the primary head"
xdotool type --delay 50 "abc"
xdotool key Return
wait_ended "$SCR_PID" 10 || fail "the right password did not end the saver"
log "both heads covered; the prompt on the primary head; the password ended the saver"
