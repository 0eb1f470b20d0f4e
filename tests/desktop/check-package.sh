#!/bin/sh
# Checks the Debian package that `make package` left in FOLDER for VERSION: its fields, that
# its Depends name the libraries the programs link, its files, and that the packaged program
# runs. Exits 77 (skipped) when no such package was built.
set -eu
folder=$1
version=$2
deb=$(ls -t "$folder"/corvanel_"$version"_*.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ]; then
  echo "no corvanel_${version}_*.deb in $folder: run 'make package' first"
  exit 77
fi
failed=0
fail() { echo "FAIL: $*"; failed=1; }

[ "$(dpkg-deb -f "$deb" Package)" = corvanel ] || fail "Package is not corvanel"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6dbus6 \
               libavformat libavcodec libswresample libavutil libsdl2 libkissfft-float qt6-qpa-plugins; do
  echo "$depends" | grep -q "$library" || fail "Depends does not name $library: $depends"
done

contents=$(dpkg-deb -c "$deb")
for file in ./usr/lib/corvanel/corvanel ./usr/lib/corvanel/updater ./usr/lib/corvanel/packaged \
            ./usr/share/applications/corvanel.desktop ./usr/share/icons/hicolor/scalable/apps/corvanel.svg; do
  echo "$contents" | grep -q " $file\$" || fail "$file is missing"
done
echo "$contents" | grep -q '^-rwxr-xr-x .* \./usr/lib/corvanel/corvanel$' || fail "corvanel is not executable"
echo "$contents" | grep -q '^-rwxr-xr-x .* \./usr/lib/corvanel/updater$' || fail "updater is not executable"
echo "$contents" | grep -q ' \./usr/bin/corvanel -> \.\./lib/corvanel/corvanel$' || fail "no link /usr/bin/corvanel"
outside=$(echo "$contents" | awk '{print $6}' | grep -v '^\./$' | grep -v '^\./usr/' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
got=$("$root/usr/lib/corvanel/corvanel" --version 2>&1) || fail "corvanel --version failed: $got"
[ "$got" = "corvanel $version" ] || fail "corvanel --version says: $got"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$root/usr/share/applications/corvanel.desktop" || fail "the desktop entry is not valid"
fi
[ $failed -eq 0 ] && echo "ok: $deb"
exit $failed
