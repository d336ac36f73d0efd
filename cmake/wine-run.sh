#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in a Wine prefix of the build folder (the
# toolchain file passes it). The Wine server is started detached from our standard streams: a
# server that inherits ctest's output pipe keeps every test open for seconds after it ends.
#   wine-run.sh --prefix <dir> <program.exe> [args...]   runs the program
#   wine-run.sh --prefix <dir> --start                   makes the prefix if needed, starts the server
#   wine-run.sh --prefix <dir> --stop                    stops the server and what it still runs
set -euo pipefail

if [ "${1:-}" = --prefix ] && [ $# -ge 2 ]; then
  export WINEPREFIX=$2
  shift 2
else
  export WINEPREFIX=${WINEPREFIX:-$HOME/.wine}
fi
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialogs, no window: the tests use neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY WAYLAND_DISPLAY

start_server() {
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    # The server and the system's own programs (services, devices, the desktop) start here,
    # detached; started by a test instead, they would hold its output pipe open. The server
    # is persistent: it answers 0 only when none ran yet for this prefix.
    if wineserver -p </dev/null >/dev/null 2>&1 9>&-; then
      if [ -f "$WINEPREFIX/.quenvor-ready" ]; then
        wineboot </dev/null >/dev/null 2>&1 9>&-
      else
        # The server writes the registry files only later: a mark of our own says the prefix is made.
        wineboot -i </dev/null >/dev/null 2>&1 9>&-
        touch "$WINEPREFIX/.quenvor-ready"
      fi
    fi
  ) 9>"$WINEPREFIX/.quenvor-lock"
}

case "${1:-}" in
  --start)
    start_server
    exit 0
    ;;
  --stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    exit 0
    ;;
  "")
    echo "usage: wine-run.sh [--prefix <dir>] <program.exe> [args...] | --start | --stop" >&2
    exit 2
    ;;
esac

# Cheap when the server is up; never lets wine start one attached to our output.
start_server
# Wine may still start one of its own programs on the way (the desktop, a console host) from the
# program run here, and that one keeps whatever output it was given for as long as the server
# runs. It is given files, never our caller's pipe, so ctest sees the test end when it ends.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
set +e
wine "$@" </dev/null >"$out" 2>"$err"
rc=$?
# Now and then, with many tests starting at once, Wine gives up before the program starts: it
# ends at once with a failure and without a word. Every program run here writes something, so
# that is tried once more; a program that fails by itself fails again, and says so.
if [ "$rc" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  sleep 1
  wine "$@" </dev/null >"$out" 2>"$err"
  rc=$?
fi
set -e
cat "$out"
cat "$err" >&2
exit $rc
