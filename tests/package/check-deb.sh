#!/usr/bin/env bash
# Builds the Debian package from a built tree, unpacks it into a scratch root as dpkg would
# install it, and finds each part where the desktop and Help look for it.
# Usage: check-deb.sh <cpack> <build folder> <project version>. Exits 77 (skipped) when the
# Debian tools are missing.
set -euo pipefail
cpack=$1; build=$2; version=$3
id=io.github.quenvor.Quenvor
for tool in dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# gzip: the test's package only needs to unpack, quickly.
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip \
  >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(find "$scratch/out" -maxdepth 1 -name '*.deb')
[ "$(wc -l <<<"$deb")" = 1 ] && [ -n "$deb" ] || { echo "FAIL: expected one .deb, found: $deb"; exit 1; }
root=$scratch/root
dpkg -x "$deb" "$root"

fail=0
bad() { echo "FAIL: $*"; fail=1; }
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quenvor ] || bad "package name '$(field Package)'"
[ "$(field Version)" = "$version" ] || bad "version '$(field Version)', the project is $version"
# dpkg-shlibdeps read the program's libraries: Qt, the C++ runtime and LevelDB are among the dependencies.
depends=$(field Depends)
grep -q 'libqt6widgets6' <<<"$depends" || bad "Depends lacks Qt Widgets: '$depends'"
grep -q 'libstdc++6' <<<"$depends" || bad "Depends lacks the C++ runtime: '$depends'"
grep -q 'libleveldb' <<<"$depends" || bad "Depends lacks LevelDB: '$depends'"
[ "${deb##*/}" = "quenvor_${version}_$(dpkg --print-architecture).deb" ] || bad "file name ${deb##*/}"

usr=$root/usr
[ -x "$usr/bin/quenvor" ] || bad "no executable usr/bin/quenvor"
# The console program, its manual page (compressed, as Debian keeps them) and its reports' schema.
[ -x "$usr/bin/quenvor-cli" ] || bad "no executable usr/bin/quenvor-cli"
gzip -t "$usr/share/man/man1/quenvor-cli.1.gz" 2>/dev/null || bad "no usr/share/man/man1/quenvor-cli.1.gz"
if command -v man >/dev/null && [ -f "$usr/share/man/man1/quenvor-cli.1.gz" ]; then
  man -l "$usr/share/man/man1/quenvor-cli.1.gz" 2>/dev/null | grep -q 'EXIT STATUS' || bad "the manual page does not read"
fi
[ -f "$usr/share/doc/quenvor/cli.md" ] || bad "no usr/share/doc/quenvor/cli.md"
version_said=$("$usr/bin/quenvor-cli" --version 2>&1 || true)
[ "$version_said" = "quenvor-cli $version" ] || bad "quenvor-cli --version says '$version_said'"
# Help looks beside the program first, then in ../share/quenvor/help.
for page in quenvor.htm quenvor-es.htm; do
  [ -f "$usr/share/quenvor/help/$page" ] || bad "no help page at usr/share/quenvor/help/$page"
done
[ -f "$usr/share/applications/$id.desktop" ] || bad "no usr/share/applications/$id.desktop"
[ -f "$usr/share/metainfo/$id.metainfo.xml" ] || bad "no usr/share/metainfo/$id.metainfo.xml"
[ -f "$usr/share/icons/hicolor/scalable/apps/$id.svg" ] || bad "no scalable icon"
for size in 16 22 24 32 48 64 128 256; do
  [ -f "$usr/share/icons/hicolor/${size}x${size}/apps/$id.png" ] || bad "no ${size}x${size} icon"
done
[ -f "$usr/share/doc/quenvor/copyright" ] || bad "no usr/share/doc/quenvor/copyright"
# Nothing but the usual tree, and nothing a user's build left in it (tests, the string compiler).
stray=$(cd "$root" && find . -type f | grep -vE '^\./usr/(bin/quenvor(-cli)?$|share/(quenvor|applications|metainfo|icons|doc)/|share/man/man1/quenvor-cli\.1\.gz$)' || true)
[ -z "$stray" ] || bad "unexpected files: $stray"
# Stripped: the package carries no debugging sections.
for program in quenvor quenvor-cli; do
  if command -v readelf >/dev/null && readelf -S "$usr/bin/$program" | grep -q '\.debug_info'; then
    bad "usr/bin/$program is not stripped"
  fi
done
[ $fail = 0 ] && echo "OK: ${deb##*/}, $(stat -c %s "$deb") bytes"
exit $fail
