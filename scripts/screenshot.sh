#!/usr/bin/env bash
# Starts the client under a virtual X display against a local kestaro-server and saves pictures
# of its main window (the list filled from the first poll) and of its settings dialog.
# Usage: scripts/screenshot.sh [FOLDER]   (default docs)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs}
scripts/setup.sh
for tool in Xvfb import xdotool; do
    command -v "$tool" >/dev/null || {
        apt-get install -y -qq xvfb imagemagick xdotool >/dev/null
        break
    }
done
cmake --preset release >/dev/null
cmake --build --preset release --target kestaro-zelvan kestaro-server >/dev/null

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
cp build/release/src/app/kestaro-zelvan "$work/"
build/release/server/kestaro-server --demo --port 0 --db "$work/kestaro.db" --seed 40 >"$work/server.log" &
for _ in $(seq 50); do grep -q listening "$work/server.log" && break; sleep 0.1; done
port=$(sed -n 's/.*:\([0-9]*\) (database.*/\1/p' "$work/server.log")
printf '[Connection]\nServerHost=127.0.0.1\nServerPort=%s\n' "$port" >"$work/kestaro-zelvan.ini"

export DISPLAY=:97
Xvfb "$DISPLAY" -screen 0 1100x720x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
XDG_CONFIG_HOME="$work/config" "$work/kestaro-zelvan" &
sleep 4
main=$(xdotool search --onlyvisible --name "Kestaro" | head -n 1)
import -window root -trim +repage "$out/main-window.png"
xdotool mousemove --window "$main" 70 33 click 1  # the settings button
sleep 2
dialog=$(xdotool getactivewindow 2>/dev/null || xdotool search --onlyvisible --name "إعدادات" | head -n 1)
import -window "$dialog" "$out/settings-dialog.png"
echo "saved $out/main-window.png and $out/settings-dialog.png"
