# compositor sway|mutter|kwin [OUTPUTS] [SCALE]: headless, OUTPUTS (2) of 800 x 600 (sway's of SCALE); exports what
# clients need, COMPOSITOR_PID and OUTPUT_NAMES. KWin runs from a copy (a container refuses its file capabilities).

compositor() {
  local kind=$1 count=${2:-2} scale=${3:-1} i dir=$WORK/wl-$1
  wl_need wayland-info dbus-daemon
  mkdir -p "$dir/home"
  export XDG_RUNTIME_DIR=$dir/run
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  unset DISPLAY WAYLAND_SOCKET SWAYSOCK DBUS_SESSION_BUS_ADDRESS
  case $kind in
    sway)
      wl_need sway
      local as_user=() server_run=$XDG_RUNTIME_DIR
      for ((i = 1; i <= count; i++)); do
        echo "output HEADLESS-$i resolution $((800 * scale))x$((600 * scale)) position $(((i - 1) * 800)) 0 scale $scale"
      done >"$dir/sway.cfg"
      if [ "$(id -u)" -eq 0 ]; then
        id -u vellora-test >/dev/null 2>&1 || useradd --create-home --shell /usr/sbin/nologin vellora-test
        chmod o+x "$WORK" "$dir" && chmod o+r "$dir/sway.cfg"
        server_run=$dir/server-run
        mkdir -m 700 "$server_run" && chown vellora-test "$server_run"
        as_user=(setpriv --reuid=vellora-test --regid=vellora-test --clear-groups)
      fi
      "${as_user[@]}" env -i HOME="$dir/home" PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$server_run" \
        WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS="$count" WLR_LIBINPUT_NO_DEVICES=1 \
        sway -c "$dir/sway.cfg" >"$dir/compositor.log" 2>&1 &
      started $!
      wait_until '[ -S "$server_run/wayland-1" ] && ls "$server_run"/sway-ipc.*.sock >/dev/null 2>&1' 20 ||
        fail "sway did not start: $(tail -5 "$dir/compositor.log")"
      export WAYLAND_DISPLAY=$server_run/wayland-1
      SWAYSOCK=$(ls "$server_run"/sway-ipc.*.sock) && export SWAYSOCK
      ;;
    mutter)
      wl_need mutter && wl_session_bus "$dir"
      local monitors=()
      for ((i = 1; i <= count; i++)); do monitors+=(--virtual-monitor 800x600); done
      HOME=$dir/home mutter --headless "${monitors[@]}" --no-x11 --wayland-display vellora-mutter \
        >"$dir/compositor.log" 2>&1 &
      export WAYLAND_DISPLAY=$XDG_RUNTIME_DIR/vellora-mutter
      ;;
    kwin)
      wl_need kwin_wayland && wl_session_bus "$dir"
      cp "$(command -v kwin_wayland)" "$dir/kwin_wayland"
      HOME=$dir/home "$dir/kwin_wayland" --virtual --output-count "$count" --width 800 --height 600 \
        --socket vellora-kwin --no-lockscreen >"$dir/compositor.log" 2>&1 &
      export WAYLAND_DISPLAY=$XDG_RUNTIME_DIR/vellora-kwin
      ;;
  esac
  [ "$kind" = sway ] || started $!
  COMPOSITOR_PID=$!
  wait_until '[ "$(wl_outputs | wc -l)" -eq "$count" ]' 20 ||
    fail "$kind did not show $count outputs: $(tail -5 "$dir/compositor.log")"
  mapfile -t OUTPUT_NAMES < <(wl_outputs)
}

# A compositor that cannot be had fails the test: a Wayland scenario is never skipped in silence.
wl_need() { for tool; do command -v "$tool" >/dev/null 2>&1 || fail "$tool is not installed (scripts/install-deps.sh)"; done; }

wl_session_bus() {
  DBUS_SESSION_BUS_ADDRESS=$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$1/dbus.pid")
  export DBUS_SESSION_BUS_ADDRESS
  started "$(cat "$1/dbus.pid")"
}

# The outputs' names, left to right.
wl_outputs() {
  timeout 5 wayland-info 2>/dev/null | awk -F"'" '
    /^[[:space:]]*name: \047/ { name = $2 }
    /logical_x:/ { gsub(/[^0-9-]+/, " "); split($0, at, " "); print at[1], at[2], name }' |
    sort -n -k1,1 -k2,2 | cut -d" " -f3 || true
}
