#!/usr/bin/env bash
# What the idle watcher costs while it waits: `vellora --idle 600` for 60 s
# on each desktop's idle signal at once (sway 1.7, KWin 5.27, Mutter 43
# headless, and Xvfb), nobody touching anything. Prints, per source, the CPU
# time it used, how often it woke (voluntary context switches), its resident
# and peak memory, and the part of it that is its own (private pages: the
# rest is the shared libraries every Qt program maps).
#   bench/idle/run.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-$here/../../build/default}")
seconds=${2:-60}

if [ "${BENCH_ONE:-}" = "" ]; then
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
  for kind in sway kwin mutter xvfb; do
    BENCH_ONE=$kind "$0" "$build" "$seconds" >"$out/$kind" 2>"$out/$kind.err" &
  done
  wait
  printf '%-8s %-30s %8s %8s %8s %9s %9s %12s\n' desktop source "CPU (s)" "% core" wake-ups "RSS KiB" "peak KiB" \
    "private KiB"
  for kind in sway kwin mutter xvfb; do
    if [ -s "$out/$kind" ]; then cat "$out/$kind"; else echo "$kind: no figures: $(tail -3 "$out/$kind.err")"; fi
  done
  exit 0
fi

# One desktop, with the end-to-end tests' helpers (tests/e2e).
VELLORA=$build/vellora
source "$here/../../tests/e2e/lib.sh"
source "$here/../../tests/e2e/linux/compositors.sh"
on_failure() { :; }
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/cfg
mkdir -p "$HOME"
if [ "$BENCH_ONE" = xvfb ]; then
  export XDG_RUNTIME_DIR=$WORK/run && mkdir -m 700 "$XDG_RUNTIME_DIR"
  display xvfb 1024 768
else
  compositor "$BENCH_ONE" 1
fi
"$VELLORA" --idle 600 >"$WORK/idle.log" 2>&1 &
pid=$! && started $!
wait_until 'grep -q "^vellora --idle: watching" "$WORK/idle.log"' || fail "the watcher did not start: $(cat "$WORK/idle.log")"
source_name=$(sed -n 's/^vellora --idle: watching \([^ ]*\) .*/\1/p' "$WORK/idle.log")
sleep 1
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
field() { awk -v f="$1:" '$1 == f { print $2 }' "/proc/$pid/status"; }
cpu0=$(ticks) wake0=$(field voluntary_ctxt_switches)
sleep "$seconds"
cpu1=$(ticks) wake1=$(field voluntary_ctxt_switches)
hz=$(getconf CLK_TCK)
awk -v k="$BENCH_ONE" -v s="$source_name" -v c=$((cpu1 - cpu0)) -v hz="$hz" -v t="$seconds" \
  -v w=$((wake1 - wake0)) -v rss="$(field VmRSS)" -v hwm="$(field VmHWM)" \
  -v own="$(awk '$1 ~ /^Private_(Clean|Dirty):$/ { n += $2 } END { print n }' "/proc/$pid/smaps_rollup")" \
  'BEGIN { printf "%-8s %-30s %8.2f %8.3f %8d %9d %9d %12d\n", k, s, c / hz, 100 * c / hz / t, w, rss, hwm, own }'
