#!/usr/bin/env bash
# Runs a command with Wine ready for it: a fresh prefix under the build
# folder (created once, here), a persistent wineserver, and a virtual X
# display of 1024 x 768. Usage: with-wine.sh PREFIX_DIR COMMAND...
set -euo pipefail

prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

wine_bin=/usr/lib/wine/wine64
[ -x "$wine_bin" ] || wine_bin=$(command -v wine)
wineserver_bin=/usr/lib/wine/wineserver64
[ -x "$wineserver_bin" ] || wineserver_bin=$(command -v wineserver)
export VELLORA_WINE="$wine_bin" VELLORA_WINESERVER="$wineserver_bin"

# Our own virtual display on a free number, ended with the run.
display=90
while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  [ -e "/tmp/.X11-unix/X${display}" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "with-wine: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
export DISPLAY=":$display"

# A test killed outright (no chance to clean up) may have left the Windows
# directory unwritable; the prefix must go all the same.
if [ -d "$prefix/drive_c/windows" ] && command -v chattr >/dev/null; then
  chattr -i "$prefix/drive_c/windows" "$prefix/drive_c/windows/vellora.ini" 2>/dev/null || true
fi
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
start=$(date +%s)
"$wine_bin" wineboot -i >/dev/null 2>&1 || true
# No window manager runs on the virtual display: Wine places and focuses
# the windows itself instead of waiting for one.
"$wine_bin" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
"$wineserver_bin" -w
echo "with-wine: prefix ready in $(( $(date +%s) - start )) s at $prefix (display $DISPLAY)"
# One wineserver for the whole run, so that each program starts quickly.
"$wineserver_bin" -p
status=0
"$@" || status=$?
"$wineserver_bin" -k >/dev/null 2>&1 || true
exit $status
