# The idle watcher, `vellora --idle 3`, on each desktop's own idle signal:
# sway 1.7 (org_kde_kwin_idle), KWin 5.27 (ext-idle-notify-v1), Mutter 43
# (org.gnome.Mutter.IdleMonitor, with gnome-session for its inhibitors) and
# Xvfb (MIT-SCREEN-SAVER). Each time: the saver child `vellora /S` appears
# once the desktop has been idle for 3 s, never two at once, and again after
# it has ended and the desktop has been idle again.
source "$(dirname "${BASH_SOURCE[0]}")/compositors.sh"

# watch_idle SOURCE: `vellora --idle 3`, which names SOURCE; its pid in WATCHER.
# Meanwhile the watcher's saver children are counted: never two.
watch_idle() {
  "$VELLORA" --idle 3 >"$WORK/idle.log" 2>&1 &
  WATCHER=$! && started $!
  wait_until 'grep -q "^vellora --idle: watching" "$WORK/idle.log"' ||
    fail "the watcher did not start: $(cat "$WORK/idle.log")"
  grep -q "^vellora --idle: watching $1 " "$WORK/idle.log" || fail "not watching $1: $(cat "$WORK/idle.log")"
  while sleep 0.1; do [ "$(savers | wc -l)" -le 1 ] || echo "$(savers)" >>"$WORK/two"; done &
  started $!
}
on_failure() { echo "--- watcher:"; cat "$WORK/idle.log"; }

# The watcher's children that run `vellora /S`, one pid a line.
savers() {
  local pid
  for pid in $(pgrep -P "$WATCHER"); do
    [ "$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" = "vellora /S " ] && echo "$pid"
  done
  return 0
}

