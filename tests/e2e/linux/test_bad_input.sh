#!/usr/bin/env bash
# Bad input given to the real program: broken, missing, huge and oddly named
# pictures, a garbage settings file, odd colours and lock settings, odd
# command lines and a stored password of every byte value. Every run must end
# (by itself or by the input that ends it) without a crash, land in the
# spare-picture recovery where the picture cannot be shown, and leave the
# settings file as it was wherever nothing should change.
source "$(dirname "$0")/lib.sh" "$1"
start_xvfb 640 480
ini=$XDG_CONFIG_HOME/vellora/vellora.ini
store=$XDG_CONFIG_HOME/vellora/user-store.ini
spare=$XDG_DATA_HOME/vellora/imgx.bmp
convert -size 64x48 xc:purple "BMP3:$spare"
convert -size 80x60 xc:orange "$WORK/good.jpg"
export VELLORA_LOCK=0

# Ends a run of the saver with a key; it must exit on its own with status 0.
end_saver() {
  xdotool key a
  wait_until '! running $APP_PID' 8 || fail "$1: the saver did not end"
  wait "$APP_PID" || fail "$1: the saver exited with status $?"
}
# Ends the setup dialog with Cancel (Alt+C).
end_setup() {
  # Without a window manager the dialog may not have the keyboard at once.
  wait_until 'xdotool search --name "^VELLORA Screen Saver Setup\$" windowfocus 2>/dev/null; xdotool key alt+c; sleep 0.2; ! running $APP_PID' 8 ||
    fail "$1: the setup dialog did not end"
  wait "$APP_PID" || fail "$1: the setup dialog exited with status $?"
}
run_mode() { # run_mode /S|/C LABEL
  : >"$VELLORA_TRACE"
  start_vellora "$1"
  if [ "$1" = /S ]; then
    wait_trace '^show MainForm' 10 || fail "$2: the saver did not open"
    end_saver "$2"
  else
    wait_trace '^show Configuration' 10 || fail "$2: the setup dialog did not open"
    end_setup "$2"
  fi
}
ini_name() { sed -n 's/^name=//p' "$ini"; }
ini_hue() { sed -n 's/^hue=//p' "$ini"; }

# --- pictures that cannot be shown: both modes fall back to the spare and keep the colour.
mkdir -p "$WORK/a folder.jpg"
: >"$WORK/empty.jpg"
convert -size 300x200 gradient:red-blue "BMP3:$WORK/full.bmp"
convert -size 300x200 gradient:red-blue "$WORK/full.gif"
convert -size 300x200 gradient:red-blue -quality 90 "$WORK/full.jpg"
convert -size 64x64 gradient:red-blue "$WORK/full.ico"
for f in bmp gif jpg ico; do head -c 60 "$WORK/full.$f" >"$WORK/cut.$f"; done
# A placeable metafile header, then the start of a record that never comes.
printf '\xD7\xCD\xC6\x9A\x00\x00\x00\x00\x00\x00\xA0\x05\xD0\x02\xA0\x05\x00\x00\x00\x00\xC1\x55\x01\x00\x09\x00\x00\x03\x28\x00\x00\x00\x01\x00\x07\x00\x00\x00\x00\x00\x05\x00' >"$WORK/cut.wmf"
# Headers that declare 60000 x 60000 pixels, with almost no data behind them.
python3 - "$WORK" <<'PY'
import struct, sys
w = sys.argv[1]
n = 60000
bmp = b'BM' + struct.pack('<IHHI', 54 + 16, 0, 0, 54) + struct.pack('<IiiHHIIiiII', 40, n, n, 1, 24, 0, 0, 2835, 2835, 0, 0) + b'\0' * 16
open(w + '/huge.bmp', 'wb').write(bmp)
gif = b'GIF89a' + struct.pack('<HH', n, n) + b'\x00\x00\x00' + b',' + struct.pack('<HHHH', 0, 0, n, n) + b'\x00\x02\x02\x44\x01\x00;'
open(w + '/huge.gif', 'wb').write(gif)
jpg = bytes.fromhex('FFD8FFE000104A46494600010100000100010000') + bytes.fromhex('FFC0000B080000000101011100') + b'\xFF\xD9'
jpg = jpg.replace(bytes.fromhex('0800000000'), b'\x08' + struct.pack('>HH', n, n))
open(w + '/huge.jpg', 'wb').write(jpg)
PY
# A path of 32 KiB that names nothing.
long_path=$WORK/$(printf 'x%.0s' $(seq 1 32768)).jpg
unreadable=$WORK/locked.jpg
cp "$WORK/good.jpg" "$unreadable"
chmod 000 "$unreadable"
broken=("$WORK/a folder.jpg" "$WORK/empty.jpg" "$WORK/cut.bmp" "$WORK/cut.gif" "$WORK/cut.jpg" "$WORK/cut.ico"
        "$WORK/cut.wmf" "$WORK/huge.bmp" "$WORK/huge.gif" "$WORK/huge.jpg" "$long_path")
