#!/usr/bin/env bash
# Lets the real Chromium fill a profile (history, cookies, cache) from a server on the loopback
# address, then cleans it through the real window under Xvfb, as a user would, and saves pictures
# of page one before and after. Usage: scripts/chromium-demo.sh <quenvor binary> <output folder>
set -euo pipefail
bin=$(readlink -f "$1"); out=$(readlink -f "$2")
command -v chromium >/dev/null || { echo "chromium is not installed (scripts/install-deps.sh test)"; exit 1; }
mkdir -p "$out"
work=$(mktemp -d /var/tmp/quenvor-chromium.XXXXXX)
export HOME=$work/home
unset XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME XDG_STATE_HOME CHROME_CONFIG_HOME
mkdir -p "$HOME"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$work/server.py" <<'PY'
import http.server, sys
class Page(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        host = self.headers.get("Host", "").split(":")[0]
        body = ("<html><head><title>%s</title></head><body>%s</body></html>" % (host, self.path)).encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Cache-Control", "max-age=86400")
        self.send_header("Set-Cookie", "sid=demo; Max-Age=86400; Path=" + self.path.rsplit("/", 1)[0] + "/")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *a): pass
http.server.HTTPServer(("127.0.0.1", int(sys.argv[1])), Page).serve_forever()
PY
python3 "$work/server.py" "$port" & server=$!
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
sleep 0.5
# Every site name leads to the loopback server, so the profile holds real sites' names.
for url in http://news.example/world/today http://shop.example/cart http://mail.example/inbox \
           http://video.example/watch http://clinic.example/appointments/next; do
  chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --password-store=basic \
    --user-data-dir="$HOME/.config/chromium" --host-resolver-rules="MAP * 127.0.0.1:$port" \
    --dump-dom "$url" >/dev/null 2>&1
done
profile=$HOME/.config/chromium/Default
echo "history before: $(sqlite3 "$profile/History" 'SELECT count(*) FROM urls')," \
  "cookies before: $(sqlite3 "$profile/Cookies" 'SELECT count(*) FROM cookies')"
export BIN=$bin OUT=$out
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$BIN" & pid=$!
  for i in $(seq 50); do win=$(xdotool search --name "^Quenvor$" 2>/dev/null | head -1) && [ -n "$win" ] && break; sleep 0.2; done
  sleep 1; xdotool windowmove "$win" 0 0; sleep 0.5
  import -window "$win" "$OUT/page1-chromium-before.png"
  xdotool mousemove --window "$win" 528 349 click 1; sleep 1
  xdotool key alt+y; sleep 3           # Yes (Return would answer the default, No)
  import -window root -crop 700x450+0+0 "$OUT/page1-chromium-done.png"
  xdotool key Return; sleep 0.5
  import -window "$win" "$OUT/page1-chromium-after.png"
  kill $pid
'
echo "history left: $(sqlite3 "$profile/History" 'SELECT count(*) FROM urls')," \
  "cookies left: $(sqlite3 "$profile/Cookies" 'SELECT count(*) FROM cookies')," \
  "cache files left: $(find "$HOME/.cache/chromium" -type f | wc -l)"
