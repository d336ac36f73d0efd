#!/usr/bin/env bash
# Shreds a folder through the real window under Xvfb, as a user would (tabs, the folder
# dialog, Delete, the confirmation), and saves pictures during and after the run.
# Usage: scripts/shred-demo.sh <quenvor binary> <output folder>
set -euo pipefail
bin=$(readlink -f "$1"); out=$(readlink -f "$2")
mkdir -p "$out"
work=$(mktemp -d /var/tmp/quenvor-demo.XXXXXX)
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_STATE_HOME=$work/home/.local/state
mkdir -p "$HOME" "$work/Private/letters" "$work/outside"
for i in $(seq 1 8); do head -c 100M /dev/urandom > "$work/Private/photo-$i.jpg"; done
echo "dear diary" > "$work/Private/letters/diary.txt"
echo "not mine" > "$work/outside/keep.txt"
ln -s "$work/outside/keep.txt" "$work/Private/link-to-outside"
export DEMO_DIR=$work/Private OUT=$out BIN=$bin
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$BIN" & pid=$!
  for i in $(seq 50); do win=$(xdotool search --name "^Quenvor$" 2>/dev/null | head -1) && [ -n "$win" ] && break; sleep 0.2; done
  sleep 1
  xdotool windowmove "$win" 0 0; sleep 0.5
  click() { xdotool mousemove --window "$win" "$1" "$2" click 1; sleep 0.8; }
  click 210 40                       # File Shredder tab
  click 405 349                      # Select a folder
  xdotool type --delay 20 "$DEMO_DIR"; sleep 0.3; xdotool key Return; sleep 1
  import -window "$win" "$OUT/page2-shredder-chosen.png"
  click 528 349                      # Delete
  import -window root -crop 700x400+0+0 "$OUT/shred-confirm.png"
  xdotool key alt+y                  # Yes (Return would answer the default, No)
  sleep 1.2
  import -window "$win" "$OUT/page2-shredder-running.png"
  for i in $(seq 300); do [ -e "$DEMO_DIR" ] || break; sleep 0.5; done
  sleep 1.5
  import -window root -crop 700x450+0+0 "$OUT/page2-shredder-done.png"
  xdotool key Return; sleep 0.5
  import -window "$win" "$OUT/page2-shredder-after.png"
  kill $pid
'
echo "left in the chosen folder: $(find "$work/Private" 2>/dev/null | wc -l) entries"
echo "outside file: $(cat "$work/outside/keep.txt")"
rm -rf "$work"
