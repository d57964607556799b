#!/usr/bin/env bash
# Every picture format the saver offers loads with its natural size; a
# corrupt file of each fails cleanly into the spare-picture recovery.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb 640 480
ini=$XDG_CONFIG_HOME/vellora/vellora.ini
spare=$XDG_DATA_HOME/vellora/imgx.bmp
convert -size 64x48 xc:purple "BMP3:$spare"

convert -size 640x480 xc:red "BMP3:$WORK/a.bmp"
convert -size 150x100 xc:green "$WORK/a.gif"
convert -size 300x200 xc:blue "$WORK/a.jpg"
convert -size 32x32 xc:yellow "$WORK/a.ico"
# A placeable metafile, 1440 x 720 units at 1440 per inch (1 x 0.5 inch), one red rectangle.
wmf_header='\xD7\xCD\xC6\x9A\x00\x00\x00\x00\x00\x00\xA0\x05\xD0\x02\xA0\x05\x00\x00\x00\x00\xC1\x55'
wmf_body='\x01\x00\x09\x00\x00\x03\x28\x00\x00\x00\x01\x00\x07\x00\x00\x00\x00\x00'
wmf_body+='\x05\x00\x00\x00\x0B\x02\x00\x00\x00\x00'
wmf_body+='\x05\x00\x00\x00\x0C\x02\xD0\x02\xA0\x05'
wmf_body+='\x07\x00\x00\x00\xFC\x02\x00\x00\xFF\x00\x00\x00\x00\x00'
wmf_body+='\x04\x00\x00\x00\x2D\x01\x00\x00'
wmf_body+='\x07\x00\x00\x00\x1B\x04\xD0\x02\xA0\x05\x00\x00\x00\x00'
wmf_body+='\x03\x00\x00\x00\x00\x00'
printf "$wmf_header$wmf_body" >"$WORK/a.wmf"

# Corrupt files: the right signature, then nonsense.
printf 'BM\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x7F' >"$WORK/b.bmp"
printf 'GIF89a\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01' >"$WORK/b.gif"
printf '\xFF\xD8\xFF\xE0\x13\x13\x13\x13\x13\x13\x13\x13\x13\x13\x13\x13' >"$WORK/b.jpg"
printf '\x00\x00\x01\x00\x01\x00\x55\x55\x55\x55\x55\x55\x55\x55\x55\x55' >"$WORK/b.ico"
printf "$wmf_header\x01\x00\x09\x00" >"$WORK/b.wmf"

run_saver() {
  : >"$VELLORA_TRACE"
  write_settings 0 "$1"
  start_vellora /S
  wait_trace '^show MainForm' 10 || fail "the saver did not open for $1"
  xdotool key a
  wait_until '! running $APP_PID' 5 || fail "the saver did not end for $1"
  wait "$APP_PID" || fail "the saver failed for $1"
}

# 96 dots per inch: 640 pixels are 16933 hundredths of a millimetre.
for expected in "a.bmp 640x480 px 16933x12700" "a.gif 150x100 px 3969x2646" "a.jpg 300x200 px 7938x5292" \
                "a.ico 32x32 px 847x847" "a.wmf 96x48 px 2540x1270"; do
  set -- $expected
  run_saver "$WORK/$1"
  grep -qF "picture [$WORK/$1] $2 px $4 himetric" "$VELLORA_TRACE" ||
    fail "$1: $(grep -F "picture [$WORK/$1]" "$VELLORA_TRACE" | head -n1)"
  grep -qF "name=$WORK/$1" "$ini" || fail "$1 was replaced by the spare"
  pass "$1 loads at $2 px, $4 himetric"
done

for broken in b.bmp b.gif b.jpg b.ico b.wmf; do
  run_saver "$WORK/$broken"
  grep -qF "picture [$WORK/$broken] failed" "$VELLORA_TRACE" || fail "$broken did not fail"
  grep -qF "name=$spare" "$ini" || fail "$broken: the settings file does not name the spare: $(cat "$ini")"
  grep -qF "picture [$spare] 64x48 px" "$VELLORA_TRACE" || fail "$broken: the spare was not loaded"
  pass "$broken fails into the spare picture"
done
