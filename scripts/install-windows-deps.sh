#!/usr/bin/env bash
# What the Windows build needs beyond scripts/install-deps.sh: the mingw-w64 cross compiler,
# Wine to run the tests (Xvfb, xdotool and ImageMagick for the window's, nsis and zip for the
# downloads), and two libraries Debian ships no Windows build of, made here for Windows from
# Debian's own sources:
#   - GoogleTest, from the source Debian installs in /usr/src/googletest;
#   - SQLite, the amalgamation made from Debian's source package of the very version the Linux
#     build links, fetched through an apt source list private to the deps folder (the system's
#     lists are left as they are). Only sqlite3.c/sqlite3.h are kept; none of it is committed.
# (gcc and tcl make the amalgamation on this machine.)
# Usage: install-windows-deps.sh <deps-folder> <toolchain-file>. Idempotent: what is there stays.
set -euo pipefail

deps=$(mkdir -p "$1" && cd "$1" && pwd)
toolchain=$2

packages=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 googletest dpkg-dev tcl gcc
  xvfb xdotool imagemagick nsis zip
  libsqlite3-dev cmake make)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

jobs=$(nproc)

# GoogleTest for Windows, installed with its CMake package files into the deps prefix.
if [ ! -f "$deps/prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
  echo "Building GoogleTest for Windows"
  cmake -S /usr/src/googletest -B "$deps/googletest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps/prefix" -DBUILD_GMOCK=ON >/dev/null
  cmake --build "$deps/googletest-build" -j "$jobs" >/dev/null
  cmake --install "$deps/googletest-build" >/dev/null
fi

# SQLite: the source package of the installed libsqlite3-dev, so both systems run one version.
if [ ! -f "$deps/sqlite/sqlite3.c" ]; then
  version=$(dpkg-query -W -f='${source:Version}' libsqlite3-dev)
  echo "Making the SQLite $version amalgamation"
  apt_dir="$deps/apt"
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/src"
  cat >"$apt_dir/sources.list" <<LIST
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm-updates main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security bookworm-security main
LIST
  apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=/nonexistent"
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "APT::Sandbox::User=root")
  apt-get "${apt_opts[@]}" update -qq
  rm -rf "$apt_dir/src" && mkdir -p "$apt_dir/src"
  (cd "$apt_dir/src" && apt-get "${apt_opts[@]}" source -qq "sqlite3=$version" >/dev/null)
  tree=$(find "$apt_dir/src" -mindepth 1 -maxdepth 1 -type d -name 'sqlite3-*' | head -n 1)
  [ -n "$tree" ] || { echo "no SQLite source tree in $apt_dir/src" >&2; exit 1; }
  (cd "$tree" && ./configure >/dev/null && make -j "$jobs" sqlite3.c >/dev/null)
  mkdir -p "$deps/sqlite.new"
  cp "$tree/sqlite3.c" "$tree/sqlite3.h" "$deps/sqlite.new/"
  rm -rf "$deps/sqlite" "$apt_dir/src"
  mv "$deps/sqlite.new" "$deps/sqlite"
fi
