#!/usr/bin/env bash
# The installer, made here from this build by packaging/windows/make-installer.sh
# and run silently: vellora.scr and vellora.hlp in System32, the spare
# picture at c:\imgx.bmp, Vellora the user's screen saver, an entry in "Add
# or remove programs"; the saver starts from the path the desktop names and
# shows the colour of vellora.ini. The uninstaller takes away what was
# installed and leaves vellora.ini and the stored password. A picture of the
# user's at c:\imgx.bmp is neither replaced nor removed, and /NOACTIVATE
# leaves the screen saver setting alone.
source "$(dirname "$0")/lib.sh"

top=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "$(dirname "$VELLORA_SCR")/.." && pwd)
"$top/packaging/windows/make-installer.sh" "$build" "$OUT" >"$OUT/make-installer.log" 2>&1 ||
    fail "the installer could not be made: $(cat "$OUT/make-installer.log")"
setup="$OUT/vellora-setup.exe"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
log "installer of version $version: $(stat -c %s "$setup") bytes"

sys32="$WINEPREFIX/drive_c/windows/system32"
spare="$WINEPREFIX/drive_c/imgx.bmp"
instdir="$WINEPREFIX/drive_c/Program Files/Vellora"
desktop='HKCU\Control Panel\Desktop'
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellora'

clean_machine() {
    rm -rf "$spare" "$sys32/vellora.scr" "$sys32/vellora.hlp" "$instdir"
    reg delete "$desktop" /v SCRNSAVE.EXE /f || true
    reg delete "$entry" /f || true
}
clean_machine
at_exit clean_machine

# uninstall: the uninstaller runs a copy of itself from the temporary
# folder and returns at once; the copy is done when the entry is gone.
uninstall() {
    "$WINE" 'C:\Program Files\Vellora\uninstall.exe' /S >>"$OUT/setup.log" 2>&1 </dev/null ||
        fail "the uninstaller did not start"
    for _ in $(seq 1 80); do
        if [ ! -e "$instdir" ] && ! reg_value "$entry" DisplayName >/dev/null; then return 0; fi
        sleep 0.25
    done
    fail "the uninstaller did not finish"
}

# --- a machine without Vellora, with the user's settings and password
fresh_state
printf '[Color]\r\nhue=16711680\r\n[Image]\r\nname=\r\n' >"$INI"
cp "$INI" "$OUT/settings-before.ini"
reg add 'HKCU\Software\Samples\Oskel Screen Saver' /v Password /t REG_SZ /d 'SX]' /f

"$WINE" "$setup" /S >>"$OUT/setup.log" 2>&1 </dev/null || fail "the installer failed"
cmp -s "$sys32/vellora.scr" "$VELLORA_SCR" || fail "vellora.scr is not in System32"
cmp -s "$sys32/vellora.hlp" "$top/resources/vellora.hlp" || fail "vellora.hlp is not in System32"
cmp -s "$spare" "$OUT/installer/imgx.bmp" || fail "the spare picture is not at c:\\imgx.bmp"
scrnsave=$(reg_value "$desktop" SCRNSAVE.EXE) || fail "Vellora is not the screen saver"
[ "${scrnsave,,}" = 'c:\windows\system32\vellora.scr' ] || fail "SCRNSAVE.EXE is $scrnsave"
[ "$(reg_value "$entry" DisplayName)" = Vellora ] || fail "no entry in Add or remove programs"
[ "$(reg_value "$entry" DisplayVersion)" = "$version" ] || fail "the entry's version is not $version"
[ "$(reg_value "$entry" Publisher)" = Vellora ] || fail "the entry names no publisher"
[ "$(reg_value "$entry" UninstallString)" = '"C:\Program Files\Vellora\uninstall.exe"' ] ||
    fail "the entry's uninstall command is $(reg_value "$entry" UninstallString)"
size=$(reg_value "$entry" EstimatedSize)
[ $((size)) -ge $(($(stat -c %s "$VELLORA_SCR") / 1024)) ] || fail "the estimated size is $size"
reg_value "$entry" DisplayIcon | grep -qi 'vellora.scr' || fail "the entry has no icon"
log "installed: $scrnsave, estimated size $((size)) KB"

# The desktop's screen saver, as the system would start it.
start_program "$scrnsave" /S
win=$(wait_window "Screen Saver Main Form" 20) || fail "the installed saver did not start"
sleep 1
blue=$(count_color "$(shot installed-saver)" 0,0,255)
[ "$blue" -gt $((1024 * 768 * 3 / 4)) ] || fail "the installed saver does not show the colour of vellora.ini"
focus "$win"
xdotool key a
wait_ended "$SCR_PID" 10 || fail "a key did not end the installed saver"

uninstall
for gone in "$sys32/vellora.scr" "$sys32/vellora.hlp" "$spare" "$instdir"; do
    [ ! -e "$gone" ] || fail "the uninstaller left $gone"
done
reg_value "$desktop" SCRNSAVE.EXE >/dev/null && fail "the uninstaller left Vellora as the screen saver"
cmp -s "$INI" "$OUT/settings-before.ini" || fail "the uninstaller touched vellora.ini"
[ "$(stored_password)" = 'SX]' ] || fail "the uninstaller touched the password: $(stored_password)"
log "uninstalled; vellora.ini and the password stay"

# --- the user's own c:\imgx.bmp and screen saver, installed with /NOACTIVATE
"$CONVERT" -size 16x16 xc:orange "BMP3:$spare"
cp "$spare" "$OUT/users-picture.bmp"
reg add "$desktop" /v SCRNSAVE.EXE /d 'C:\windows\system32\other.scr' /f
"$WINE" "$setup" /S /NOACTIVATE >>"$OUT/setup.log" 2>&1 </dev/null || fail "the installer failed (/NOACTIVATE)"
[ -f "$sys32/vellora.scr" ] || fail "vellora.scr is not in System32 (/NOACTIVATE)"
cmp -s "$spare" "$OUT/users-picture.bmp" || fail "the installer replaced the user's c:\\imgx.bmp"
[ "$(reg_value "$desktop" SCRNSAVE.EXE)" = 'C:\windows\system32\other.scr' ] || fail "/NOACTIVATE changed SCRNSAVE.EXE"
uninstall
cmp -s "$spare" "$OUT/users-picture.bmp" || fail "the uninstaller removed the user's c:\\imgx.bmp"
[ "$(reg_value "$desktop" SCRNSAVE.EXE)" = 'C:\windows\system32\other.scr' ] ||
    fail "the uninstaller changed another screen saver's SCRNSAVE.EXE"
log "the user's picture and screen saver stay, through install and uninstall"
