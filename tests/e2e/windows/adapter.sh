# Windows: vellora.scr under Wine, inside with-wine.sh; e2e_host lists the windows and owns a preview pane.
: "${VELLORA_SCR:?path of vellora.scr}" "${VELLORA_HOST:?path of e2e_host.exe}" "${WINEPREFIX:?}" "${DISPLAY:?}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINE=${VELLORA_WINE:-wine}
EOL=$'\r' SPARE_NAME='c:\imgx.bmp' PASSWORD_KEY='HKCU\Software\Samples\Oskel Screen Saver' SCREEN_W=1024 SCREEN_H=768
HELP_TITLE='Vellora Help' DESKTOP='HKCU\Control Panel\Desktop'

# use_prefix DIR: the Wine prefix for the next programs, and its files (USER_SETTINGS: the user's own copy).
use_prefix() {
  export WINEPREFIX=$1
  SETTINGS=$1/drive_c/windows/vellora.ini SPARE=$1/drive_c/imgx.bmp
  USER_SETTINGS=$1/drive_c/users/$(id -un)/AppData/Roaming/Vellora/vellora.ini
}
use_prefix "$WINEPREFIX"

reg() { "$WINE" reg "$@" >/dev/null 2>&1; }
# reg_value KEY NAME: a registry value's data as text; fails when there is none.
reg_value() { "$WINE" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^    $2    REG_[A-Z_]*    //p" | grep .; }
host() { "$WINE" "$VELLORA_HOST" "$@" 2>/dev/null </dev/null | tr -d '\r'; }

# Every test starts without settings, spare picture, password or lock.
rm -rf "$SETTINGS" "$(dirname "$USER_SETTINGS")" "$SPARE"
reg delete 'HKCU\Software\Samples' /f || true
reg delete "$DESKTOP" /v ScreenSaveUsePassword /f || true
on_failure() { echo "--- windows:"; host windows; }

app() {
  "$WINE" "$VELLORA_SCR" "$@" >>"$WORK/scr.log" 2>&1 </dev/null &
  APP_PID=$! && started $!
}
native() { local p=${1//\//\\}; echo "Z:$p" | iconv -f UTF-8 -t CP1252; }  # in the ANSI code page
password() { reg add "$PASSWORD_KEY" /v Password /t REG_SZ /d "$1" /f; }
stored_password() { reg_value "$PASSWORD_KEY" Password || true; }
lock() { reg add "$DESKTOP" /v ScreenSaveUsePassword /t REG_SZ /d 1 /f; }
# at_dpi DPI: the programs started from now on show at that dpi (LogPixels, removed at the test's end).
at_dpi() {
  reg add "$DESKTOP" /v LogPixels /t REG_DWORD /d "$1" /f
  [ -n "${DPI_SET:-}" ] || { at_exit reg delete "$DESKTOP" /v LogPixels /f; DPI_SET=1; }
}
mark() { :; }  # the window list tells what shows now

# wait_shown TEXT: a window or control shows that text. wait_focus: the foreground form has the keyboard.
wait_shown() { local _text="text=\"$1\""; wait_until 'host windows | grep -F -- "$_text" >/dev/null'; }
wait_focus() {
  wait_until 'host windows |
    awk "/^window/ { f = /class=VelloraForm/ && /foreground=1/ } f && /focus=1/ { ok = 1 } END { exit !ok }"'
}
cursor() { host windows | grep "^cursor $1" >/dev/null; }  # (grep -q would end the host early)

# rect_of TITLE LINE: "left top right bottom" of the first visible control with LINE in that window (any for "").
rect_of() {
  host windows | T=$1 C=$2 awk '/^window/ { w = ENVIRON["T"] == "" || index($0, "text=\"" ENVIRON["T"] "\""); next }
    w && index($0, ENVIRON["C"]) && /visible=1/ {
      split(substr($0, index($0, "rect=") + 5), r, /[, ]/); print r[1], r[2], r[3], r[4]; exit }'
}

# click_on TITLE TEXT: a click in the middle of that control of that window.
click_on() {
  local l t r b
  read -r l t r b <<<"$(rect_of "$1" "text=\"$2\"")"
  [ -n "$b" ] || fail "no \"$2\" in \"$1\""
  click $(((l + r) / 2)) $(((t + b) / 2))
}

# host_open: another program's pane; its handle in $HOST, its place in $HOST_RECT ("rect=left,top,right,bottom").
host_open() {
  "$WINE" "$VELLORA_HOST" pane >"$WORK/host.txt" 2>/dev/null </dev/null &
  HOST_PID=$! && started $!
  wait_until 'read -r _ HOST HOST_RECT < <(tr -d "\r" <"$WORK/host.txt")' || fail "the host made no pane"
}

# preview_drawn: a window of the saver's fills the pane, the preview's own window stays hidden.
preview_drawn() {
  wait_until 'host windows | grep -v "class=VelloraTestHost" | grep -F -- "$HOST_RECT " >/dev/null' || return 1
  [ -z "$(windows_titled 'ZELK Screen Saver')" ]
}

# choose_colour: a basic colour, its value in $COLOUR; the dialog, open again on it, is cancelled.
choose_colour() {
  local l t r b x y g first
  window Color || fail "no colour dialog"
  first=$WIN
  read -r l t r b <<<"$(rect_of Color 'child class=Static text="" ')"
  x=$((l + (r - l) * 5 / 16)) y=$((t + (b - t) * 7 / 12))
  click "$x" "$y"
  sleep 0.3
  IFS=, read -r r g b <<<"$(pixel "$(shot colour)" "$x" "$y")"
  COLOUR=$((r + g * 256 + b * 65536))
  click_on Color OK
  wait_until 'window Color 1 && [ "$WIN" != "$first" ]' || fail "the colour dialog did not open again"
  click_on Color Cancel
}
