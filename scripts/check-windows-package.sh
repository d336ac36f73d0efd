#!/usr/bin/env bash
# Builds the Windows downloads and tries them under Wine: the zip holds quenvor.exe and
# the help pages in both languages; the installer, run silently as the user, puts both, a Start-menu entry and an
# uninstaller in place, and the uninstaller takes them all away again.
#   check-windows-package.sh <windows build folder> <version>     exit 77: no makensis or Xvfb
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
here=$(cd "$(dirname "$0")" && pwd)
command -v makensis >/dev/null || { echo "makensis is missing (Debian package nsis): skipped"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }
"$here/package-windows.sh" "$build" "$version" >/dev/null
listing=$(unzip -Z1 "$build/quenvor-$version-windows-x64.zip")
for f in Quenvor/quenvor.exe Quenvor/quenvor-cli.exe Quenvor/help/quenvor.htm Quenvor/help/quenvor-es.htm; do
  grep -qx "$f" <<<"$listing" || fail "the zip has no $f"
done

prefix=$build/wine-package
rm -rf "$prefix"
gui=("$here/wine-gui.sh" --prefix "$prefix" --headless)
rc=0
"${gui[@]}" "$build/quenvor-$version-setup.exe" /S || rc=$?
[ $rc -eq 77 ] && exit 77
[ $rc -eq 0 ] || fail "the installer ended with $rc"
user=$(find "$prefix/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)
dir=$user/AppData/Local/Programs/Quenvor
for f in quenvor.exe quenvor-cli.exe help/quenvor.htm help/quenvor-es.htm uninstall.exe; do [ -f "$dir/$f" ] || fail "not installed: $f"; done
# A console program: it prints its help where it was started.
WINEPREFIX=$prefix WINEDEBUG=-all wine "$dir/quenvor-cli.exe" --help 2>/dev/null | grep -q "Exit codes" ||
  fail "quenvor-cli.exe --help printed no help"
menu=$(find "$user" -name Quenvor.lnk | head -n 1)
[ -n "$menu" ] || fail "no Start-menu entry"
for page in quenvor.htm quenvor-es.htm; do
  cmp -s "$dir/help/$page" "$here/../help/$page" || fail "the help page $page differs"
done

# Run in place (_?=): a copy of itself elsewhere would outlive this Wine session. In place it
# cannot remove itself, which is all it may leave.
"${gui[@]}" "$dir/uninstall.exe" /S "_?=C:\\users\\$(basename "$user")\\AppData\\Local\\Programs\\Quenvor" ||
  fail "the uninstaller failed"
left=$(cd "$dir" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$left" = "./uninstall.exe " ] || fail "the uninstaller left: $left"
[ ! -e "$menu" ] || fail "the uninstaller left the Start-menu entry"
rm -rf "$prefix"
echo "passed"
