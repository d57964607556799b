#!/usr/bin/env bash
# A Windows directory nobody may write, as for a standard user on Windows
# 10/11: OK in "/C" saves the choices in the user's own copy of vellora.ini
# (%APPDATA%\Vellora), made from the shared file, and "/S" shows them: the
# new colour and the picture whose name has an accented letter. The user's
# file keeps the ANSI text; the shared file stays as it was.
source "$(dirname "$0")/lib.sh"

windir="$WINEPREFIX/drive_c/windows"
fresh_state
at_exit rm -rf "$(dirname "$USER_INI")"
# The picture's unix name is UTF-8; Windows programs see "café.bmp", which
# the settings file holds in the ANSI code page (é is the byte E9).
"$CONVERT" -size 120x80 xc:red "$OUT/café.bmp"
name="$(dos_path "$OUT")\\caf"$'\xe9'".bmp"
printf '[Color]\r\nhue=8388608\r\n[Image]\r\nname=%s\r\n' "$name" >"$INI"
cp "$INI" "$OUT/shared-before.ini"

# The folder and the file in it become unwritable, also for root.
chattr +i "$INI" "$windir"
at_exit chattr -i "$INI" "$windir"
if touch "$windir/vellora-probe" 2>/dev/null || { echo x >>"$INI"; } 2>/dev/null; then
    fail "the Windows directory can still be written"
fi

open_setup
click_child "$SETUP_TITLE" "Set Color"
hue=$(pick_colour 3 2)
wait_window "Color" 10 >/dev/null || fail "the colour dialog did not open again"
click_child "Color" "Cancel"
sleep 0.5
click_child "$SETUP_TITLE" "&OK"
wait_ended "$SCR_PID" 10 || fail "OK did not close the dialog: $(host windows | grep -i 'could not be saved')"
log "OK saved hue $hue; the user's copy: $(tr -d '\r' <"$USER_INI" | tr '\n' ' ')"
[ -f "$USER_INI" ] || fail "no copy of the settings in the user's folder"
cmp -s "$INI" "$OUT/shared-before.ini" || fail "the shared file changed"
[ "$(ini_value Color hue "$USER_INI")" = "$hue" ] || fail "the user's copy does not hold the new colour"
[ "$(ini_value Image name "$USER_INI")" = "$name" ] || fail "the picture's name did not come over byte for byte"
[ "$(head -c 1 "$USER_INI")" = "[" ] || fail "the user's copy does not start as an ANSI text (a byte-order mark?)"
LC_ALL=C grep -q $'\xc3\xa9' "$USER_INI" && fail "the user's copy holds UTF-8"

start_scr /S
win=$(wait_window "Screen Saver Main Form" 20) || fail "the saver window did not appear"
sleep 1
saver=$(shot saver)
rgb="$((hue & 255)),$(((hue >> 8) & 255)),$(((hue >> 16) & 255))"
background=$(count_color "$saver" "$rgb")
red=$(count_color "$saver" 255,0,0)
log "saver: $background pixels of $rgb, $red of the picture"
[ "$background" -gt $((1024 * 768 * 3 / 4)) ] || fail "the saver does not show the saved colour"
[ "$red" -gt 0 ] || fail "the saver does not show the picture named in the user's copy"
focus "$win"
xdotool key a
wait_ended "$SCR_PID" 10 || fail "a key did not end the saver"
