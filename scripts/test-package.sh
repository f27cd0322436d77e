#!/usr/bin/env bash
# Builds the two Debian packages, shows their files and dependencies, checks them with lintian
# and that they hold what a desktop needs, unpacks them into a temporary root, and runs the
# desktop end-to-end test against the unpacked programs.
set -euo pipefail
cd "$(dirname "$0")/.."
# The package preset builds as Debian builds its own packages (KESTARO_DEBIAN_FLAGS).
cmake --preset package >/dev/null
cmake --build --preset package
rm -f build/package/*.deb
(cd build/package && cpack -G DEB >/dev/null)

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for deb in build/package/kestaro-zelvan_*.deb build/package/kestaro-server_*.deb; do
    echo "--- $(basename "$deb")"
    dpkg-deb --field "$deb" Package Version Depends Recommends
    dpkg-deb --contents "$deb" | awk '$6 !~ /\/$/ {print "   ", $6}'
    dpkg-deb --extract "$deb" "$root"
done
# Any error, warning or information tag that is not overridden with its reason fails the packages.
verdict=0
lintian -I --fail-on error,warning,info build/package/*.deb >"$root/lintian.txt" 2>&1 || verdict=$?
grep -v "running with root privileges" "$root/lintian.txt" || echo "lintian: no findings"
[ "$verdict" -eq 0 ] || { echo "lintian finds fault with the packages"; exit 1; }

for file in usr/bin/kestaro-zelvan usr/bin/kestaro-server usr/share/man/man1/kestaro-zelvan.1.gz \
    usr/share/doc/kestaro-zelvan/copyright lib/systemd/system/kestaro-server.service \
    usr/share/applications/kestaro-zelvan.desktop \
    usr/share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/kestaro-zelvan.png; do
    [ -f "$root/$file" ] || { echo "missing from the packages: $file"; exit 1; }
done
desktop-file-validate "$root/usr/share/applications/kestaro-zelvan.desktop"
# The packaged service serves where the client looks by default (port 80).
grep -q -- "--port 80 " "$root/lib/systemd/system/kestaro-server.service" ||
    { echo "the service does not listen on the client's default port 80"; exit 1; }
dpkg-deb --field build/package/kestaro-zelvan_*.deb Depends | grep -q libqt6widgets6 ||
    { echo "the client's package does not depend on Qt"; exit 1; }

# The server's maintainer scripts, run by dpkg itself: installing leaves the service known and
# not enabled, purging takes the service's database away. Only where this machine has no
# kestaro-server of its own installed, and as root.
if [ "$(id -u)" -eq 0 ] && ! dpkg-query -W kestaro-server >/dev/null 2>&1; then
    server_deb=$(ls build/package/kestaro-server_*.deb)
    dpkg -i "$server_deb" >/dev/null
    state=/var/lib/private/kestaro-server
    mkdir -p "$state" && touch "$state/kestaro.db"
    dpkg -r kestaro-server >/dev/null
    [ -f "$state/kestaro.db" ] || { echo "removing the server's package took its database"; exit 1; }
    dpkg -P kestaro-server >/dev/null
    [ ! -e "$state" ] || { echo "purging the server's package left $state"; exit 1; }
    echo "the server's maintainer scripts: install, remove and purge as dpkg runs them"
fi

echo "=== the unpacked program on a desktop ==="
python3 tests/e2e/desktop_test.py "$root/usr/bin/kestaro-zelvan" "$root/usr/bin/kestaro-server"
