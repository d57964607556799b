#!/usr/bin/env bash
# The Debian package: made from the build, clean under lintian, holding
# every file in its place; its unpacked program runs as a hack under the
# real XScreenSaver daemon: activation shows the saver in the configured
# colour with the packaged spare picture (found through XDG_DATA_DIRS),
# deactivation ends the hack, and nothing is left running.
source "$(dirname "$0")/lib.sh" "$1"
for tool in lintian xscreensaver xscreensaver-command; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done

make_package "$WORK/deb"
lintian --fail-on error,warning "$PACKAGE" >"$WORK/lintian.log" 2>&1 || fail "lintian: $(cat "$WORK/lintian.log")"
pass "$(basename "$PACKAGE") is clean under lintian$(grep -c '^I: ' "$WORK/lintian.log" | sed 's/^0$//; s/.\+/ (& notes)/')"

# Unpacked where the daemon's user can reach it.
chmod 755 "$WORK"
root=$WORK/root
dpkg-deb -x "$PACKAGE" "$root"
for f in "${PACKAGE_FILES[@]}"; do [ -e "$root/$f" ] || fail "the package lacks /$f"; done
[ "$(readlink -f "$root/usr/libexec/xscreensaver/vellora")" = "$root/usr/bin/vellora" ] ||
  fail "the hack's entry does not lead to the program"
grep -qx 'Exec=vellora /C' "$root/usr/share/applications/vellora-settings.desktop" || fail "the menu entry does not open the settings"
pass "the package holds the program, the hack's entry and description, the data files, the menu entry and the manual"

# XScreenSaver refuses to run as root: as root the daemon runs as a user of
# the test's own.
if [ "$(id -u)" -eq 0 ]; then
  user=vellora-test
  id -u "$user" >/dev/null 2>&1 || useradd --create-home --shell /usr/sbin/nologin "$user"
  as_user=(runuser -u "$user" --)
else
  user=$(id -un)
  as_user=()
fi
saver=$WORK/saver
mkdir -p "$saver/cfg/vellora"
# The stored picture is missing: the saver shows the spare picture.
printf '[Color]\nhue=4227072\n[Image]\nname=%s\n' "$WORK/missing.bmp" >"$saver/cfg/vellora/vellora.ini"
cat >"$saver/.xscreensaver" <<EOF
mode: one
selected: 0
timeout: 0:30:00
lock: False
fade: False
unfade: False
splash: False
dpmsEnabled: False
programs: "Vellora" $root/usr/libexec/xscreensaver/vellora --root \\n
EOF
hack_trace=$saver/trace.log
: >"$hack_trace"
chown -R "$user" "$saver"
chmod 700 "$saver"
start_xvfb 800 600
daemon_env=(env -i HOME="$saver" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin XDG_CONFIG_HOME="$saver/cfg"
  XDG_DATA_HOME="$saver/data" XDG_DATA_DIRS="$root/usr/share" XDG_RUNTIME_DIR="$saver" VELLORA_TRACE="$hack_trace")
command_daemon() { "${as_user[@]}" "${daemon_env[@]}" xscreensaver-command "$@" >>"$WORK/xscreensaver-command.log" 2>&1; }
"${as_user[@]}" "${daemon_env[@]}" xscreensaver -no-splash -verbose >"$WORK/xscreensaver.log" 2>&1 &
daemon=$!
PIDS+=("$daemon")
hack_running() { pgrep -f -- "$root/usr/libexec/xscreensaver/vellora" >/dev/null; }
daemon_fail() { fail "$1; the daemon said: $(tail -n 20 "$WORK/xscreensaver.log"); the hack: $(cat "$hack_trace")"; }

wait_until 'command_daemon -time' 10 || daemon_fail "the XScreenSaver daemon did not start"
command_daemon -activate || daemon_fail "the daemon did not take -activate"
wait_until 'grep -q "^first paint MainForm" "$hack_trace"' 10 || daemon_fail "the daemon did not run the hack"
grep -qF "picture [$root/usr/share/vellora/imgx.bmp]" "$hack_trace" || daemon_fail "the packaged spare picture was not shown"
# The colour covers the screen but for the two copies of the picture and the circles.
wait_until 's=$(shot active); [ "$(pixels_not "$s" 800x600+0+0 0,128,64)" -lt 240000 ]' 5 ||
  daemon_fail "the screen does not show the configured colour"
pass "XScreenSaver runs the packaged hack: the configured colour and the packaged spare picture"

command_daemon -deactivate || daemon_fail "the daemon did not take -deactivate"
wait_until '! hack_running' 10 || daemon_fail "the hack did not end when the daemon deactivated"
grep -q '^unload MainForm' "$hack_trace" || daemon_fail "the hack did not unload its window"
s=$(shot inactive)
[ "$(pixels_not "$s" 800x600+0+0 0,128,64)" -gt 470000 ] || fail "the saver's colour is still on the screen"
command_daemon -exit || daemon_fail "the daemon did not take -exit"
wait_until '! running $daemon' 10 || daemon_fail "the daemon did not exit"
if [ "$(id -u)" -eq 0 ]; then
  # Processes that ended but were not yet reaped (zombies) are not running.
  left=$(ps -u "$user" -o pid=,stat=,args= | awk '$2 !~ /^Z/')
  [ -z "$left" ] || fail "left running: $left"
fi
hack_running && fail "the hack is still running"
pass "deactivation ends the hack; nothing is left running"
