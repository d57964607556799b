#!/usr/bin/env bash
# Runs one Windows program under Wine for a test. Wine may start helper
# processes that outlive the program; they get a file of their own for
# output, so that whoever reads ours (ctest) is not kept waiting for them.
wine_bin=${VELLORA_WINE:-/usr/lib/wine/wine64}
[ -x "$wine_bin" ] || wine_bin=$(command -v wine)
log=$(mktemp)
"$wine_bin" "$@" >"$log" 2>&1 </dev/null
status=$?
cat "$log"
rm -f "$log"
exit $status
