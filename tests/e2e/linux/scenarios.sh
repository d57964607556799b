# Scenarios of the Linux program alone: XScreenSaver's hack, the Debian
# package, two heads, a settings folder that cannot be written.

# The hack: the saver drawn into a given window (-window-id, or --root with
# XSCREENSAVER_WINDOW), two at once, following its window's size; input
# reaches neither, not even with the lock on; SIGTERM ends each cleanly.
scenario_hack() {
  local first second first_host s
  picture bmp 60 40 ff0000 "$WORK/p.bmp"
  locked "$GREEN_HUE"
  settings "$GREEN_HUE" "$WORK/p.bmp"
  host_open 300 200 10 10
  first_host=$HOST
  app -window-id "$HOST"
  first=$APP_PID
  host_open 200 150 400 300
  XSCREENSAVER_WINDOW=$HOST app --root
  second=$APP_PID
  wait_until 's=$(shot hacks); [ "$(pixel "$s" 300 200)" = $GREEN ] && [ "$(pixel "$s" 590 440)" = $GREEN ]' 20 ||
    fail "the saver's colour is not in both host windows"
  [ "$(pixel "$s" 350 250)" = 0,0,0 ] || fail "drawn outside the host windows"
  wait_until '[ "$(pixels_not "$(shot circles)" 300x12+10+10 $GREEN)" -gt 10 ]' || fail "no circles in the first host"

  xdotool mousemove 100 100 mousemove 120 120 mousemove 140 140 mousemove 160 160 mousemove 180 180 key a sleep 0.5
  running "$first" && running "$second" || fail "input ended a hack"
  ! grep -q '^show PassCheck' "$VELLORA_TRACE" || fail "a password prompt opened"
  xdotool windowsize "$first_host" 380 260
  wait_until '[ "$(pixel "$(shot bigger)" 380 260)" = $GREEN ]' || fail "the saver did not follow its window's size"
  kill -TERM "$first" "$second"
  for APP_PID in "$first" "$second"; do ended 5 || fail "SIGTERM did not end a hack"; done
}

# on_both_heads NAME PRIMARY_X: the saver covers both heads of 800 x 600;
# with the pointer at rest on the right head, a key opens the prompt centred
# on the primary head, and the pointer counts from that head's corner.
on_both_heads() {
  local head off X Y WIDTH HEIGHT SCREEN WINDOW
  for head in 800x600+0+0 800x600+800+0; do
    wait_until '[ "$(pixels_not "$(shot heads)" $head $GREEN)" -lt 96000 ]' 5 || fail "$1: the head at $head is not covered"
  done
  move 1200 300
  sleep 0.2
  key a
  wait_focus || fail "$1: the prompt did not open"
  [ "$(since_mark | grep '^pointer at' | tail -n1)" = "pointer at $((1200 - $2)),300" ] ||
    fail "$1: the pointer at 1200,300 was not counted from the primary head's corner"
  eval "$(xdotool getwindowfocus getwindowgeometry --shell)"
  off=$((X + WIDTH / 2 - $2 - 400))
  [ "${off#-}" -le 4 ] || fail "$1: the prompt is at x $X, $WIDTH wide, not centred on the primary head"
}

# Two heads side by side: RandR monitors on one screen (the primary at the
# right, then rearranged while the saver runs), and Xephyr's Xinerama heads.
scenario_multihead() {
  need xrandr Xephyr
  locked "$GREEN_HUE"
  xvfb 1600 600
  xrandr --setmonitor right 800/211x600/158+800+0 screen >/dev/null
  xrandr --setmonitor left 800/211x600/158+0+0 none >/dev/null
  start /S
  on_both_heads randr 800
  key Escape   # the prompt's Cancel: the saver goes on
  xrandr --delmonitor right >/dev/null
  xrandr --delmonitor left >/dev/null
  xrandr --setmonitor left 800/211x600/158+0+0 screen >/dev/null
  xrandr --setmonitor right 800/211x600/158+800+0 none >/dev/null
  wait_until 'traced "^display changed"' || fail "the saver did not hear of the new arrangement"
  on_both_heads "randr, rearranged" 0
  enter abc
  ended 5 || fail "the right password did not end the saver"
  xephyr
  start /S
  on_both_heads xinerama 0
  enter abc
  ended 5 || fail "the right password did not end the saver on Xephyr"
}