if head -c1 "$unreadable" >/dev/null 2>&1; then
  echo "note: running as $(id -un), who can read a file with no permissions: the unreadable-file case is skipped"
else
  broken+=("$unreadable")
fi
for picture in "${broken[@]}"; do
  label=$(basename "$picture" | cut -c1-24)
  for mode in /S /C; do
    write_settings 4227327 "$picture"
    before=$(md5sum <"$ini")
    run_mode "$mode" "$mode $label"
    if [ "$(ini_name)" = "$picture" ] && [[ $label == cut.* ]]; then
      # A truncated file may still decode (the missing rows stay empty): then it is shown and nothing changes.
      grep -qF "picture [$picture] " "$VELLORA_TRACE" || fail "$mode $label: neither shown nor replaced"
      [ "$(md5sum <"$ini")" = "$before" ] || fail "$mode $label: the settings file changed"
      continue
    fi
    [ "$(ini_name)" = "$spare" ] || fail "$mode $label: the settings file does not name the spare: $(head -c 200 "$ini")"
    [ "$(ini_hue)" = 4227327 ] || fail "$mode $label: the colour was lost: $(head -c 200 "$ini")"
    grep -qF "picture [$spare] 64x48 px" "$VELLORA_TRACE" || fail "$mode $label: the spare was not shown"
  done
  pass "$label: both modes end cleanly, showing it or the spare, keeping the colour"
done
chmod 600 "$unreadable"

# --- a good picture under a path with non-ASCII characters loads as it is.
mkdir -p "$WORK/ärger €"
cp "$WORK/good.jpg" "$WORK/ärger €/bild ✓.jpg"
for mode in /S /C; do
  write_settings 255 "$WORK/ärger €/bild ✓.jpg"
  before=$(md5sum <"$ini")
  run_mode "$mode" "$mode non-ASCII path"
  grep -qF "picture [$WORK/ärger €/bild ✓.jpg] 80x60 px" "$VELLORA_TRACE" || fail "$mode: the non-ASCII path did not load"
  [ "$(md5sum <"$ini")" = "$before" ] || fail "$mode: the settings file changed: $(cat "$ini")"
done
pass "a non-ASCII path loads and the settings file stays as it was"

# --- colours: the saver only reads them; the file must stay byte for byte.
for hue in abc -5 99999999999999999999 ' ' '0x10' '1e9' "$(printf '\x01\x02')"; do
  write_settings "$hue" "$WORK/good.jpg"
  before=$(md5sum <"$ini")
  run_mode /S "hue [$hue]"
  [ "$(md5sum <"$ini")" = "$before" ] || fail "hue [$hue]: the settings file changed"
done
pass "odd colours: the saver runs and ends, the settings file is untouched"

# --- a garbage settings file: the saver runs; what it held is kept (a picture
# name may only be added or replaced by the recovery).
head -c 4096 /dev/urandom >"$WORK/garbage.ini"
printf '\0\0\0[Color\nhue=\xff\xfe\n[[[\n=\n\n' >>"$WORK/garbage.ini"
for mode in /S /C; do
  cp "$WORK/garbage.ini" "$ini"
  run_mode "$mode" "$mode garbage settings file"
  python3 - "$WORK/garbage.ini" "$ini" <<'PY' || fail "$mode: the garbage settings file lost bytes"
import sys
old = open(sys.argv[1], 'rb').read().replace(b'\r', b'')
new = open(sys.argv[2], 'rb').read().replace(b'\r', b'')
# Every line the file had is still there, in order.
lines = [l for l in old.split(b'\n') if l and not l.startswith(b'name=')]
pos = 0
for l in lines:
    at = new.find(l, pos)
    if at < 0:
        sys.exit("missing line %r" % l[:40])
    pos = at + len(l)
PY
done
pass "a garbage settings file: both modes end cleanly and keep its bytes"

