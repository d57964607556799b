# Scenarios of the Windows program alone: the installer, two monitors, a
# Windows directory nobody may write.

# The installer, made from this build and run silently: vellora.scr and
# vellora.hlp in System32, the spare picture at c:\imgx.bmp, Vellora the
# desktop's screen saver (it starts from there in the colour of the
# settings), an entry in "Add or remove programs". The uninstaller takes it
# all away and leaves the settings and the password; the user's own
# c:\imgx.bmp and, with /NOACTIVATE, the user's screen saver stay.
scenario_installer() {
  local top build setup version sys32 instdir pair size f scrnsave
  local desktop='HKCU\Control Panel\Desktop' entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellora'
  top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
  build=$(cd "$(dirname "$VELLORA_SCR")/.." && pwd)
  "$top/packaging/windows/make-installer.sh" "$build" "$WORK" >"$WORK/make-installer.log" 2>&1 ||
    fail "the installer could not be made: $(cat "$WORK/make-installer.log")"
  setup=$WORK/vellora-setup.exe
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  sys32=$WINEPREFIX/drive_c/windows/system32
  instdir="$WINEPREFIX/drive_c/Program Files/Vellora"
  at_exit rm -rf "$sys32/vellora.scr" "$sys32/vellora.hlp" "$instdir"
  at_exit reg delete "$entry" /f
  at_exit reg delete "$desktop" /v SCRNSAVE.EXE /f
  settings 16711680 ""
  cp "$SETTINGS" "$WORK/before.ini"
  password 'SX]'

  "$WINE" "$setup" /S >>"$WORK/setup.log" 2>&1 </dev/null || fail "the installer failed"
  cmp -s "$sys32/vellora.scr" "$VELLORA_SCR" || fail "vellora.scr is not in System32"
  cmp -s "$sys32/vellora.hlp" "$top/resources/vellora.hlp" || fail "vellora.hlp is not in System32"
  cmp -s "$SPARE" "$WORK/installer/imgx.bmp" || fail "the spare picture is not at c:\\imgx.bmp"
  scrnsave=$(reg_value "$desktop" SCRNSAVE.EXE) || fail "Vellora is not the screen saver"
  [ "${scrnsave,,}" = 'c:\windows\system32\vellora.scr' ] || fail "SCRNSAVE.EXE is $scrnsave"
  for pair in DisplayName=Vellora "DisplayVersion=$version" Publisher=Vellora \
              'UninstallString="C:\Program Files\Vellora\uninstall.exe"'; do
    [ "$(reg_value "$entry" "${pair%%=*}")" = "${pair#*=}" ] || fail "the entry's ${pair%%=*} is not ${pair#*=}"
  done
  size=$(reg_value "$entry" EstimatedSize)
  [ $((size)) -ge $(($(stat -c %s "$VELLORA_SCR") / 1024)) ] || fail "the estimated size is $size"
  reg_value "$entry" DisplayIcon | grep -qi 'vellora.scr' || fail "the entry has no icon"
  VELLORA_SCR=$scrnsave start /S
  wait_until '[ "$(pixels_not "$(shot installed)" "$(screen)" 0,0,255)" -lt $((SCREEN_W * SCREEN_H / 4)) ]' 5 ||
    fail "the installed saver does not show the colour of the settings"
  key a
  ended 5 || fail "a key did not end the installed saver"

  installer_uninstall
  for f in "$sys32/vellora.scr" "$sys32/vellora.hlp" "$SPARE" "$instdir"; do [ ! -e "$f" ] || fail "the uninstaller left $f"; done
  ! reg_value "$desktop" SCRNSAVE.EXE >/dev/null || fail "the uninstaller left Vellora as the screen saver"
  cmp -s "$SETTINGS" "$WORK/before.ini" || fail "the uninstaller touched the settings"
  [ "$(stored_password)" = 'SX]' ] || fail "the uninstaller touched the password"

  picture bmp 16 16 ffa500 "$SPARE"
  cp "$SPARE" "$WORK/users.bmp"
  reg add "$desktop" /v SCRNSAVE.EXE /d 'C:\windows\system32\other.scr' /f
  "$WINE" "$setup" /S /NOACTIVATE >>"$WORK/setup.log" 2>&1 </dev/null || fail "the installer failed (/NOACTIVATE)"
  [ -f "$sys32/vellora.scr" ] || fail "vellora.scr is not in System32 (/NOACTIVATE)"
  cmp -s "$SPARE" "$WORK/users.bmp" || fail "the installer replaced the user's c:\\imgx.bmp"
  [ "$(reg_value "$desktop" SCRNSAVE.EXE)" = 'C:\windows\system32\other.scr' ] || fail "/NOACTIVATE changed SCRNSAVE.EXE"
  installer_uninstall
  cmp -s "$SPARE" "$WORK/users.bmp" || fail "the uninstaller removed the user's c:\\imgx.bmp"
  [ "$(reg_value "$desktop" SCRNSAVE.EXE)" = 'C:\windows\system32\other.scr' ] ||
    fail "the uninstaller changed another screen saver's SCRNSAVE.EXE"
}

