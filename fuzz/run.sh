#!/usr/bin/env bash
# Builds the fuzzers (clang, libFuzzer, ASan + UBSan) and runs each one for
# a while, starting from the seeds in fuzz/corpus/<fuzzer>/ plus what
# earlier runs found (build/fuzz/corpus/<fuzzer>/).
#   fuzz/run.sh [seconds-per-fuzzer] [fuzzer...]
# FUZZ_JOBS=n runs n processes per fuzzer. A crash, leak or sanitizer
# report stops with the reproducer saved as build/fuzz/artifacts/<fuzzer>/crash-*.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build/fuzz}"
seconds="${1:-${FUZZ_SECONDS:-60}}"
shift || true
jobs="${FUZZ_JOBS:-1}"
cxx="${FUZZ_CXX:-clang++-14}"

cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$build"

if [ "$#" -gt 0 ]; then
  fuzzers=("$@")
else
  mapfile -t fuzzers < <(grep -v '^$' "$build/fuzzers.txt")
fi

# The scratch files of the fuzzers go to memory where possible.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

total=0
status=0
printf '%-24s %12s %8s %s\n' fuzzer executions seconds result
for f in "${fuzzers[@]}"; do
  corpus="$build/corpus/$f"
  artifacts="$build/artifacts/$f"
  mkdir -p "$corpus" "$artifacts"
  log="$build/$f.log"
  started=$(date +%s)
  set +e
  if [ "$jobs" -gt 1 ]; then
    # Parallel runs share the corpus; each job writes its own fuzz-<n>.log.
    (cd "$artifacts" && "$build/$f" -max_total_time="$seconds" -print_final_stats=1 -jobs="$jobs" -workers="$jobs" \
       -artifact_prefix="$artifacts/" "$corpus" "$root/fuzz/corpus/$f" >"$log" 2>&1)
    rc=$?
    runs=$(cat "$artifacts"/fuzz-*.log 2>/dev/null | awk -F: '/stat::number_of_executed_units/ {s += $NF} END {print s + 0}')
    rm -f "$artifacts"/fuzz-*.log
  else
    "$build/$f" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/" \
      "$corpus" "$root/fuzz/corpus/$f" >"$log" 2>&1
    rc=$?
    runs=$(awk -F: '/stat::number_of_executed_units/ {s += $NF} END {print s + 0}' "$log")
  fi
  set -e
  elapsed=$(($(date +%s) - started))
  total=$((total + runs))
  if [ "$rc" -eq 0 ]; then
    result=ok
  else
    result="FAILED (see $log)"
    status=1
    grep -E '==ERROR|ERROR: libFuzzer|invariant failed|SUMMARY|runtime error' "$log" | head -5 >&2 || true
  fi
  printf '%-24s %12d %8d %s\n' "$f" "$runs" "$elapsed" "$result"
done
printf '%-24s %12d\n' total "$total"
exit "$status"
