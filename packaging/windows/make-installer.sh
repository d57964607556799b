#!/usr/bin/env bash
# Makes the Windows installer from a built Windows tree:
#   packaging/windows/make-installer.sh BUILD_DIR [OUT_DIR [-DNAME=VALUE...]]  ->  OUT_DIR/vellora-setup.exe
# (OUT_DIR is BUILD_DIR unless given; the definitions go to makensis). The
# version is the project's (CMakeLists.txt), the one in vellora.scr's version
# resource.
set -euo pipefail
build=$(realpath "${1:?usage: make-installer.sh BUILD_DIR [OUT_DIR]}")
out=$(realpath -m "${2:-$build}")
shift $(($# < 2 ? $# : 2))
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)

command -v makensis >/dev/null || { echo "make-installer: makensis is missing (Debian package nsis)" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "make-installer: no project version in $build/CMakeCache.txt" >&2; exit 1; }
scr=$build/bin/vellora.scr
[ -f "$scr" ] || { echo "make-installer: $scr is not built (make windows)" >&2; exit 1; }

stage=$out/installer
mkdir -p "$stage"
"$top/resources/make-spare-picture.sh" "$stage/imgx.bmp"
makensis -V2 -INPUTCHARSET UTF8 \
  "-DVERSION=$version" "-DSCR=$scr" "-DHLP=$top/resources/vellora.hlp" "-DSPARE=$stage/imgx.bmp" \
  "-DICON=$top/src/platform/win32/resources/vellora.ico" "-DOUTFILE=$out/vellora-setup.exe" "$@" \
  "$here/vellora.nsi"
echo "$out/vellora-setup.exe ($(stat -c %s "$out/vellora-setup.exe") bytes)"
