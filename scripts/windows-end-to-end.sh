#!/usr/bin/env bash
# quenvor.exe under Wine on a virtual display, driven by window-driver.exe: the File Shredder
# page, a folder chosen by typing its path into the folder dialog and Return, Delete, Yes, the
# final message read back.
#   windows-end-to-end.sh <windows build folder> plain   files and a subfolder: the folder must go
#   windows-end-to-end.sh <windows build folder> link    the same with a link to a file outside it:
#     the file outside must be untouched, and the final message must say what happened (the folder
#     gone, or the link named as left in place, alone in the folder)
# Exit 0: passed, 77: no Xvfb.
set -euo pipefail
build=$(cd "$1" && pwd)
case=${2:-plain}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
winpath() { echo "Z:$1" | tr / '\\'; }
fail() { echo "FAILED: $*"; exit 1; }

# Shreds folder $1 through the window; the driver's report goes to $1.log.
run() {
  local rc=0
  "$here/wine-gui.sh" --prefix "$build/wine-gui" --headless "$build/tests/window-driver.exe" \
    "$(winpath "$build/src/app/quenvor.exe")" shred "$(winpath "$1")" >"$1.log" 2>&1 || rc=$?
  cat "$1.log"
  [ $rc -eq 77 ] && exit 77
  [ $rc -eq 0 ] || fail "the driver ended with $rc"
  grep -q '^window: "Quenvor" 615x424' "$1.log" || fail "no window titled Quenvor with a 615 x 424 client area"
  grep -q '^final: .' "$1.log" || fail "no final message"
}

fill() {
  mkdir -p "$1/inner"
  head -c 300000 /dev/urandom >"$1/data.bin"
  printf 'secret\n' >"$1/inner/notes.txt"
}

if [ "$case" = plain ]; then
  fill "$work/plain"
  run "$work/plain"
  [ ! -e "$work/plain" ] || fail "the folder is still there: $(ls -laR "$work/plain")"
  echo "passed"
  exit 0
fi

mkdir -p "$work/outside"
printf 'kept as it is\n' >"$work/outside/precious.txt"
before=$(sha256sum <"$work/outside/precious.txt")
fill "$work/linked"
ln -s "$work/outside/precious.txt" "$work/linked/link-to-precious"
run "$work/linked"
[ -f "$work/outside/precious.txt" ] || fail "the file outside the folder is gone"
[ "$(sha256sum <"$work/outside/precious.txt")" = "$before" ] || fail "the file outside the folder changed"
if [ -e "$work/linked" ]; then
  left=$(cd "$work/linked" && find . -mindepth 1 | sort | tr '\n' ' ')
  [ "$left" = "./link-to-precious " ] || fail "more than the link was left: $left"
  # The folder stays because of the link in it: the message names the link and why it stayed.
  grep -q 'linked[/\\]link-to-precious: could not be removed' "$work/linked.log" ||
    fail "the folder stayed but the message does not say so"
  echo "note: the link inside the folder was left in place, and the message says so"
fi
echo "passed"
