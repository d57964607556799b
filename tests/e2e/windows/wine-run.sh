#!/usr/bin/env bash
# Runs one Windows program under Wine for a test. Its output goes through a file, so that helper processes that
# Wine leaves running do not keep whoever reads ours (ctest) waiting for them.
wine_bin=${VELLORA_WINE:-/usr/lib/wine/wine64}
[ -x "$wine_bin" ] || wine_bin=$(command -v wine)
log=$(mktemp)
"$wine_bin" "$@" >"$log" 2>&1 </dev/null
status=$?
cat "$log"
rm -f "$log"
exit $status
