#!/usr/bin/env bash
# with-wine.sh PREFIX_DIR COMMAND...: the command on an X display of 1024 x 768, a fresh Wine prefix, one wineserver.
set -euo pipefail
[ -n "${WITH_WINE_DISPLAY:-}" ] ||
  exec env WITH_WINE_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
VELLORA_WINE=/usr/lib/wine/wine64 VELLORA_WINESERVER=/usr/lib/wine/wineserver64
[ -x "$VELLORA_WINE" ] || VELLORA_WINE=$(command -v wine)
[ -x "$VELLORA_WINESERVER" ] || VELLORA_WINESERVER=$(command -v wineserver)
export VELLORA_WINE VELLORA_WINESERVER

# A test killed outright may have left the Windows directory unwritable; the prefix must go all the same.
chattr -i "$prefix/drive_c/windows" "$prefix/drive_c/windows/vellora.ini" 2>/dev/null || true
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
"$VELLORA_WINE" wineboot -i >/dev/null 2>&1 || true
# Wine's own MS Sans Serif, the dialogs' font, which Debian's Wine 8 does not load from its data folder.
cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
# No window manager runs on the virtual display: Wine places and focuses the windows itself.
"$VELLORA_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
"$VELLORA_WINESERVER" -w && "$VELLORA_WINESERVER" -p
status=0
"$@" || status=$?
"$VELLORA_WINESERVER" -k >/dev/null 2>&1 || true
exit $status
