#!/usr/bin/env bash
# Installs the Debian packages Quenvor needs, in sets, so that building and starting the program
# does not wait for what only the tests use:
#   install-deps.sh [run]   to build the program and run it: the compiler, Qt (with its Spanish
#                           translations), SQLite, LevelDB, and the fonts and desktop tools the
#                           window uses (`make run`);
#   install-deps.sh package the run set and what `make package` needs to make the Debian package;
#   install-deps.sh test    all of the above and what the tests, CI and `make lint` use: GoogleTest,
#                           Firefox and Chromium (the tests let the real browsers write profiles
#                           for the cleaner), the filesystems of the loop-mounted images, Xvfb, the
#                           desktop-file validators and the clang tools (`make test`).
# Windows builds have their own list (scripts/install-windows-deps.sh).
# Idempotent and silent when everything is already present.
# `install-deps.sh --list [set]` prints the set's packages, one a line, and installs nothing.
set -euo pipefail

run_packages=(
  cmake make g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  libsqlite3-dev
  libleveldb-dev  # Chromium's local and session storage
  fonts-wine fonts-dejavu-core xdg-utils
)
package_packages=(dpkg-dev file)
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  sqlite3
  btrfs-progs xfsprogs e2fsprogs mount  # loop-mounted images for the real-filesystem tests
  secure-delete  # sfill, the yardstick of the free-space wipe bench
  xvfb xauth
  adwaita-qt6  # a dark Qt style, for the window's contrast test and screenshots
  firefox-esr chromium
  coreutils findutils
  desktop-file-utils appstream librsvg2-bin
  clang clang-tidy clang-tools clang-format
)

list_only=false
if [ "${1:-}" = "--list" ]; then
  list_only=true
  shift
fi
case "${1:-run}" in
  run) packages=("${run_packages[@]}") ;;
  package) packages=("${run_packages[@]}" "${package_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${package_packages[@]}" "${test_packages[@]}") ;;
  *)
    echo "usage: $0 [--list] [run|package|test]" >&2
    exit 2
    ;;
esac
if $list_only; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