# saver_appears [SINCE]: a saver child starts within 10 s, no sooner than 3 s
# after SINCE (seconds since boot: the last input, else the watcher's own
# start), and keeps running; its pid in SAVER. no_saver SECONDS: none starts
# for that long.
saver_appears() {
  local since=${1:-$(started_at "$WATCHER")}
  wait_until 'SAVER=$(savers); [ -n "$SAVER" ]' 10 || fail "no saver started"
  awk -v at="$(started_at "$SAVER")" -v since="$since" 'BEGIN { exit !(at - since >= 2.95) }' ||
    fail "the saver started $(awk -v at="$(started_at "$SAVER")" -v s="$since" 'BEGIN { print at - s }') s after input"
  sleep 0.5
  running "$SAVER" || fail "the saver did not keep running"
}
# The moment a process started, and now, in seconds since boot (the kernel's
# clock: the test's own delays do not count).
started_at() { awk -v hz="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); print $20 / hz }' "/proc/$1/stat"; }
now() { cut -d" " -f1 /proc/uptime; }
no_saver() {
  local _end=$((SECONDS + $1)) _started
  _started=$(started_savers)
  while [ $SECONDS -lt $_end ]; do
    [ -z "$(savers)" ] && [ "$(started_savers)" -eq "$_started" ] || fail "a saver started within $1 s"
    sleep 0.2
  done
}
# How many savers the watcher has started, even one that ended at once.
started_savers() { grep -c "^vellora --idle: idle; the saver runs" "$WORK/idle.log" || true; }
saver_ended() { wait_until '! running "$SAVER"' || fail "the saver did not end"; }
watcher_done() {
  [ ! -e "$WORK/two" ] || fail "two savers ran at once: $(cat "$WORK/two")"
  running "$WATCHER" || fail "the watcher ended: $(cat "$WORK/idle.log")"
}

# A second watcher for the same session says so and exits 0 at once.
second_watcher() {
  local out
  out=$(timeout 5 "$VELLORA" --idle 3 2>&1) || fail "a second watcher ended with status $?: $out"
  [[ $out == "vellora --idle: a watcher already runs for this session"* ]] || fail "the second watcher said: $out"
}

# sway: input within the delay postpones the saver; a key ends it; a second
# watcher leaves; an idle inhibitor (sway's own, on a window) keeps the saver
# away until the window closes; losing the compositor ends the watcher.
scenario_idle_sway() {
  local first view input
  wl_need wtype swaymsg
  compositor sway 2
  export QT_QPA_PLATFORM=wayland
  watch_idle org_kde_kwin_idle
  second_watcher
  for _ in 1 2 3; do
    sleep 1.5
    input=$(now)
    wtype k || fail "wtype failed"
    [ -z "$(savers)" ] || fail "the saver started despite input"
  done
  saver_appears "$input"
  first=$SAVER
  input=$(now)
  wtype -s 400 k -s 400
  saver_ended
  saver_appears "$input"
  [ "$SAVER" != "$first" ] || fail "the same saver"
  wtype -s 400 k -s 400
  saver_ended

  "$VELLORA" /C >>"$WORK/vellora.log" 2>&1 &
  view=$! && started $!
  wait_until 'swaymsg "[pid=$view] inhibit_idle open" >/dev/null 2>&1' || fail "no window to inhibit idleness on"
  no_saver 6
  kill "$view"
  saver_appears
  watcher_done

  kill -TERM "$SAVER"
  kill "$COMPOSITOR_PID"
  wait_until '! running "$WATCHER"' || fail "the watcher outlived the compositor"
  wait "$WATCHER" && fail "the watcher ended with status 0 when the compositor went"
  grep -q "^vellora --idle: lost the Wayland compositor" "$WORK/idle.log" || fail "no word of the lost compositor"
}

# KWin: after a saver ended, none starts again while the desktop stays idle
# (a crashing saver is not restarted in a loop); after input, one does.
scenario_idle_kwin() {
  local input
  compositor kwin 1
  export QT_QPA_PLATFORM=wayland
  watch_idle ext-idle-notify-v1
  saver_appears
  kill -TERM "$SAVER"
  saver_ended
  no_saver 5
  input=$(now)
  "$IDLE_ACTIVITY" || fail "no simulated input"
  saver_appears "$input"
  watcher_done
}

# Mutter with gnome-session: an idle inhibitor held through
# org.gnome.SessionManager keeps the saver away; once it is released, the
# next idle period starts it. Input comes as Mutter's own idle-time reset.
# Losing the session bus ends the watcher.
scenario_idle_mutter() {
  local session inhibitor
  wl_need gnome-session-inhibit dbus-send
  export MUTTER_DEBUG_RESET_IDLETIME=1
  compositor mutter 1
  gnome_session
  gnome-session-inhibit --inhibit idle --inhibit-only >/dev/null 2>&1 &
  inhibitor=$! && started $!
  wait_until 'session_inhibited' || fail "the inhibitor was not taken"
  export QT_QPA_PLATFORM=wayland
  watch_idle org.gnome.Mutter.IdleMonitor
  no_saver 6
  kill "$inhibitor"
  user_input
  saver_appears "$INPUT"
  kill -TERM "$SAVER"
  saver_ended
  user_input
  saver_appears "$INPUT"
  watcher_done

  kill -KILL "$(cat "$WORK/wl-mutter/dbus.pid")"
  wait_until '! running "$WATCHER"' || fail "the watcher outlived the session bus"
  wait "$WATCHER" && fail "the watcher ended with status 0 when the session bus went"
  grep -q "^vellora --idle: lost the session bus" "$WORK/idle.log" || fail "no word of the lost session bus"
}

# gnome-session for the compositor's session bus, with a bus of the test's
# own standing in for the system bus (it wants one; nothing answers there).
gnome_session() {
  local dir=$WORK/gnome-session
  mkdir -p "$dir/gnome-session/sessions"
  printf '[GNOME Session]\nName=Vellora test\nRequiredComponents=\n' >"$dir/gnome-session/sessions/vellora.session"
  DBUS_SYSTEM_BUS_ADDRESS=$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$dir/bus.pid")
  started "$(cat "$dir/bus.pid")"
  DBUS_SYSTEM_BUS_ADDRESS=$DBUS_SYSTEM_BUS_ADDRESS XDG_DATA_DIRS=$dir:/usr/share \
    /usr/libexec/gnome-session-binary --builtin --disable-acceleration-check --session=vellora \
    >"$dir/log" 2>&1 &
  started $!
  wait_until 'session_inhibited || [ $? -eq 1 ]' || fail "gnome-session did not start: $(tail -3 "$dir/log")"
}
# 0 when idleness is inhibited, 1 when not, 2 when no session manager answers.
session_inhibited() {
  local answer
  answer=$(dbus-send --session --print-reply --dest=org.gnome.SessionManager /org/gnome/SessionManager \
    org.gnome.SessionManager.IsInhibited uint32:8 2>/dev/null) || return 2
  [[ $answer == *"boolean true"* ]]
}
user_input() {
  INPUT=$(now)
  dbus-send --session --print-reply --dest=org.gnome.Mutter.IdleMonitor /org/gnome/Mutter/IdleMonitor/Core \
    org.gnome.Mutter.IdleMonitor.ResetIdletime >/dev/null || fail "Mutter took no idle-time reset"
}

# Xvfb without an XScreenSaver daemon: MIT-SCREEN-SAVER's counter of the time
# since the last input, which knows no inhibitors: the watcher asks
# gnome-session (as on MATE or Budgie on X11), and an idle inhibitor keeps the
# saver away. Pointer moves postpone the saver, a click ends it.
scenario_idle_x11() {
  local first inhibitor input
  wl_need gnome-session-inhibit dbus-send
  mkdir -p "$WORK/bus"
  wl_session_bus "$WORK/bus"
  gnome_session
  gnome-session-inhibit --inhibit idle --inhibit-only >/dev/null 2>&1 &
  inhibitor=$! && started $!
  wait_until 'session_inhibited' || fail "the inhibitor was not taken"
  watch_idle MIT-SCREEN-SAVER
  no_saver 5
  grep -q "^vellora --idle: idleness is inhibited" "$WORK/idle.log" || fail "the inhibitor was not seen"
  kill "$inhibitor"
  wait_until '! session_inhibited' || fail "the inhibitor was not released"
  for x in 10 20 30; do
    sleep 1.5
    input=$(now)
    xdotool mousemove "$x" "$x"
    [ -z "$(savers)" ] || fail "the saver started despite input"
  done
  saver_appears "$input"
  first=$SAVER
  input=$(now)
  click 100 100
  saver_ended
  saver_appears "$input"
  [ "$SAVER" != "$first" ] || fail "the same saver"
  watcher_done
}
