#!/usr/bin/env bash
# What the Windows build and its tests need, on their own (scripts/install-deps.sh is not needed
# first): the mingw-w64 cross compiler, Wine to run the tests (Xvfb with xauth, xdotool,
# ImageMagick and Wine's Tahoma for the window's, nsis and zip for the downloads), and the libraries Debian ships no Windows build of, made here for Windows from
# Debian's own sources:
#   - GoogleTest, from the source Debian installs in /usr/src/googletest;
#   - SQLite, the amalgamation made from Debian's source package of the very version the Linux
#     build links, fetched through an apt source list private to the deps folder (the system's
#     lists are left as they are). Only sqlite3.c/sqlite3.h are kept; none of it is committed;
#   - LevelDB (Chromium's site storage) with Snappy, which compresses the tables the browser
#     writes, from the source packages of the versions the Linux build links, built by CMake and
#     installed into the deps prefix.
# (gcc and tcl make the amalgamation on this machine.)
# Usage: install-windows-deps.sh <deps-folder> <toolchain-file>. Idempotent: what is there stays.
set -euo pipefail

deps=$(mkdir -p "$1" && cd "$1" && pwd)
toolchain=$2

packages=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 googletest dpkg-dev tcl gcc
  xvfb xauth xdotool imagemagick fonts-wine nsis zip dosfstools
  libsqlite3-dev libleveldb-dev cmake make)
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

# Debian's source packages, fetched through an apt source list private to the deps folder.
apt_dir="$deps/apt"
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=/nonexistent"
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "APT::Sandbox::User=root")
# Unpacks the source package `$1` at version `$2` into $apt_dir/src and prints its folder. It runs
# in a subshell ($(...)), so whether the lists are fresh is kept in a file named after this run.
fetch_source() {
  if [ ! -f "$apt_dir/updated.$$" ]; then
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
    cat >"$apt_dir/sources.list" <<LIST
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm-updates main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security bookworm-security main
LIST
    rm -f "$apt_dir"/updated.*
    apt-get "${apt_opts[@]}" update -qq >&2
    touch "$apt_dir/updated.$$"
  fi
  rm -rf "$apt_dir/src" && mkdir -p "$apt_dir/src"
  (cd "$apt_dir/src" && apt-get "${apt_opts[@]}" source -qq "$1=$2" >/dev/null)
  local tree
  tree=$(find "$apt_dir/src" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n 1)
  [ -n "$tree" ] || { echo "no $1 source tree in $apt_dir/src" >&2; exit 1; }
  echo "$tree"
}

# SQLite: the source package of the installed libsqlite3-dev, so both systems run one version.
if [ ! -f "$deps/sqlite/sqlite3.c" ]; then
  version=$(dpkg-query -W -f='${source:Version}' libsqlite3-dev)
  echo "Making the SQLite $version amalgamation"
  tree=$(fetch_source sqlite3 "$version")
  (cd "$tree" && ./configure >/dev/null && make -j "$jobs" sqlite3.c >/dev/null)
  mkdir -p "$deps/sqlite.new"
  cp "$tree/sqlite3.c" "$tree/sqlite3.h" "$deps/sqlite.new/"
  rm -rf "$deps/sqlite" "$apt_dir/src"
  mv "$deps/sqlite.new" "$deps/sqlite"
fi

# Snappy, then LevelDB built with it: static libraries with their headers in the deps prefix,
# neither's tests nor benchmarks. The versions are those of the Linux build's libraries.
if [ ! -f "$deps/prefix/lib/libsnappy.a" ]; then
  version=$(dpkg-query -W -f='${source:Version}' libsnappy1v5)
  echo "Building Snappy $version for Windows"
  tree=$(fetch_source snappy "$version")
  # Debian's build makes a static library beside the shared one; with both static they would be
  # one file written twice, so the shared one stays shared and only the static one is linked.
  cmake -S "$tree" -B "$deps/snappy-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$deps/prefix" -DBUILD_SHARED_LIBS=ON -DSNAPPY_BUILD_TESTS=OFF \
    -DSNAPPY_BUILD_BENCHMARKS=OFF -Wno-dev >/dev/null
  cmake --build "$deps/snappy-build" -j "$jobs" >/dev/null
  cmake --install "$deps/snappy-build" >/dev/null
  rm -rf "$apt_dir/src"
fi
if [ ! -f "$deps/prefix/lib/libleveldb.a" ]; then
  version=$(dpkg-query -W -f='${source:Version}' libleveldb-dev)
  echo "Building LevelDB $version for Windows"
  tree=$(fetch_source leveldb "$version")
  # LevelDB looks for Snappy with the compiler's own search path: the prefix is added to it.
  cmake -S "$tree" -B "$deps/leveldb-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$deps/prefix" -DBUILD_SHARED_LIBS=OFF -DLEVELDB_BUILD_TESTS=OFF \
    -DLEVELDB_BUILD_BENCHMARKS=OFF -DLEVELDB_INSTALL=ON -DCMAKE_CXX_FLAGS="-I$deps/prefix/include" \
    -DCMAKE_REQUIRED_LINK_OPTIONS="-L$deps/prefix/lib" -DCMAKE_REQUIRED_INCLUDES="$deps/prefix/include" \
    -DCMAKE_EXE_LINKER_FLAGS="-L$deps/prefix/lib" >/dev/null
  grep -q '^HAVE_SNAPPY:INTERNAL=1' "$deps/leveldb-build/CMakeCache.txt" ||
    { echo "LevelDB for Windows did not find Snappy" >&2; exit 1; }
  cmake --build "$deps/leveldb-build" -j "$jobs" >/dev/null
  cmake --install "$deps/leveldb-build" >/dev/null
  rm -rf "$apt_dir/src"
fi
