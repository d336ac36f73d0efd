#!/usr/bin/env bash
# Builds the Windows downloads and tries them under Wine: the zip holds quenvor.exe and
# quenvor-cli.exe and the help pages in both languages; the installer, run silently as the user,
# puts them, a Start-menu entry and an uninstaller in place; while quenvor.exe runs, neither the
# uninstaller nor the installer changes anything; closed, the uninstaller takes them all away again.
#   check-windows-package.sh <windows build folder> <version>     exit 77: no makensis or Xvfb
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
here=$(cd "$(dirname "$0")" && pwd)
command -v makensis >/dev/null || { echo "makensis is missing (Debian package nsis): skipped"; exit 77; }
command -v xdotool >/dev/null || { echo "xdotool is missing (Debian package xdotool): skipped"; exit 77; }
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
# Its Wine session ends here: one left running, without the display the next steps start, would
# take quenvor.exe's window there.
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
menu=$(find "$user" -name Quenvor.lnk | head -n 1)
[ -n "$menu" ] || fail "no Start-menu entry"
for page in quenvor.htm quenvor-es.htm; do
  cmp -s "$dir/help/$page" "$here/../help/$page" || fail "the help page $page differs"
done

# Run in place (_?=): a copy of itself elsewhere would outlive this Wine session. In place it
# cannot remove itself, which is all it may leave.
in_place="_?=C:\\users\\$(basename "$user")\\AppData\\Local\\Programs\\Quenvor"

# While quenvor.exe runs, the uninstaller (answering Cancel, as a silent run does) takes nothing
# away, so the entries that remove it stay, and the installer replaces nothing. while_running
# <program> [args...] runs the program under Wine once the installed quenvor.exe has its window.
while_running() {
  xvfb-run -a -s "-screen 0 1024x768x24" env WINEPREFIX="$prefix" WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=" bash -c '
    quenvor=$1; shift
    wine "$quenvor" </dev/null >/dev/null 2>&1 &
    for _ in $(seq 120); do
      xdotool search --name "^Quenvor" >/dev/null 2>&1 && break
      sleep 0.5
    done
    rc=0
    wine "$@" </dev/null >/dev/null 2>&1 || rc=$?
    wineserver -k 2>/dev/null
    wait
    exit $rc' while_running "$dir/quenvor.exe" "$@"
}
rc=0
while_running "$dir/uninstall.exe" /S "$in_place" || rc=$?
[ $rc -ne 0 ] || fail "the uninstaller reported success while quenvor.exe ran"
for f in quenvor.exe help/quenvor.htm uninstall.exe; do
  [ -f "$dir/$f" ] || fail "the uninstaller took $f while quenvor.exe ran"
done
[ -e "$menu" ] || fail "the uninstaller took the Start-menu entry while quenvor.exe ran"
grep -q 'CurrentVersion\\\\Uninstall\\\\Quenvor\]' "$prefix/user.reg" ||
  fail "the uninstaller took its entry in Settings, Apps while quenvor.exe ran"
before=$(stat -c %Y "$dir/quenvor.exe")
rc=0
while_running "$build/quenvor-$version-setup.exe" /S || rc=$?
[ $rc -ne 0 ] || fail "the installer reported success while quenvor.exe ran"
[ "$(stat -c %Y "$dir/quenvor.exe")" = "$before" ] || fail "the installer wrote over a running quenvor.exe"

"${gui[@]}" "$dir/uninstall.exe" /S "$in_place" || fail "the uninstaller failed"
left=$(cd "$dir" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$left" = "./uninstall.exe " ] || fail "the uninstaller left: $left"
[ ! -e "$menu" ] || fail "the uninstaller left the Start-menu entry"
! grep -q 'CurrentVersion\\\\Uninstall\\\\Quenvor\]' "$prefix/user.reg" || fail "the uninstaller left its entry in Settings, Apps"
rm -rf "$prefix"
echo "passed"
