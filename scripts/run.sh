#!/usr/bin/env bash
# Runs the Linux program: `scripts/run.sh [ARGS]` (default /S), with the
# build tree's data folder (the help file and the spare picture, as the
# package installs them) among its data folders. With no display it runs on
# a private Xvfb for a few seconds and writes screenshots under build/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
program=${VELLORA_BIN:-$root/build/default/vellora}
[ $# -gt 0 ] || set -- /S

# After the user's own folder ($XDG_DATA_HOME/vellora), before the system's.
data=$(dirname "$program")/share
if [ -d "$data/vellora" ]; then
  export XDG_DATA_DIRS="$data:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
fi

[ -x "$program" ] || { echo "run: $program is not built (make build)" >&2; exit 1; }

if [ -n "${DISPLAY:-}" ]; then
  exec "$program" "$@"
fi

# No display: a private Xvfb, a few seconds of the program, screenshots.
seconds=${RUN_SECONDS:-6}
shots=$root/build/run-screenshots/$(date +%Y%m%d-%H%M%S)
mkdir -p "$shots"
dfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dfile" 2>/dev/null &
xvfb=$!
trap 'kill "${app:-}" "$xvfb" 2>/dev/null || true; rm -f "$dfile"' EXIT
for _ in $(seq 100); do [ -s "$dfile" ] && break; sleep 0.1; done
[ -s "$dfile" ] || { echo "run: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$dfile")"
echo "run: no display; running '$program $*' on Xvfb $DISPLAY for $seconds s"
"$program" "$@" &
app=$!
for i in $(seq 1 "$seconds"); do
  sleep 1
  import -window root "$shots/shot-$i.png"
  echo "$shots/shot-$i.png"
  kill -0 "$app" 2>/dev/null || break
done
