#!/usr/bin/env bash
# Cleans a Firefox profile through the real window under Xvfb, as a user would, and saves
# pictures of page one before and after. Usage: scripts/cleaning-demo.sh <quenvor binary> <output folder>
set -euo pipefail
bin=$(readlink -f "$1"); out=$(readlink -f "$2")
command -v sqlite3 >/dev/null || apt-get install -y -qq sqlite3 >/dev/null
mkdir -p "$out"
work=$(mktemp -d /var/tmp/quenvor-clean.XXXXXX)
export HOME=$work/home
unset XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME XDG_STATE_HOME
profile=$HOME/.config/mozilla/firefox/Profiles/demo.default-release
cache=$HOME/.cache/mozilla/firefox/Profiles/demo.default-release/cache2/entries
mkdir -p "$profile" "$cache"
: > "$profile/prefs.js"; echo '{}' > "$profile/times.json"   # what makes the folder Firefox's profile
printf '[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/demo.default-release\nDefault=1\n' \
  > "$HOME/.config/mozilla/firefox/profiles.ini"
sqlite3 "$profile/cookies.sqlite" "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '', name TEXT, value TEXT, host TEXT, path TEXT);
  INSERT INTO moz_cookies (name, value, host, path) VALUES ('sid','1','.shop.example','/'),('pref','2','news.example','/world'),('trk','3','.ads.example','/');"
i=0
for url in https://news.example/world/today https://shop.example/cart https://mail.example/inbox \
           https://cdn.example/lib.js https://video.example/watch?v=42; do
  i=$((i+1))
  perl -e 'my ($key,$data)=@ARGV; my $off=length $data;
    print $data, pack("N",0x1234), "\x11\x11", pack("N8",3,1,1700000000,1700000000,0,0xffffffff,length $key,0),
      $key, "\0", pack("N",$off);' "a,:$url" "<html>$url</html>" > "$cache/ENTRY$i"
done
export BIN=$bin OUT=$out
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$BIN" & pid=$!
  for i in $(seq 50); do win=$(xdotool search --name "^Quenvor$" 2>/dev/null | head -1) && [ -n "$win" ] && break; sleep 0.2; done
  sleep 1; xdotool windowmove "$win" 0 0; sleep 0.5
  import -window "$win" "$OUT/page1-tracks-before.png"
  xdotool mousemove --window "$win" 528 349 click 1; sleep 1
  xdotool key alt+s; sleep 1           # what will be removed, shown in the question
  import -window root -crop 900x700+0+0 "$OUT/page1-tracks-plan.png"
  xdotool key alt+y; sleep 2           # Yes (Return would answer the default, No)
  import -window root -crop 700x450+0+0 "$OUT/page1-tracks-done.png"
  xdotool key Return; sleep 0.5
  import -window "$win" "$OUT/page1-tracks-after.png"
  kill $pid
'
echo "cookies left: $(sqlite3 "$profile/cookies.sqlite" 'SELECT count(*) FROM moz_cookies')"
echo "cache entries left: $(ls "$cache" | wc -l)"
rm -rf "$work"