# "/C" with the settings folder made immutable: OK says that nothing was
# saved, naming the folder, and the dialog stays; once the folder can be
# written, OK saves and closes.
scenario_save_fails() {
  local folder=$XDG_CONFIG_HOME/vellora
  settings "$GREEN_HUE" ""
  cp "$SETTINGS" "$WORK/before.ini"
  chattr +i "$folder" 2>/dev/null ||
    { echo "SKIP: chattr +i does not work here (it needs root and a file system that keeps the flag)"; exit 77; }
  at_exit chattr -i "$folder"
  start /C
  set_colour
  key alt+o
  wait_until 'since_mark | grep -F "text [Your picture and colour could not be saved in\r\n$folder\r\n" >/dev/null' ||
    fail "OK did not say that nothing was saved, naming the settings folder"
  wait_until 'traced "^message active"' || fail "the message box does not have the keyboard"
  key Return
  wait_until 'traced "^message closed"' || fail "the message box did not close"
  sleep 0.3
  running || fail "the dialog closed although nothing was saved"
  cmp -s "$SETTINGS" "$WORK/before.ini" || fail "the settings file changed"
  chattr -i "$folder"
  key alt+o
  ended 5 || fail "OK did not close the dialog once the folder could be written"
  [ "$(setting hue)" = "$COLOUR" ] || fail "the colour was not written: $(cat "$SETTINGS")"
}

# The package's files (relative to /).
PACKAGE_FILES=(
  usr/bin/vellora usr/libexec/xscreensaver/vellora usr/share/xscreensaver/config/vellora.xml
  usr/share/vellora/imgx.bmp usr/share/vellora/vellora.hlp usr/share/applications/vellora-settings.desktop
  usr/share/icons/hicolor/16x16/apps/vellora.png usr/share/icons/hicolor/32x32/apps/vellora.png
  usr/share/man/man1/vellora.1.gz usr/share/doc/vellora/copyright usr/share/doc/vellora/changelog.gz
)

# make_package: the package made from the build under test; its path in $PACKAGE.
make_package() {
  need dpkg-deb dpkg-shlibdeps
  "$(dirname "${BASH_SOURCE[0]}")/../../../packaging/linux/make-deb.sh" "$(dirname "$(realpath "$VELLORA")")" "$WORK" \
    >"$WORK/make-deb.log" 2>&1 || fail "the package could not be made: $(cat "$WORK/make-deb.log")"
  PACKAGE=$(tail -n1 "$WORK/make-deb.log")
}

