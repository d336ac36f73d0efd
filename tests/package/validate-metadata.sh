#!/usr/bin/env bash
# The launcher entry and the software-centre entry as the desktop's own validators read them, and
# what ties them together: the names they give each other, the icon files, the release version.
# Usage: validate-metadata.sh <source folder> <project version>. Exits 77 (skipped) when a
# validator is missing.
set -euo pipefail
src=$1; version=$2
id=io.github.quenvor.Quenvor
desktop=$src/dist/$id.desktop
metainfo=$src/dist/$id.metainfo.xml
for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/install-deps.sh)"; exit 77; }
done
fail=0
bad() { echo "FAIL: $*"; fail=1; }

# The validators print hints for accepted choices; only errors and warnings fail.
out=$(desktop-file-validate "$desktop" 2>&1) || bad "desktop-file-validate: $out"
if grep -E ': (error|warning): ' <<<"$out"; then bad "desktop-file-validate reports the above"; fi
appstreamcli validate --no-net --strict "$metainfo" || bad "appstreamcli validate"

key() { sed -n "s/^$1=//p" "$desktop" | head -1; }
[ "$(key Icon)" = "$id" ] || bad "the desktop file's Icon is '$(key Icon)', the installed icon is $id"
[ "$(key Exec | cut -d' ' -f1)" = quenvor ] || bad "the desktop file starts '$(key Exec)', the program is quenvor"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || bad "the metainfo launches no $id.desktop"
grep -q "<id>$id</id>" "$metainfo" || bad "the metainfo's id is not $id"

# The newest release listed first is this version, so a software centre shows what is installed.
first=$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | cut -d'"' -f2)
[ "$first" = "$version" ] || bad "the newest release in the metainfo is '$first', the project is $version"

# Every screenshot the metainfo shows is one the repository has.
while read -r url; do
  [ -f "$src/docs/screenshots/${url##*/}" ] || bad "screenshot ${url##*/} is not in docs/screenshots"
done < <(grep -o '<image[^>]*>[^<]*' "$metainfo" | sed 's/.*>//')

# The PNGs are the sizes their folders say (a stale or wrong render shows up here).
for png in "$src"/dist/icons/hicolor/*/apps/$id.png; do
  size=${png%/apps/*}; size=${size##*/}
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$dims" = "$size" ] || bad "$png is $dims"
done
grep -q '<svg' "$src/dist/icons/$id.svg" || bad "the scalable icon is no SVG"
exit $fail
