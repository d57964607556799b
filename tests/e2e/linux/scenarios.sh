# Scenarios of the Linux program alone: XScreenSaver's hack, two heads, the Debian package.
source "$(dirname "${BASH_SOURCE[0]}")/wayland.sh"

# Two hacks at once (-window-id, --root), following their window's size; input reaches neither; SIGTERM ends each.
scenario_hack() {
  local first second first_host s
  locked "$GREEN_HUE"
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
  wait_until '[ "$(pixels_not "$(shot circles)" $GREEN 300x12+10+10)" -gt 10 ]' || fail "no circles in the first host"
  xdotool mousemove 100 100 mousemove 120 120 mousemove 140 140 mousemove 160 160 mousemove 180 180 key a sleep 0.5
  running "$first" && running "$second" || fail "input ended a hack"
  ! grep -q '^show PassCheck' "$VELLORA_TRACE" || fail "a password prompt opened"
  xdotool windowsize "$first_host" 380 260
  wait_until '[ "$(pixel "$(shot bigger)" 380 260)" = $GREEN ]' || fail "the saver did not follow its window's size"
  kill -TERM "$first" "$second"
  for APP_PID in "$first" "$second"; do ended || fail "SIGTERM did not end a hack"; done
}

# Two RandR heads, the primary at the right: both covered; the prompt and the pointer's count on the primary head.
scenario_multihead() {
  local head X Y WIDTH HEIGHT SCREEN WINDOW
  need xrandr
  locked "$GREEN_HUE"
  display xvfb 1600 600
  xrandr --setmonitor right 800/211x600/158+800+0 screen >/dev/null
  xrandr --setmonitor left 800/211x600/158+0+0 none >/dev/null
  start /S
  for head in 800x600+0+0 800x600+800+0; do covered $GREEN $head || fail "the head at $head is not covered"; done
  move 1200 300
  sleep 0.2
  key a
  wait_focus || fail "the prompt did not open"
  [ "$(since_mark | grep '^pointer at' | tail -n1)" = "pointer at 400,300" ] ||
    fail "the pointer at 1200,300 was not counted from the primary head's corner"
  eval "$(xdotool getwindowfocus getwindowgeometry --shell)"
  near $((X + WIDTH / 2)) 1200 || fail "the prompt is at x $X, $WIDTH wide, not centred on the primary head"
}

# The package: clean, installed (else unpacked) with every file; XScreenSaver runs its hack with the packaged spare.
scenario_package() {
  local root=$WORK/root saver=$WORK/saver user f daemon as_user=() share
  need dpkg-deb dpkg-shlibdeps lintian xscreensaver xscreensaver-command
  "$(dirname "${BASH_SOURCE[0]}")/../../../packaging/linux/make-deb.sh" "$(dirname "$(realpath "$VELLORA")")" "$WORK" \
    >"$WORK/make-deb.log" 2>&1 || fail "the package could not be made: $(cat "$WORK/make-deb.log")"
  PACKAGE=$(tail -n1 "$WORK/make-deb.log")
  lintian --fail-on error,warning "$PACKAGE" >"$WORK/lintian.log" 2>&1 || fail "lintian: $(cat "$WORK/lintian.log")"
  dpkg-deb -f "$PACKAGE" Depends | grep -q 'qt6-image-formats-plugins' || fail "the package does not need Qt's image formats"
  if [ "$(id -u)" -eq 0 ] && ! dpkg-query -W -f='${Status}' vellora 2>/dev/null | grep -q installed; then
    root=""
    at_exit sh -c 'dpkg -r vellora >/dev/null 2>&1'
    dpkg -i "$PACKAGE" >"$WORK/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$WORK/dpkg.log")"
  else
    echo "note: the package is unpacked, not installed (that needs root and no vellora package installed)"
    dpkg-deb -x "$PACKAGE" "$root"
  fi
  share=$root/usr/share
  for f in vellora/vellora.hlp xscreensaver/config/vellora.xml applications/vellora-settings.desktop \
    icons/hicolor/{16x16,32x32}/apps/vellora.png; do
    [ -e "$share/$f" ] || fail "the package lacks $share/$f"
  done
  grep -qx "ExecStart=/usr/bin/vellora --idle" "$root/usr/lib/systemd/user/vellora-idle.service" ||
    fail "the package lacks the idle watcher's user unit"

  # XScreenSaver refuses to run as root: then the daemon runs as a user of the test's own.
  user=$(id -un)
  if [ "$(id -u)" -eq 0 ]; then
    user=vellora-test
    id -u "$user" >/dev/null 2>&1 || useradd --create-home --shell /usr/sbin/nologin "$user"
    as_user=(runuser -u "$user" --)
  fi
  mkdir -p "$saver/cfg/vellora"
  printf '[Color]\nhue=%s\n[Image]\nname=%s\n' "$GREEN_HUE" "$WORK/missing.bmp" >"$saver/cfg/vellora/vellora.ini"
  printf '%s\n' 'mode: one' 'selected: 0' 'timeout: 0:30:00' 'lock: False' 'fade: False' 'unfade: False' \
    'splash: False' 'dpmsEnabled: False' "programs: \"Vellora\" $root/usr/libexec/xscreensaver/vellora --root \\n" \
    >"$saver/.xscreensaver"
  : >"$saver/trace.log"
  chmod 755 "$WORK" && chown -R "$user" "$saver" && chmod 700 "$saver"
  daemon=("${as_user[@]}" env -i HOME="$saver" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin XDG_CONFIG_HOME="$saver/cfg"
    XDG_DATA_HOME="$saver/data" XDG_DATA_DIRS="$share" XDG_RUNTIME_DIR="$saver" VELLORA_TRACE="$saver/trace.log")
  "${daemon[@]}" xscreensaver -no-splash -verbose >"$WORK/xscreensaver.log" 2>&1 &
  APP_PID=$! && started $!
  VELLORA_TRACE=$saver/trace.log MARK=0
  wait_until '"${daemon[@]}" xscreensaver-command -time >/dev/null 2>&1' || fail "the XScreenSaver daemon did not start"
  "${daemon[@]}" xscreensaver-command -activate >/dev/null 2>&1 || fail "the daemon did not take -activate"
  wait_until 'traced "^first paint MainForm"' || fail "the daemon did not run the hack"
  traced "^picture \[$share/vellora/imgx.bmp\]" || fail "the packaged spare picture was not shown"
  covered $GREEN || fail "the screen does not show the configured colour"
  "${daemon[@]}" xscreensaver-command -deactivate >/dev/null 2>&1 || fail "the daemon did not take -deactivate"
  wait_until '! pgrep -f "$root/usr/libexec/xscreensaver/vellora" >/dev/null' || fail "the hack outlived deactivation"
}

source "$(dirname "${BASH_SOURCE[0]}")/idle.sh"
