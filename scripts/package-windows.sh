#!/usr/bin/env bash
# The Windows downloads of a built quenvor.exe: a zip of quenvor.exe and the console program
# quenvor-cli.exe with the help pages (help\quenvor.htm, English, and help\quenvor-es.htm,
# Spanish) beside them, and a per-user installer made with makensis.
#   package-windows.sh <windows build folder> <version>
# Writes <build>/quenvor-<version>-windows-x64.zip and <build>/quenvor-<version>-setup.exe.
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
here=$(cd "$(dirname "$0")" && pwd)
stage=$build/package/Quenvor
rm -rf "$build/package" && mkdir -p "$stage/help"
x86_64-w64-mingw32-strip -o "$stage/quenvor.exe" "$build/src/app/quenvor.exe"
x86_64-w64-mingw32-strip -o "$stage/quenvor-cli.exe" "$build/src/cli/quenvor-cli.exe"
cp "$here/../help/quenvor.htm" "$here/../help/quenvor-es.htm" "$stage/help/"
zip_file=$build/quenvor-$version-windows-x64.zip
rm -f "$zip_file"
(cd "$build/package" && zip -qr "$zip_file" Quenvor)
makensis -V2 -INPUTCHARSET UTF8 -DSTAGE="$stage" -DVERSION="$version" -DOUT="$build/quenvor-$version-setup.exe" \
  "$here/windows-installer.nsi"
ls -la "$zip_file" "$build/quenvor-$version-setup.exe"