# --- lock settings: odd values of every source; no password is stored, so a key ends the saver.
write_settings 255 "$WORK/good.jpg"
rm -f "$store"
for lock in 1 -1 2 yes garbage "$(head -c 300 /dev/zero | tr '\0' 'x')" ''; do
  VELLORA_LOCK=$lock run_mode /S "VELLORA_LOCK [${lock:0:10}]"
done
unset VELLORA_LOCK
for rc in 'lock: True' 'lock: maybe' 'lock:' "lock: $(head -c 300 /dev/zero | tr '\0' '1')" "$(head -c 2000 /dev/urandom | tr -d '\0')"; do
  printf '%s\n' "$rc" >"$HOME/.xscreensaver"
  run_mode /S ".xscreensaver [${rc:0:10}]"
done
rm -f "$HOME/.xscreensaver"
export VELLORA_LOCK=0
pass "odd lock settings: the saver ends on a key without a prompt when no password is stored"

# --- command lines that open nothing or a preview with no pane: each ends by itself.
for args in "/P 123456789012345678901234567890" "/P abc" "/p" "   " "$(printf '\x01')/S" "/Z 1"; do
  # shellcheck disable=SC2086
  start_vellora $args
  wait_until '! running $APP_PID' 5 || fail "[$args]: the program did not end by itself"
  wait "$APP_PID" || fail "[$args]: exit status $?"
done
start_vellora "   "
wait_until '! running $APP_PID' 5 || fail "[blanks as one argument]: the program did not end"
wait "$APP_PID" || fail "[blanks]: exit status $?"
pass "odd command lines end by themselves"

# --- a stored password holding all 256 byte values after an "A" (a value that
# starts below a blank counts as no password), not one the encoding makes:
# the prompt refuses a typed password, the saver goes on, the store is kept.
python3 - "$store" <<'PY'
import sys
special = set(b'\\=;#"[]\' ')
out = ''.join('\\x%02X' % b if b < 0x20 or b == 0x7F or b in special or b >= 0x80 else chr(b) for b in b'A' + bytes(range(256)))
open(sys.argv[1], 'w').write('[Samples\\Oskel Screen Saver]\nPassword=' + out + '\n')
PY
before=$(md5sum <"$store")
: >"$VELLORA_TRACE"
VELLORA_LOCK=1 start_vellora /S
wait_trace '^show MainForm' 10 || fail "256 bytes: the saver did not open"
xdotool key a
wait_trace '^show PassCheck modal' 10 || fail "256 bytes: no prompt"
wait_trace '^focus PassCheck.Text1' 10 || fail "256 bytes: the password box has no focus"
xdotool type --delay 5 ' !"#$%&()*+,-./0123456789:;<=>?@AZ[\]^_`az{|}~'
xdotool key Return
wait_trace '^message active' 10 || fail "256 bytes: no wrong-password message"
xdotool key Return
wait_trace '^unload PassCheck' 5 || fail "256 bytes: the prompt did not close"
running "$APP_PID" || fail "256 bytes: the saver ended"
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
[ "$(md5sum <"$store")" = "$before" ] || fail "256 bytes: the stored password changed"
pass "a stored password of all 256 byte values: refused without a crash, kept as it was"

# Every printable character through the password dialog, then the prompt accepts it.
rm -f "$store"
password=' !"#$%&()*+,-./09:;<=>?@AZ[\]^_`az{|}~'
: >"$VELLORA_TRACE"
start_vellora /A 0
wait_trace '^show PassChange' 10 || fail "the password dialog did not open"
wait_trace '^focus PassChange' 10 || fail "the password dialog has no focus"
xdotool type --delay 5 "$password"
xdotool key Tab
xdotool type --delay 5 "$password"
xdotool key Return
wait_until '! running $APP_PID' 8 || fail "the password dialog did not close"
wait "$APP_PID" || fail "the password dialog exited with status $?"
grep -q '^Password=.' "$store" || fail "no password stored: $(cat "$store" 2>/dev/null)"
: >"$VELLORA_TRACE"
VELLORA_LOCK=1 start_vellora /S
wait_trace '^show MainForm' 10 || fail "printable password: the saver did not open"
xdotool key a
wait_trace '^focus PassCheck.Text1' 10 || fail "printable password: no prompt"
xdotool type --delay 5 "$password"
xdotool key Return
wait_until '! running $APP_PID' 8 || fail "printable password: the stored password was not accepted"
wait "$APP_PID" || fail "printable password: exit status $?"
pass "every printable character: stored by the dialog, accepted by the prompt"
