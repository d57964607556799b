#!/usr/bin/env bash
# "/C": the top-most setup dialog; Set Color, pick a colour, pick another in
# the dialog that opens again, cancel it, OK writes the decimal colour to
# vellora.ini in Wine's Windows directory; Cancel writes nothing; a long
# picture path survives opening and closing the dialog; Help opens the help.
source "$(dirname "$0")/lib.sh"

title=$SETUP_TITLE
folder="$OUT/a folder with a rather long name for the holiday pictures"
mkdir -p "$folder"
"$CONVERT" -size 100x60 xc:red "$folder/red-picture.bmp"
long_path=$(dos_path "$folder/red-picture.bmp")
[ ${#long_path} -ge 60 ] || fail "the test path is too short: $long_path"

fresh_state
printf '[Color]\r\nhue=255\r\n[Image]\r\nname=%s\r\n' "$long_path" >"$INI"

# --- OK after two colours and a cancel
open_setup
setup_shot=$(shot setup-open)
[ "$(count_color "$setup_shot" 255,0,0)" -gt 1000 ] || fail "the thumbnail does not show the picture at the long path"
[ "$(ini_value Image name)" = "$long_path" ] || fail "opening the dialog changed the picture path: $(ini_value Image name)"
click_child "$title" "Set Color"
first=$(pick_colour 1 0)
second=$(pick_colour 3 2)        # the dialog opened again by itself
wait_window "Color" 10 >/dev/null || fail "the colour dialog did not open a third time"
click_child "Color" "Cancel"
sleep 0.5
click_child "$title" "&OK"
wait_ended "$SCR_PID" 10 || fail "OK did not close the dialog"
log "colours picked: $first then $second; vellora.ini says $(ini_value Color hue)"
[ "$first" != "$second" ] || fail "the two colours are the same"
[ "$(ini_value Color hue)" = "$second" ] || fail "OK did not write the last colour"
[ "$(ini_value Image name)" = "$long_path" ] || fail "the long picture path did not survive: $(ini_value Image name)"

# --- Cancel writes nothing
cp "$INI" "$OUT/before-cancel.ini"
open_setup
click_child "$title" "Set Color"
pick_colour 0 5 >/dev/null
wait_window "Color" 10 >/dev/null || fail "the colour dialog did not open again"
click_child "Color" "Cancel"
sleep 0.5
click_child "$title" "&Cancel"
wait_ended "$SCR_PID" 10 || fail "Cancel did not close the dialog"
cmp -s "$INI" "$OUT/before-cancel.ini" || fail "Cancel changed vellora.ini"
log "Cancel left vellora.ini as it was"

# --- Help opens the help text beside the program
open_setup
win=$(wait_window "$title" 5)
focus "$win"
xdotool key alt+h
wait_window "Vellora Help" 10 >/dev/null || fail "Help did not open the help viewer"
sleep 0.5
help_shot=$(shot help)
read -r l t r b <<<"$(host windows | awk '/title="Vellora Help"/ { split(substr($0, index($0, "rect=") + 5), q, /[, ]/); print q[1], q[2], q[3], q[4]; exit }')"
text_pixels=$(count_color "$help_shot" 0,0,0 "$((r - l - 40))x$((b - t - 40))+$((l + 10))+$((t + 30))")
[ "$text_pixels" -gt 500 ] || fail "the help viewer shows no text ($text_pixels dark pixels)"
focus "$(wait_window "Vellora Help" 5)"
xdotool key alt+F4    # the viewer lies over the dialog's buttons
for _ in $(seq 1 40); do
    host windows | grep -q 'title="Vellora Help"' || break
    sleep 0.25
done
click_child "$title" "&Cancel"
wait_ended "$SCR_PID" 10 || fail "Cancel did not close the dialog"
log "help viewer opened"
