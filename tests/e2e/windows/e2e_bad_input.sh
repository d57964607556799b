#!/usr/bin/env bash
# Bad input given to vellora.scr: broken, missing, huge and oddly named
# pictures, a garbage vellora.ini, odd colours, the desktop password flag as
# every registry type, odd command lines and a stored password of every byte
# value. Every run must end without a crash, fall back to the spare picture
# where the picture cannot be shown, and leave vellora.ini as it was wherever
# nothing should change.
source "$(dirname "$0")/lib.sh"

spare_unix="$WINEPREFIX/drive_c/imgx.bmp"
main_title="Screen Saver Main Form"
setup_title="VELLORA Screen Saver Setup"
fresh_state
"$CONVERT" -size 64x48 xc:purple "BMP3:$spare_unix"
at_exit rm -f "$spare_unix"
"$CONVERT" -size 80x60 xc:orange "$OUT/good.jpg"

write_ini() { printf '[Color]\r\nhue=%s\r\n[Image]\r\nname=%s\r\n' "$1" "$2" >"$INI"; }

# run_mode /S|/C LABEL: opens the mode's window and ends it (a key, or Cancel).
run_mode() {
    start_scr "$1"
    if [ "$1" = /S ]; then
        win=$(wait_window "$main_title" 20) || fail "$2: the saver window did not appear"
        sleep 0.3
        focus "$win"
        xdotool key a
    else
        wait_window "$setup_title" 20 >/dev/null || fail "$2: the setup dialog did not appear"
        sleep 0.3
        click_child "$setup_title" "&Cancel"
    fi
    wait_ended "$SCR_PID" 10 || fail "$2: the window did not end"
    wait "$SCR_PID" 2>/dev/null && status=0 || status=$?
    [ "$status" -eq 0 ] || fail "$2: vellora.scr exited with status $status"
    if host windows | grep -qiE 'title="[^"]*(Program Error|vellora\.scr)'; then fail "$2: a crash dialog"; fi
}

# --- pictures that cannot be shown: both modes fall back to the spare and keep the colour.
mkdir -p "$OUT/a folder.jpg"
: >"$OUT/empty.jpg"
"$CONVERT" -size 300x200 gradient:red-blue "BMP3:$OUT/full.bmp"
"$CONVERT" -size 300x200 gradient:red-blue "$OUT/full.gif"
"$CONVERT" -size 300x200 gradient:red-blue -quality 90 "$OUT/full.jpg"
"$CONVERT" -size 64x64 gradient:red-blue "$OUT/full.ico"
for f in bmp gif jpg ico; do head -c 60 "$OUT/full.$f" >"$OUT/cut.$f"; done
printf '\xD7\xCD\xC6\x9A\x00\x00\x00\x00\x00\x00\xA0\x05\xD0\x02\xA0\x05\x00\x00\x00\x00\xC1\x55\x01\x00\x09\x00\x00\x03\x28\x00\x00\x00\x01\x00\x07\x00\x00\x00\x00\x00\x05\x00' >"$OUT/cut.wmf"
python3 - "$OUT" <<'PY'
import struct, sys
w = sys.argv[1]
n = 60000
bmp = b'BM' + struct.pack('<IHHI', 54 + 16, 0, 0, 54) + struct.pack('<IiiHHIIiiII', 40, n, n, 1, 24, 0, 0, 2835, 2835, 0, 0) + b'\0' * 16
open(w + '/huge.bmp', 'wb').write(bmp)
gif = b'GIF89a' + struct.pack('<HH', n, n) + b'\x00\x00\x00' + b',' + struct.pack('<HHHH', 0, 0, n, n) + b'\x00\x02\x02\x44\x01\x00;'
open(w + '/huge.gif', 'wb').write(gif)
jpg = bytes.fromhex('FFD8FFE000104A46494600010100000100010000') + b'\xFF\xC0\x00\x0B\x08' + struct.pack('>HH', n, n) + bytes.fromhex('01011100') + b'\xFF\xD9'
open(w + '/huge.jpg', 'wb').write(jpg)
PY
long_path="Z:$(printf 'x%.0s' $(seq 1 32768)).jpg"
broken=("$(dos_path "$OUT/a folder.jpg")" "$(dos_path "$OUT/empty.jpg")" "$long_path")
for f in cut.bmp cut.gif cut.jpg cut.ico cut.wmf huge.bmp huge.gif huge.jpg; do broken+=("$(dos_path "$OUT/$f")"); done
cp "$OUT/good.jpg" "$OUT/locked.jpg"
chmod 000 "$OUT/locked.jpg"
if head -c1 "$OUT/locked.jpg" >/dev/null 2>&1; then
    log "note: running as $(id -un), who can read a file with no permissions: the unreadable-file case is skipped"
else
    broken+=("$(dos_path "$OUT/locked.jpg")")
fi
for picture in "${broken[@]}"; do
    label=$(basename "${picture//\\//}" | cut -c1-24)
    for mode in /S /C; do
        write_ini 4227327 "$picture"
        cp "$INI" "$OUT/before.ini"
        run_mode "$mode" "$mode $label"
        if [ "$(ini_value Image name)" = "$picture" ] && [[ $label == cut.* ]]; then
            # A truncated file may still decode: then it is shown and nothing changes.
            cmp -s "$INI" "$OUT/before.ini" || fail "$mode $label: vellora.ini changed"
            continue
        fi
        [ "$(ini_value Image name)" = 'c:\imgx.bmp' ] || fail "$mode $label: vellora.ini does not name the spare: $(head -c 200 "$INI")"
        [ "$(ini_value Color hue)" = 4227327 ] || fail "$mode $label: the colour was lost"
    done
    log "ok: $label: both modes fall back to the spare and keep the colour"
