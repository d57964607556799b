# Scenarios of the Windows program alone: the installer, two monitors, a Windows directory nobody may write.

# The installer and uninstaller, silently: the files, the screen saver, the entry; what is the user's stays; run as
# another account, both act on the logged-on user's screen saver.
scenario_installer() {
  local top build sys32 instdir f other='C:\windows\system32\other.scr'
  local entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellora'
  local logged_on='HKU\S-1-5-18\Control Panel\Desktop'
  top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
  build=$(cd "$(dirname "$VELLORA_SCR")/.." && pwd)
  "$top/packaging/windows/make-installer.sh" "$build" "$WORK" >"$WORK/make-installer.log" 2>&1 ||
    fail "the installer could not be made: $(cat "$WORK/make-installer.log")"
  sys32=$WINEPREFIX/drive_c/windows/system32 instdir="$WINEPREFIX/drive_c/Program Files/Vellora"
  at_exit rm -rf "$sys32/vellora.scr" "$sys32/vellora.hlp" "$instdir"
  at_exit reg delete "$entry" /f
  at_exit reg delete "$DESKTOP" /v SCRNSAVE.EXE /f
  at_exit reg delete "$logged_on" /v SCRNSAVE.EXE /f
  settings 16711680 ""
  cp "$SETTINGS" "$WORK/before.ini"
  password 'SX]'

  quietly "$WORK/vellora-setup.exe" /S || fail "the installer failed"
  cmp -s "$sys32/vellora.scr" "$VELLORA_SCR" || fail "vellora.scr is not in System32"
  cmp -s "$sys32/vellora.hlp" "$top/resources/vellora.hlp" || fail "vellora.hlp is not in System32"
  cmp -s "$SPARE" "$WORK/installer/imgx.bmp" || fail "the spare picture is not at c:\\imgx.bmp"
  [ "$(screen_saver | tr A-Z a-z)" = 'c:\windows\system32\vellora.scr' ] || fail "Vellora is not the screen saver"
  VELLORA_SCR=$(screen_saver) start /S
  key a
  ended || fail "the saver at SCRNSAVE.EXE's path did not run"
  uninstall
  for f in "$sys32/vellora.scr" "$sys32/vellora.hlp" "$SPARE" "$instdir"; do [ ! -e "$f" ] || fail "$f stays"; done
  ! screen_saver >/dev/null || fail "the uninstaller left Vellora as the screen saver"
  cmp -s "$SETTINGS" "$WORK/before.ini" || fail "the uninstaller touched the settings"
  [ "$(stored_password)" = 'SX]' ] || fail "the uninstaller touched the password"

  # Wine has one account: this build takes SYSTEM for the logged-on user.
  "$top/packaging/windows/make-installer.sh" "$build" "$WORK/as-other" -DLOGGED_ON_USER=SYSTEM \
    >>"$WORK/make-installer.log" 2>&1 || fail "the installer could not be made: $(cat "$WORK/make-installer.log")"
  quietly "$WORK/as-other/vellora-setup.exe" /S || fail "the installer failed (another account)"
  [ "$(reg_value "$logged_on" SCRNSAVE.EXE | tr A-Z a-z)" = 'c:\windows\system32\vellora.scr' ] ||
    fail "Vellora is not the logged-on user's screen saver"
  ! screen_saver >/dev/null || fail "the setup made Vellora its own account's screen saver"
  uninstall
  ! reg_value "$logged_on" SCRNSAVE.EXE >/dev/null || fail "the uninstaller left Vellora as the logged-on user's screen saver"

  picture bmp 16 16 ffa500 "$SPARE"
  cp "$SPARE" "$WORK/users.bmp"
  reg add "$DESKTOP" /v SCRNSAVE.EXE /d "$other" /f
  quietly "$WORK/vellora-setup.exe" /S /NOACTIVATE || fail "the installer failed (/NOACTIVATE)"
  uninstall
  cmp -s "$SPARE" "$WORK/users.bmp" || fail "the user's c:\\imgx.bmp did not stay"
  [ "$(screen_saver)" = "$other" ] || fail "/NOACTIVATE or the uninstaller changed another screen saver's SCRNSAVE.EXE"
}

quietly() { "$WINE" "$@" >>"$WORK/setup.log" 2>&1 </dev/null; }
screen_saver() { reg_value "$DESKTOP" SCRNSAVE.EXE; }

# uninstall: the entry's uninstaller, run silently; its copy is done when the program's folder and entry are gone.
uninstall() {
  quietly "$(reg_value "$entry" UninstallString | tr -d '"')" /S || fail "the uninstaller did not start"
  wait_until '[ ! -e "$instdir" ] && ! reg_value "$entry" DisplayName >/dev/null' 20 ||
    fail "the uninstaller did not finish"
}

# Two monitors (Xephyr's Xinerama heads; a prefix that does not ask RandR): the saver covers both, the prompt opens on
# the primary one.
scenario_multimonitor() {
  local wineserver=${VELLORA_WINESERVER:-$(command -v wineserver)} head left right
  display xephyr
  use_prefix "$WORK/prefix"
  at_exit env WINEPREFIX="$WINEPREFIX" "$wineserver" -k
  at_exit rm -rf "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"  # as with-wine.sh does
  reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f
  "$wineserver" -w && "$wineserver" -p
  locked "$GREEN_HUE"
  start /S
  for head in 800x600+0+0 800x600+800+0; do covered $GREEN $head || fail "the head at $head is not covered"; done
  key a
  wait_shown "$PROMPT" || fail "no password prompt"
  read -r left _ right _ <<<"$(rect_of "" "text=\"$PROMPT\"")"
  [ "$left" -ge 0 ] && [ "$right" -le 800 ] || fail "the prompt's text at $left..$right is not on the primary head"
}

# A Windows directory nobody may write (chattr +i): OK in "/C" saves in the user's own copy made from the shared file,
# and "/S" shows it: the new colour and a TIFF whose name has an accented letter (ANSI, byte for byte).
scenario_protected() {
  local windir=$WINEPREFIX/drive_c/windows name
  picture tiff 120 80 ff0000 "$WORK/café.tif"
  name=$(native "$WORK/café.tif")   # é as the byte E9
  settings 8388608 "$name"
  chattr +i "$SETTINGS" "$windir" 2>/dev/null ||
    { echo "SKIP: chattr +i does not work here (it needs root and a file system that keeps the flag)"; exit 77; }
  at_exit chattr -i "$SETTINGS" "$windir"
  start /C
  set_colour
  key alt+o
  ended || fail "OK did not close the dialog"
  [ "$(setting hue "$USER_SETTINGS")" = "$COLOUR" ] || fail "the user's copy does not hold the new colour"
  [ "$(setting name "$USER_SETTINGS")" = "$name" ] || fail "the picture's name did not come over byte for byte"
  start /S
  covered "$((COLOUR & 255)),$((COLOUR >> 8 & 255)),$((COLOUR >> 16))" || fail "the saver shows not the saved colour"
  shows 255,0,0 || fail "the saver does not show the picture"
}
