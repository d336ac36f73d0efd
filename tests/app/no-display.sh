#!/usr/bin/env bash
# The program started where Qt would find no display says so in one line and exits with 1,
# instead of Qt's abort; a platform that needs no display still gets the window.
# Usage: no-display.sh <quenvor binary>
set -uo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
bad() { echo "FAIL: $*"; fail=1; }

english="quenvor: no display found (DISPLAY and WAYLAND_DISPLAY are unset); start it from a desktop session."
spanish="quenvor: no se encontró ninguna pantalla (DISPLAY y WAYLAND_DISPLAY no están definidas); inícialo desde una sesión de escritorio."

# Each case: the environment (after env -i), the line expected on stderr. A home of its own keeps
# the user's settings out of it.
home=$work/home
mkdir -p "$home/.config/QUENVOR" "$work/es/QUENVOR"
printf '[SETTINGS]\nLANGUAGE=1034\n' >"$work/es/QUENVOR/QUENVOR.conf"
cases=(
  "|$english"
  "HOME=$home|$english"
  "HOME=$home DISPLAY= WAYLAND_DISPLAY=|$english"
  "HOME=$home QT_QPA_PLATFORM=xcb WAYLAND_DISPLAY=wayland-0|$english"
  "HOME=$home QT_QPA_PLATFORM=wayland DISPLAY=:0|$english"
  "HOME=$home QT_QPA_PLATFORM=wayland;xcb|$english"
  "HOME=$home XDG_CONFIG_HOME=$work/es|$spanish"
)
for c in "${cases[@]}"; do
  environment=${c%%|*}
  expected=${c#*|}
  # shellcheck disable=SC2086 # the variables are separate words on purpose
  out=$(env -i $environment "$program" --version 2>&1 </dev/null)
  rc=$?
  [ "$rc" -eq 1 ] || bad "[$environment] exit status $rc, expected 1; it said: $out"
  [ "$out" = "$expected" ] || bad "[$environment] said '$out', expected '$expected'"
done

# With the offscreen platform the window starts: still running after a few seconds.
env -i HOME="$home" QT_QPA_PLATFORM=offscreen timeout 4 "$program" >"$work/out" 2>&1 </dev/null
rc=$?
[ "$rc" -eq 124 ] || bad "with QT_QPA_PLATFORM=offscreen the program ended with $rc: $(cat "$work/out")"
[ $fail -eq 0 ] && echo "PASS"
exit $fail
