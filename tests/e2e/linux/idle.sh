# `vellora --idle 3` on sway, KWin, Mutter and Xvfb: its child `vellora /S` starts after 3 s idle, never two at once.
source "$(dirname "${BASH_SOURCE[0]}")/compositors.sh"
eval "adapter_$(declare -f on_failure)"
on_failure() { adapter_on_failure; [ ! -e "$WORK/idle.log" ] || { echo "--- watcher:"; cat "$WORK/idle.log"; }; }

# watch_idle SOURCE: `vellora --idle 3`, which names SOURCE; its pid in WATCHER; its savers counted: never two.
watch_idle() {
  "$VELLORA" --idle 3 >"$WORK/idle.log" 2>&1 &
  WATCHER=$! && started $! && INPUT=""
  wait_until 'grep -q "^vellora --idle: watching" "$WORK/idle.log"' || fail "the watcher did not start"
  grep -q "^vellora --idle: watching $1 " "$WORK/idle.log" || fail "not watching $1"
  while sleep 0.1; do [ "$(savers | wc -l)" -le 1 ] || savers >>"$WORK/two"; done &
  started $!
}
# The watcher's children that run `vellora /S`.
savers() { pgrep -P "$WATCHER" -fx 'vellora /S' || true; }

# input COMMAND...: input, its moment in INPUT. postponed COMMAND...: three inputs 1.5 s apart, and no saver.
input() { INPUT=$(now) && "$@" >/dev/null || fail "no input: $*"; }
postponed() { for _ in 1 2 3; do sleep 1.5 && input "$@" && [ -z "$(savers)" ] || fail "a saver despite input"; done; }
# The moment a process started, and now, in seconds since boot (the kernel's clock).
started_at() { awk -v hz="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); print $20 / hz }' "/proc/$1/stat"; }
now() { cut -d" " -f1 /proc/uptime; }

# saver_appears: a saver starts within 10 s, 2.5 s or more (KWin is early) after the last input, and runs; pid in SAVER.
saver_appears() {
  local since=${INPUT:-$(started_at "$WATCHER")} after
  wait_until 'SAVER=$(savers); [ -n "$SAVER" ]' 10 || fail "no saver started"
  after=$(awk -v at="$(started_at "$SAVER")" -v since="$since" 'BEGIN { print at - since; exit at - since < 2.5 }') ||
    fail "a saver started $after s after input"
  sleep 0.5 && running "$SAVER" || fail "the saver did not keep running"
}
saver_ended() { wait_until '! running "$SAVER"' || fail "the saver did not end"; }
# no_saver SECONDS: for that long the watcher starts none (it logs each start), not even one that ends at once.
no_saver() {
  local count
  count=$(grep -c "the saver runs" "$WORK/idle.log" || true)
  sleep "$1"
  [ "$(grep -c "the saver runs" "$WORK/idle.log")" -eq "$count" ] || fail "a saver started"
}
watcher_done() {
  [ ! -e "$WORK/two" ] || fail "two savers ran at once: $(cat "$WORK/two")"
  running "$WATCHER" || fail "the watcher ended"
}
# watcher_lost MESSAGE: it ends soon with that message and a non-zero status.
watcher_lost() {
  wait_until '! running "$WATCHER"' || fail "the watcher went on"
  ! wait "$WATCHER" && grep -q "^vellora --idle: $1" "$WORK/idle.log" || fail "the watcher did not end with: $1"
}

# sway: a second watcher leaves; input postpones the saver; an inhibitor on a window keeps it away; losing sway ends it.
scenario_idle_sway() {
  local out view output
  settings "$GREEN_HUE" ""
  sway_session
  export QT_QPA_PLATFORM=wayland
  watch_idle org_kde_kwin_idle
  out=$(timeout 5 "$VELLORA" --idle 3) && [[ $out == "vellora --idle: a watcher already runs for this session"* ]] ||
    fail "a second watcher: $out"
  postponed wtype k
  saver_appears
  for output in "${OUTPUT_NAMES[@]}"; do wl_covered "$GREEN" "$output" || fail "$output is not covered"; done
  input wtype -s 400 k -s 400
  saver_ended
  "$VELLORA" /C >>"$WORK/vellora.log" 2>&1 &
  view=$! && started $!
  wait_until 'swaymsg "[pid=$view] inhibit_idle open" >/dev/null 2>&1' || fail "no window to inhibit idleness on"
  no_saver 6
  kill "$view"
  saver_appears
  watcher_done
  kill "$SAVER" "$COMPOSITOR_PID"
  watcher_lost "lost the Wayland compositor"
}

# KWin: once a saver has ended, none starts while the desktop stays idle; after input (KWin's fake pointer), one does.
scenario_idle_kwin() {
  export KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 QT_QPA_PLATFORM=wayland
  compositor kwin 1
  watch_idle ext-idle-notify-v1
  saver_appears
  kill "$SAVER"
  saver_ended
  no_saver 5
  input "$FAKE_INPUT" move 10 10 wait 100
  saver_appears
  watcher_done
}

# Mutter with gnome-session: its idle inhibitor keeps the saver away until released; losing the bus ends the watcher.
scenario_idle_mutter() {
  export MUTTER_DEBUG_RESET_IDLETIME=1 QT_QPA_PLATFORM=wayland
  compositor mutter 1
  inhibited_session
  watch_idle org.gnome.Mutter.IdleMonitor
  no_saver 6
  kill "$INHIBITOR"
  input mutter_input
  saver_appears
  kill "$SAVER"
  saver_ended
  input mutter_input
  saver_appears
  watcher_done
  kill -KILL "$(cat "$WORK/wl-mutter/dbus.pid")"
  watcher_lost "lost the session bus"
}
mutter_input() {
  dbus-send --session --print-reply --dest=org.gnome.Mutter.IdleMonitor /org/gnome/Mutter/IdleMonitor/Core \
    org.gnome.Mutter.IdleMonitor.ResetIdletime
}

# Xvfb: gnome-session's idle inhibitor keeps the saver away; pointer moves postpone it, a click ends it.
scenario_idle_x11() {
  mkdir -p "$WORK/bus" && wl_session_bus "$WORK/bus"
  inhibited_session
  watch_idle MIT-SCREEN-SAVER
  no_saver 5
  grep -q "^vellora --idle: idleness is inhibited" "$WORK/idle.log" || fail "the inhibitor was not seen"
  kill "$INHIBITOR"
  postponed xdotool mousemove_relative 10 10
  saver_appears
  input click 100 100
  saver_ended
  saver_appears
  watcher_done
}

# gnome-session (a bus of the test's own as its system bus) and an idle inhibitor held through it, pid in INHIBITOR.
inhibited_session() {
  local dir=$WORK/gnome-session
  wl_need gnome-session-inhibit dbus-send
  mkdir -p "$dir/gnome-session/sessions"
  printf '[GNOME Session]\nName=Vellora test\nRequiredComponents=\n' >"$dir/gnome-session/sessions/vellora.session"
  DBUS_SYSTEM_BUS_ADDRESS=$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$dir/bus.pid")
  started "$(cat "$dir/bus.pid")"
  DBUS_SYSTEM_BUS_ADDRESS=$DBUS_SYSTEM_BUS_ADDRESS XDG_DATA_DIRS=$dir:/usr/share /usr/libexec/gnome-session-binary \
    --builtin --disable-acceleration-check --session=vellora >"$dir/log" 2>&1 &
  started $!
  wait_until 'session_inhibited; [ $? -eq 1 ]' || fail "gnome-session did not start: $(tail -3 "$dir/log")"
  gnome-session-inhibit --inhibit idle --inhibit-only >/dev/null 2>&1 &
  INHIBITOR=$! && started $!
  wait_until 'session_inhibited' || fail "the inhibitor was not taken"
}
# 0 when idleness is inhibited, 1 when not, 2 when no session manager answers.
session_inhibited() {
  local answer
  answer=$(dbus-send --session --print-reply --dest=org.gnome.SessionManager /org/gnome/SessionManager \
    org.gnome.SessionManager.IsInhibited uint32:8 2>/dev/null) || return 2
  [[ $answer == *"boolean true"* ]]
}
