#!/usr/bin/env bash
# The Debian package installed for real: dpkg -i puts every file in its
# place, with the hack where XScreenSaver looks for hacks, and dpkg -r takes
# them all away again. Needs root, and a machine where Vellora is not
# installed already (that one is not touched).
source "$(dirname "$0")/lib.sh" "$1"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: installing a package needs root"; exit 77; }
if dpkg-query -W -f='${Status}' vellora 2>/dev/null | grep -q 'installed'; then
  echo "SKIP: a vellora package is installed on this machine already; the test leaves it alone"
  exit 77
fi

make_package "$WORK/deb"
trap 'dpkg -r vellora >/dev/null 2>&1 || true; cleanup' EXIT
dpkg -i "$PACKAGE" >"$WORK/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$WORK/dpkg.log")"
for f in "${PACKAGE_FILES[@]}"; do [ -e "/$f" ] || fail "/$f was not installed"; done
[ "$(readlink -f /usr/libexec/xscreensaver/vellora)" = /usr/bin/vellora ] || fail "the hack's entry does not lead to /usr/bin/vellora"
! ldd /usr/bin/vellora | grep -q 'not found' || fail "libraries are missing: $(ldd /usr/bin/vellora | grep 'not found')"
pass "dpkg -i installs every file; the hack is where XScreenSaver looks"

dpkg -r vellora >"$WORK/dpkg.log" 2>&1 || fail "dpkg -r: $(cat "$WORK/dpkg.log")"
for f in "${PACKAGE_FILES[@]}"; do [ ! -e "/$f" ] && [ ! -L "/$f" ] || fail "/$f was left behind"; done
[ ! -e /usr/share/vellora ] || fail "/usr/share/vellora was left behind"
pass "dpkg -r removes every file"
