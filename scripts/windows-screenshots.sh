#!/usr/bin/env bash
# Pictures of each page of quenvor.exe under Wine, in English and Spanish:
# <out>/windows-<en|es>-<page>.png. Needs Xvfb and ImageMagick.
#   windows-screenshots.sh <windows build folder> <out folder>
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
winpath() { echo "Z:$1" | tr / '\\'; }
names=(tracks shredder settings about)
for lang in en:1053 es:1034; do
  "$here/wine-gui.sh" --prefix "$build/wine-gui" --headless "$build/tests/window-driver.exe" \
    "$(winpath "$build/src/app/quenvor.exe")" shots "$(winpath "$work")" "${lang#*:}"
  for page in 1 2 3 4; do
    convert "$work/page$page.bmp" "$out/windows-${lang%%:*}-${names[page - 1]}.png"
  done
done
ls "$out"/windows-*.png