# The uninstaller runs a copy of itself from the temporary folder and returns
# at once; the copy is done when the program's folder and entry are gone.
installer_uninstall() {
  "$WINE" 'C:\Program Files\Vellora\uninstall.exe' /S >>"$WORK/setup.log" 2>&1 </dev/null || fail "the uninstaller did not start"
  wait_until '[ ! -e "$instdir" ] && ! reg_value "$entry" DisplayName >/dev/null' 20 || fail "the uninstaller did not finish"
}

# Two monitors side by side (Xephyr's Xinerama heads, and a Wine prefix of
# its own that does not ask RandR, which reports one screen): the saver
# covers both heads, and the password prompt opens on the primary one.
scenario_multimonitor() {
  local wineserver=${VELLORA_WINESERVER:-$(command -v wineserver)} head left right
  xephyr
  use_prefix "$WORK/prefix"
  at_exit env WINEPREFIX="$WINEPREFIX" "$wineserver" -k
  at_exit rm -rf "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f
  "$wineserver" -w
  "$wineserver" -p
  locked "$GREEN_HUE"
  start /S
  wait_until 'host windows | grep -F "text=\"$MAIN\" rect=0,0,1600,600 " >/dev/null' 5 ||
    fail "the saver does not cover the desktop of both heads: $(host windows | grep "$MAIN")"
  for head in 800x600+0+0 800x600+800+0; do
    wait_until '[ "$(pixels_not "$(shot heads)" $head $GREEN)" -lt 120000 ]' 5 || fail "the head at $head is not covered"
  done
  key a
  wait_shown "$PROMPT" || fail "no password prompt"
  read -r left right <<<"$(host windows | awk -v p="text=\"$PROMPT\"" '
    /^window/ { split(substr($0, index($0, "rect=") + 5), q, /[, ]/); next } index($0, p) { print q[1], q[3]; exit }')"
  [ "$left" -ge 0 ] && [ "$right" -le 800 ] || fail "the prompt at $left..$right is not on the primary head"
  enter abc
  ended 5 || fail "the right password did not end the saver"
}

# A Windows directory nobody may write (chattr +i), as for a standard user:
# OK in "/C" saves in the user's own copy (%APPDATA%\Vellora), made from the
# shared file, and "/S" shows it: the new colour and the picture whose name
# has an accented letter (ANSI text, byte for byte). The shared file stays.
scenario_protected() {
  local windir=$WINEPREFIX/drive_c/windows name s
  picture bmp 120 80 ff0000 "$WORK/café.bmp"
  name=$(native "$WORK/café.bmp")   # é as the byte E9
  settings 8388608 "$name"
  cp "$SETTINGS" "$WORK/before.ini"
  chattr +i "$SETTINGS" "$windir" 2>/dev/null ||
    { echo "SKIP: chattr +i does not work here (it needs root and a file system that keeps the flag)"; exit 77; }
  at_exit chattr -i "$SETTINGS" "$windir"
  ! touch "$windir/probe" 2>/dev/null || fail "the Windows directory can still be written"
  start /C
  set_colour
  key alt+o
  ended 5 || fail "OK did not close the dialog"
  [ -f "$USER_SETTINGS" ] || fail "no copy of the settings in the user's folder"
  cmp -s "$SETTINGS" "$WORK/before.ini" || fail "the shared file changed"
  [ "$(setting hue "$USER_SETTINGS")" = "$COLOUR" ] || fail "the user's copy does not hold the new colour"
  [ "$(setting name "$USER_SETTINGS")" = "$name" ] || fail "the picture's name did not come over byte for byte"
  [ "$(head -c 1 "$USER_SETTINGS")" = "[" ] || fail "the user's copy does not start as ANSI text"
  start /S
  wait_until 's=$(shot saver); [ "$(pixels_not "$s" "$(screen)" "$((COLOUR & 255)),$((COLOUR >> 8 & 255)),$((COLOUR >> 16))")" -lt $((SCREEN_W * SCREEN_H / 4)) ]' 5 ||
    fail "the saver does not show the saved colour"
  [ "$(pixels_not "$s" "$(screen)" 255,0,0)" -lt $((SCREEN_W * SCREEN_H)) ] || fail "the saver does not show the picture"
  key a
  ended 5 || fail "a key did not end the saver"
}