# The package: clean under lintian, every file in its place; unpacked, its
# hack runs under the real XScreenSaver daemon in the configured colour with
# the packaged spare picture (through XDG_DATA_DIRS), and ends on deactivation.
scenario_package() {
  local root=$WORK/root saver=$WORK/saver user f daemon all=$((SCREEN_W * SCREEN_H)) as_user=()
  need lintian xscreensaver xscreensaver-command
  make_package
  lintian --fail-on error,warning "$PACKAGE" >"$WORK/lintian.log" 2>&1 || fail "lintian: $(cat "$WORK/lintian.log")"
  dpkg-deb -x "$PACKAGE" "$root"
  for f in "${PACKAGE_FILES[@]}"; do [ -e "$root/$f" ] || fail "the package lacks /$f"; done
  [ "$(readlink -f "$root/usr/libexec/xscreensaver/vellora")" = "$root/usr/bin/vellora" ] ||
    fail "the hack's entry does not lead to the program"
  grep -qx 'Exec=vellora /C' "$root/usr/share/applications/vellora-settings.desktop" || fail "the menu entry does not open the settings"
  pass "$(basename "$PACKAGE") is clean under lintian and holds every file"

  # XScreenSaver refuses to run as root: then the daemon runs as a user of the test's own.
  user=$(id -un)
  if [ "$(id -u)" -eq 0 ]; then
    user=vellora-test
    id -u "$user" >/dev/null 2>&1 || useradd --create-home --shell /usr/sbin/nologin "$user"
    as_user=(runuser -u "$user" --)
  fi
  mkdir -p "$saver/cfg/vellora"
  printf '[Color]\nhue=%s\n[Image]\nname=%s\n' "$GREEN_HUE" "$WORK/missing.bmp" >"$saver/cfg/vellora/vellora.ini"
  printf '%s\n' 'mode: one' 'selected: 0' 'timeout: 0:30:00' 'lock: False' 'fade: False' 'unfade: False' 'splash: False' \
    'dpmsEnabled: False' "programs: \"Vellora\" $root/usr/libexec/xscreensaver/vellora --root \\n" >"$saver/.xscreensaver"
  : >"$saver/trace.log"
  chmod 755 "$WORK"
  chown -R "$user" "$saver"
  chmod 700 "$saver"
  daemon=("${as_user[@]}" env -i HOME="$saver" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin XDG_CONFIG_HOME="$saver/cfg"
    XDG_DATA_HOME="$saver/data" XDG_DATA_DIRS="$root/usr/share" XDG_RUNTIME_DIR="$saver" VELLORA_TRACE="$saver/trace.log")
  "${daemon[@]}" xscreensaver -no-splash -verbose >"$WORK/xscreensaver.log" 2>&1 &
  APP_PID=$!
  started "$APP_PID"
  VELLORA_TRACE=$saver/trace.log MARK=0
  wait_until '"${daemon[@]}" xscreensaver-command -time >/dev/null 2>&1' || fail "the XScreenSaver daemon did not start"
  "${daemon[@]}" xscreensaver-command -activate >/dev/null 2>&1 || fail "the daemon did not take -activate"
  wait_until 'traced "^first paint MainForm"' || fail "the daemon did not run the hack"
  traced "^picture \[$root/usr/share/vellora/imgx.bmp\]" || fail "the packaged spare picture was not shown"
  wait_until '[ "$(pixels_not "$(shot active)" "$(screen)" $GREEN)" -lt $((all / 2)) ]' 5 ||
    fail "the screen does not show the configured colour"

  "${daemon[@]}" xscreensaver-command -deactivate >/dev/null 2>&1 || fail "the daemon did not take -deactivate"
  wait_until '! pgrep -f -- "$root/usr/libexec/xscreensaver/vellora" >/dev/null' || fail "the hack did not end on deactivation"
  traced '^unload MainForm' || fail "the hack did not unload its window"
  [ "$(pixels_not "$(shot inactive)" "$(screen)" $GREEN)" -gt $((all - 10000)) ] || fail "the saver's colour stays on the screen"
  "${daemon[@]}" xscreensaver-command -exit >/dev/null 2>&1 || fail "the daemon did not take -exit"
  ended 10 || fail "the daemon did not exit"
  [ "$(id -u)" -ne 0 ] || [ -z "$(ps -u "$user" -o stat= | grep -v '^Z')" ] || fail "left running: $(ps -u "$user" -o args=)"
}

# dpkg -i puts every file in its place, dpkg -r takes them away (as root, on
# a machine without Vellora installed).
scenario_package_install() {
  local f
  [ "$(id -u)" -eq 0 ] || { echo "SKIP: installing a package needs root"; exit 77; }
  if dpkg-query -W -f='${Status}' vellora 2>/dev/null | grep -q installed; then
    echo "SKIP: a vellora package is installed on this machine already; the test leaves it alone"
    exit 77
  fi
  make_package
  at_exit sh -c 'dpkg -r vellora >/dev/null 2>&1'
  dpkg -i "$PACKAGE" >"$WORK/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$WORK/dpkg.log")"
  for f in "${PACKAGE_FILES[@]}"; do [ -e "/$f" ] || fail "/$f was not installed"; done
  [ "$(readlink -f /usr/libexec/xscreensaver/vellora)" = /usr/bin/vellora ] || fail "the hack's entry does not lead to /usr/bin/vellora"
  ! ldd /usr/bin/vellora | grep -q 'not found' || fail "libraries are missing: $(ldd /usr/bin/vellora | grep 'not found')"
  dpkg -r vellora >"$WORK/dpkg.log" 2>&1 || fail "dpkg -r: $(cat "$WORK/dpkg.log")"
  for f in "${PACKAGE_FILES[@]}"; do [ ! -e "/$f" ] && [ ! -L "/$f" ] || fail "/$f was left behind"; done
  [ ! -e /usr/share/vellora ] || fail "/usr/share/vellora was left behind"
}
