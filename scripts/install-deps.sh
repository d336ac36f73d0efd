#!/usr/bin/env bash
# Installs the Debian packages Quenvor needs to build, run and test (Firefox and Chromium are
# there for the tests that let the real browsers write profiles for the cleaner), to check its
# desktop files and build its package, and the clang tools CI and `make lint` use.
# Idempotent and silent when everything is already present.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev sqlite3
  libleveldb-dev  # Chromium's local and session storage
  btrfs-progs xfsprogs e2fsprogs mount  # loop-mounted images for the real-filesystem tests
  secure-delete  # sfill, the yardstick of the free-space wipe bench
  xvfb xauth fonts-wine fonts-dejavu-core xdg-utils
  firefox-esr chromium
  coreutils findutils
  desktop-file-utils appstream librsvg2-bin dpkg-dev
  clang clang-tidy clang-tools clang-format
)

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
