#!/usr/bin/env bash
# The Debian package of a built tree: made by CPack into a scratch folder and
# read with dpkg-deb, so nothing is installed on this machine.
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 \
  || { cat "$tmp/cpack.log"; exit 1; }
deb=$(find "$tmp/out" -maxdepth 1 -name 'warehouse_*.deb' | head -n 1)
[ -n "$deb" ] || { echo "FAIL: no package was made"; cat "$tmp/cpack.log"; exit 1; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

files=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for expected in ./usr/bin/warehouse ./usr/libexec/warehouse/warehouse \
  ./usr/share/applications/warehouse.desktop \
  ./usr/share/icons/hicolor/scalable/apps/warehouse.svg ./usr/share/doc/warehouse/README.md; do
  grep -qxF "$expected" <<<"$files" || fail "the package lacks $expected"
done
grep -q '^\./usr/local' <<<"$files" && fail "files under /usr/local in a package"

depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libqt6printsupport6 libsqlite3-0 qt6-qpa-plugins \
  qt6-translations-l10n; do
  grep -q "\b$package\b" <<<"$depends" || fail "Depends lacks $package: $depends"
done

# The launcher finds the program it was installed with.
dpkg-deb -x "$deb" "$tmp/root"
launcher="$tmp/root/usr/bin/warehouse"
relative=$(sed -n 's|^program="$(dirname "$(readlink -f "$0")")/\(.*\)"$|\1|p' "$launcher")
[ -n "$relative" ] || fail "the launcher does not name its program"
[ -x "$tmp/root/usr/bin/$relative" ] || fail "the launcher points at $relative, which is not there"
grep -q '^Exec=warehouse$' "$tmp/root/usr/share/applications/warehouse.desktop" \
  || fail "the menu entry does not start the launcher"

[ "$failures" -eq 0 ] && echo "package: all checks passed"
exit "$failures"
