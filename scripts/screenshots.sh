#!/usr/bin/env bash
# Takes a screenshot of each page of the real window under Xvfb, clicking the tabs as a
# user would, then once more from the keyboard alone (Ctrl+Tab). Usage:
#   scripts/screenshots.sh <quenvor binary> <output folder> [language id] [dark]
# "dark" starts it under a dark Qt style (adwaita-qt6's Adwaita-Dark), as a dark desktop would.
set -euo pipefail
bin=$(readlink -f "$1"); out=$(readlink -f "$2"); lang=${3:-1053}; theme=${4:-}
need=()
for t in import xdotool xvfb-run; do command -v "$t" >/dev/null || need+=("$t"); done
if [ ${#need[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get install -y -qq --no-install-recommends imagemagick xdotool xvfb xauth >/dev/null
fi
mkdir -p "$out"
home=$(mktemp -d)
mkdir -p "$home/.config/QUENVOR"
printf '[SETTINGS]\nLANGUAGE=%s\n' "$lang" > "$home/.config/QUENVOR/QUENVOR.conf"
suffix=""; [ "$lang" = 1034 ] && suffix="-es"
if [ "$theme" = dark ]; then suffix="$suffix-dark"; export QT_STYLE_OVERRIDE=Adwaita-Dark; fi
export HOME=$home XDG_CONFIG_HOME=$home/.config
xvfb-run -a -s "-screen 0 700x500x24" bash -c '
  "'"$bin"'" & pid=$!
  for i in $(seq 50); do win=$(xdotool search --onlyvisible --name "^Quenvor$" 2>/dev/null | head -1) && [ -n "$win" ] && break; sleep 0.2; done
  sleep 2
  shoot() { xdotool mousemove 690 490; sleep 0.4; import -window "$win" "'"$out"'/$1'"$suffix"'.png"; }
  click() { xdotool mousemove --window "$win" "$1" "$2" click 1; sleep 0.5; }
  shoot page1-tracks
  click 210 40; shoot page2-shredder
  click 330 40; shoot page3-settings
  click 445 40; shoot page4-about
  # The same pages from the keyboard: the shot shows where the focus landed.
  xdotool key --window "$win" ctrl+Tab; sleep 0.5; shoot keys-page1
  xdotool key --window "$win" ctrl+Tab; sleep 0.5; shoot keys-page2
  kill $pid
'
rm -rf "$home"
