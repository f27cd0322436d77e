#!/usr/bin/env bash
# Starts the client under a virtual X display and saves a picture of its main window.
# Usage: scripts/screenshot.sh [OUTPUT.png]   (default docs/main-window.png)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/main-window.png}
scripts/setup.sh
for tool in Xvfb import; do
    command -v "$tool" >/dev/null || { apt-get install -y -qq xvfb imagemagick >/dev/null; break; }
done
cmake --preset release >/dev/null
cmake --build --preset release --target kestaro-zelvan kestaro-server >/dev/null

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
cp build/release/src/app/kestaro-zelvan "$work/"
build/release/server/kestaro-server --port 0 --db "$work/kestaro.db" --seed 40 >"$work/server.log" &
for _ in $(seq 50); do grep -q listening "$work/server.log" && break; sleep 0.1; done
port=$(sed -n 's/.*:\([0-9]*\) (database.*/\1/p' "$work/server.log")
printf '[Connection]\nServerHost=127.0.0.1\nServerPort=%s\n' "$port" >"$work/kestaro-zelvan.ini"

Xvfb :97 -screen 0 1100x720x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
DISPLAY=:97 "$work/kestaro-zelvan" &
sleep 4
DISPLAY=:97 import -window root -trim +repage "$out"
echo "saved $out"
