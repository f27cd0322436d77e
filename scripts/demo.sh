#!/usr/bin/env bash
# Sets up what is missing, builds, starts the bundled kestaro-server with sample requests (a new
# one every 30 seconds), and runs the client against it. The client keeps running in the tray
# when its window is closed: end it with "خروج" in the tray menu; the server stops with it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target kestaro-zelvan kestaro-server

demo=build/demo
mkdir -p "$demo"
cp build/release/src/app/kestaro-zelvan "$demo/"
server_log="$demo/server.log"
build/release/server/kestaro-server --demo --port 0 --db "$demo/kestaro.db" --seed 60 --simulate 30 \
    >"$server_log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do grep -q listening "$server_log" && break; sleep 0.1; done
port=$(sed -n 's/.*:\([0-9]*\) (database.*/\1/p' "$server_log")
[ -n "$port" ] || { cat "$server_log"; exit 1; }
echo "kestaro-server on 127.0.0.1:$port (password 2613, database $demo/kestaro.db)"

# The client reads its settings from the file beside it; point it at the demo server.
ini="$demo/kestaro-zelvan.ini"
[ -f "$ini" ] || (umask 077; printf '[Connection]\nServerHost=127.0.0.1\nPassword=2613\n' >"$ini")
if grep -q '^ServerPort=' "$ini"; then
    sed -i "s/^ServerPort=.*/ServerPort=$port/" "$ini"
else
    sed -i "s/^\[Connection\]/[Connection]\nServerPort=$port/" "$ini"
fi

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No graphical session here: running under a virtual display; a picture of the window"
    echo "is saved to $demo/screenshot.png in a few seconds. Ctrl+C ends the demo."
    Xvfb :98 -screen 0 1100x720x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $server $xvfb 2>/dev/null; wait 2>/dev/null || true' EXIT
    sleep 1
    export DISPLAY=:98
    ( sleep 5; command -v import >/dev/null && import -window root "$demo/screenshot.png" ) &
fi
"$demo/kestaro-zelvan"
