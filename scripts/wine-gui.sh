#!/usr/bin/env bash
# Runs a Windows program that opens windows under Wine, in a Wine prefix of its own with Tahoma in
# its Fonts folder (Wine does not find its own copy there otherwise).
#   wine-gui.sh --prefix <dir> [--headless] <program.exe> [args...]
# With --headless, or with no X display, the program gets a virtual display of its own (Xvfb),
# and the Wine server bound to it is stopped when the program ends. Exit code 77: no Xvfb.
set -euo pipefail

[ "${1:-}" = --prefix ] && [ $# -ge 3 ] || { echo "usage: wine-gui.sh --prefix <dir> [--headless] <program.exe> [args...]" >&2; exit 2; }
prefix=$(mkdir -p "$2" && cd "$2" && pwd)
shift 2
headless=0
if [ "${1:-}" = --headless ]; then headless=1; shift; fi
[ -n "${DISPLAY:-}" ] || headless=1
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

prepare() {
  if [ ! -f "$WINEPREFIX/.quenvor-ready" ]; then
    wineboot -i </dev/null >/dev/null 2>&1
    # Wine draws the title bars itself: a virtual display has no window manager.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.quenvor-ready"
  fi
  fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  for f in /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf; do
    [ -f "$f" ] && [ ! -f "$fonts/$(basename "$f")" ] && cp "$f" "$fonts/"
  done
  return 0
}

if [ "${QUENVOR_WINE_GUI_INSIDE:-}" = 1 ]; then
  # On the virtual display: one program at a time per prefix, its Wine server gone after it.
  exec 9>"$WINEPREFIX/.quenvor-gui-lock"
  flock 9
  prepare
  rc=0
  wine "$@" || rc=$?
  wineserver -k 2>/dev/null || true
  exit $rc
fi

if [ $headless = 1 ]; then
  command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (Debian package xvfb): skipped"; exit 77; }
  QUENVOR_WINE_GUI_INSIDE=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --prefix "$WINEPREFIX" "$@"
fi
prepare
exec wine "$@"