done
chmod 600 "$OUT/locked.jpg"

# --- a good picture under a path with characters beyond ASCII (in the ANSI code page).
mkdir -p "$OUT/$(printf 'caf\xc3\xa9')"
cp "$OUT/good.jpg" "$OUT/$(printf 'caf\xc3\xa9')/bild.jpg"
accented=$(printf 'Z:%s\\caf\xe9\\bild.jpg' "${OUT//\//\\}")
for mode in /S /C; do
    write_ini 255 "$accented"
    cp "$INI" "$OUT/before.ini"
    run_mode "$mode" "$mode accented path"
    cmp -s "$INI" "$OUT/before.ini" || fail "$mode accented path: vellora.ini changed: $(cat "$INI")"
done
log "ok: an accented path loads and vellora.ini stays as it was"

# --- colours: the saver only reads them.
good=$(dos_path "$OUT/good.jpg")
for hue in abc -5 99999999999999999999 ' ' '&H10' '1e9'; do
    write_ini "$hue" "$good"
    cp "$INI" "$OUT/before.ini"
    run_mode /S "hue [$hue]"
    cmp -s "$INI" "$OUT/before.ini" || fail "hue [$hue]: vellora.ini changed"
done
log "ok: odd colours: the saver runs and ends, vellora.ini is untouched"

# --- a garbage vellora.ini: the saver runs and ends, and the file is not cut
# short. The system's profile functions own this file: they re-encode bytes
# that are not text in the ANSI code page, so a byte-for-byte check applies
# only to the text lines.
head -c 4096 /dev/urandom | tr -d '\0' >"$OUT/garbage.ini"
printf '\r\n[Notes]\r\nkeep=me; and = this # too\r\n[Color\r\nhue=\xff\xfe\r\n[[[\r\n=\r\n' >>"$OUT/garbage.ini"
cp "$OUT/garbage.ini" "$INI"
run_mode /S "garbage vellora.ini"
python3 - "$OUT/garbage.ini" "$INI" <<'PY' || fail "the garbage vellora.ini was cut short or lost its text"
import sys
old = open(sys.argv[1], 'rb').read()
new = open(sys.argv[2], 'rb').read()
if len(new) < len(old) * 9 // 10:
    sys.exit("cut from %d to %d bytes" % (len(old), len(new)))
for line in (b'[Notes]', b'keep=me; and = this # too'):
    if line not in new:
        sys.exit("missing line %r" % line)
PY
log "ok: a garbage vellora.ini: the saver ends cleanly and the file keeps its text"

# --- the desktop password flag as every registry type; no password is stored, so a key ends the saver.
write_ini 255 "$good"
long_value=$(printf '1%.0s' $(seq 1 300))
for value in "REG_SZ 1" "REG_SZ $long_value" "REG_DWORD 1" "REG_DWORD 4294967295" "REG_QWORD 1" "REG_BINARY 01000000" \
             "REG_BINARY $(printf 'ff%.0s' $(seq 1 300))" "REG_MULTI_SZ 1\\0two" "REG_EXPAND_SZ %PATH%" "REG_NONE 01"; do
    set -- $value
    reg add 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /t "$1" /d "$2" /f || fail "reg add $1 failed"
    run_mode /S "flag $1 ${2:0:12}"
done
reg delete 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /f || true
log "ok: the password flag as every registry type: the saver ends on a key without a prompt"

# --- command lines that open nothing or a preview with no pane: each ends by itself.
for args in "/P 123456789012345678901234567890" "/P abc" "   " "/Z 1"; do
    # shellcheck disable=SC2086
    start_scr $args
    wait_ended "$SCR_PID" 10 || fail "[$args]: vellora.scr did not end by itself"
    wait "$SCR_PID" 2>/dev/null && status=0 || status=$?
    [ "$status" -eq 0 ] || fail "[$args]: exit status $status"
done
log "ok: odd command lines end by themselves"

# --- a stored password of all 256 byte values (one the encoding never makes):
# the prompt refuses a typed password, the saver goes on, the value is kept.
python3 - "$OUT/password.reg" <<'PY'
import sys
data = b'A' + bytes(range(1, 256)) + b'\0'
hexed = ','.join('%02x' % b for b in data)
text = 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Samples\\Oskel Screen Saver]\r\n"Password"=hex(1):' + hexed + '\r\n'
open(sys.argv[1], 'w').write(text)
PY
"$WINE" regedit /s "$(dos_path "$OUT/password.reg")" >/dev/null 2>&1 || fail "regedit did not import the password"
before=$(reg_query 'HKCU\Software\Samples\Oskel Screen Saver' /v Password | md5sum)
reg add 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /t REG_DWORD /d 1 /f
start_scr /S
win=$(wait_window "$main_title" 20) || fail "256 bytes: the saver window did not appear"
sleep 0.3
focus "$win"
xdotool key a
wait_host_line 'text="Password:"' 10 || fail "256 bytes: no password prompt"
sleep 0.3
xdotool type --delay 10 'wrong ~!@#$%^&*()_+{}|:"<>?'
xdotool key Return
sleep 1
xdotool key Return
sleep 1
running "$SCR_PID" || fail "256 bytes: the saver ended after a wrong password"
kill "$SCR_PID" 2>/dev/null || true
wait_ended "$SCR_PID" 10 || true
after=$(reg_query 'HKCU\Software\Samples\Oskel Screen Saver' /v Password | md5sum)
[ "$before" = "$after" ] || fail "256 bytes: the stored password changed"
reg delete 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /f || true
reg delete 'HKCU\Software\Samples' /f || true
log "ok: a stored password of all byte values: refused without a crash, kept as it was"
log "PASS"
