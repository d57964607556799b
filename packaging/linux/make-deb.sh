#!/usr/bin/env bash
# Makes the Debian package from a built tree: installs it into a staging
# root under /usr, computes Depends from the binary (dpkg-shlibdeps), and
# builds build/vellora_<version>_<arch>.deb with dpkg-deb.
#   packaging/linux/make-deb.sh BUILD_DIR OUT_DIR
set -euo pipefail
build=$(realpath "${1:?usage: make-deb.sh BUILD_DIR OUT_DIR}")
out=$(realpath "${2:?usage: make-deb.sh BUILD_DIR OUT_DIR}")
here=$(cd "$(dirname "$0")" && pwd)

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "make-deb: no project version in $build/CMakeCache.txt" >&2; exit 1; }
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$root/usr/bin/vellora"
# The installed program looks for its files where they are installed, never
# in the tree it was built from. The compiler may cut a constant text into
# a 16-byte piece and the rest, so the first 16 characters are looked for.
top=$(cd "$here/../.." && pwd)
tree_paths=$(strings "$root/usr/bin/vellora" | grep -F -e "${top:0:16}" -e "${build:0:16}" || true)
[ -z "$tree_paths" ] || { echo "make-deb: the program holds paths of its source or build tree:" >&2; echo "$tree_paths" >&2; exit 1; }

# The shared libraries the program needs, as package names and versions.
mkdir -p "$work/src/debian"
printf 'Source: vellora\n\nPackage: vellora\nArchitecture: any\n' >"$work/src/debian/control"
depends=$(cd "$work/src" && dpkg-shlibdeps -O "$root/usr/bin/vellora" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "make-deb: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
# Captions are drawn in Wine's MS Sans Serif, which has the windows' designed
# metrics; the metafile reader draws text with the URW fonts; Qt's Wayland
# platform runs the program natively in a Wayland session; Qt's image format
# plugins (loaded at run time, so no library names them) read WebP, TIFF,
# TGA, MNG and icns pictures.
depends="$depends, fonts-wine, fonts-urw-base35, qt6-wayland, qt6-image-formats-plugins"

# The maintainer as the changelog names it (packaging/linux/changelog.in).
maintainer=$(gzip -dc "$root/usr/share/doc/vellora/changelog.gz" | sed -n 's/^ -- \(.*>\)  .*/\1/p' | head -n1)
[ -n "$maintainer" ] || { echo "make-deb: no maintainer in the changelog" >&2; exit 1; }
installed_size=$(du -sk --apparent-size "$root" | cut -f1)
mkdir -p "$root/DEBIAN"
cat >"$root/DEBIAN/control" <<CONTROL
Package: vellora
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $installed_size
Depends: $depends
Recommends: xscreensaver
Section: x11
Priority: optional
Description: picture screen saver
 Vellora covers the desktop in a colour of your choice and slides two
 copies of a picture of your choice across it, in opposite directions,
 while bursts of small random circles are sprinkled over the background.
 A key, a click or real mouse movement ends it, through its own password
 prompt when the desktop locks the screen.
 .
 It runs as an XScreenSaver hack, on its own with "vellora /S" (on X11
 and on Wayland desktops, every output covered), and "vellora --idle"
 starts it whenever the desktop has been idle, on GNOME, KDE Plasma,
 wlroots compositors and X11 (a systemd user unit, vellora-idle.service,
 not enabled by default). The menu entry "Vellora Screen Saver Settings"
 chooses the picture and the colour.
CONTROL
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum >DEBIAN/md5sums)
find "$root" -type d -exec chmod 0755 {} +
find "$root/usr/share" -type f -exec chmod 0644 {} +
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

mkdir -p "$out"
deb=$out/vellora_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
