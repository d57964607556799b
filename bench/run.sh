#!/usr/bin/env bash
# Builds and runs the benchmarks, then prints the table of figures.
#   bench/run.sh [extra benchmark flags, e.g. --benchmark_filter=Tick]
# Needs ImageMagick's convert for the 3840 x 2160 JPEG of the Qt decoder
# benchmark; without it that benchmark is skipped.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BENCH_BUILD_DIR:-$root/build/bench}"

cmake -S "$root/bench" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target vellora_bench

# A photo-like picture as large as a 4K screen, made once.
jpeg="$build/picture-3840x2160.jpg"
convert=/usr/bin/convert
[ -x "$convert" ] || convert="$(command -v convert || true)"
if [ ! -s "$jpeg" ] && [ -n "$convert" ]; then
  "$convert" -size 3840x2160 -seed 7 plasma:fractal -quality 90 "$jpeg" || rm -f "$jpeg"
fi
if [ -s "$jpeg" ]; then export VELLORA_BENCH_JPEG="$jpeg"; fi

# The Qt runtime without a display, on one 3840 x 2160 screen at 96 dpi.
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen:configfile=$root/bench/offscreen.json}"
"$build/vellora_bench" --benchmark_out="$build/results.json" --benchmark_out_format=json "$@"
echo
python3 "$root/bench/report.py" "$build/results.json"
