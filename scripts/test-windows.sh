#!/usr/bin/env bash
# Builds the Windows program and its packages and tests them under wine: the core's tests and
# the platform layer's, then the installed program on a real X display (tests/e2e/windows_test.py).
# Runs only where the Windows toolchain cache has been built (scripts/build-windows-deps.sh, about
# an hour the first time); elsewhere it says so in one line and passes.
# Usage: scripts/test-windows.sh KESTARO_SERVER
set -euo pipefail
cd "$(dirname "$0")/.."
server=$(realpath "$1")
cache=$(scripts/build-windows-deps.sh --path 2>/dev/null || true)
if [ -z "$cache" ] || [ ! -f "$cache/COMPLETE" ]; then
    echo "SKIPPED: the Windows program was not built: no toolchain cache; scripts/build-windows-deps.sh builds it (about an hour)"
    exit 0
fi
start=$(date +%s)
scripts/build-windows.sh
echo "built the Windows program in $(($(date +%s) - start)) s"

wine=/usr/lib/wine/wine64
prefix=$(mktemp -d)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
"$wine" wineboot -i >/dev/null 2>&1
# The tests find the program's DLLs where the package has them.
WINEPATH=$("$wine" winepath -w build/windows/Kestaro 2>/dev/null)
export WINEPATH
# kestaro-server over HTTPS with the test-only certificates (good, expired, for another name)
# and over plain HTTP, for the core's test of Schannel.
servers=()
serve() {  # VARIABLE [ARGUMENTS...]: starts a server and puts its port in VARIABLE
    local name=$1 log="$prefix/$1.log"
    shift
    "$server" --demo --port 0 --db "$prefix/$name.db" "$@" >"$log" 2>&1 &
    servers+=($!)
    for _ in $(seq 50); do grep -q listening "$log" && break; sleep 0.1; done
    export "$name=$(sed -n 's/.*:\([0-9]*\) (database.*/\1/p' "$log")"
}
for kind in TLS:server EXPIRED:expired OTHER:other-name; do
    serve "KESTARO_${kind%%:*}_PORT" --tls-cert "tests/tls/${kind#*:}.pem" \
        --tls-key tests/tls/server.key
done
serve KESTARO_PLAIN_PORT
KESTARO_TLS_CA=$("$wine" winepath -w tests/tls/ca.pem 2>/dev/null)
export KESTARO_TLS_CA
"$wine" build/windows-cross/tests/windows/core_tests_windows.exe --gtest_brief=1 2>/dev/null
# The configuration file again where Windows' ANSI code page is the Arabic one (1256).
LC_ALL=ar_DZ.UTF-8 "$wine" build/windows-cross/tests/windows/core_tests_windows.exe \
    --gtest_brief=1 --gtest_filter='IniFile.*:IniPath.*:ZelvanConfig.*' 2>/dev/null
kill "${servers[@]}"
unset KESTARO_TLS_PORT KESTARO_EXPIRED_PORT KESTARO_OTHER_PORT KESTARO_PLAIN_PORT KESTARO_TLS_CA
"$wine" build/windows-cross/tests/windows/platform_windows_test.exe 2>/dev/null
unset WINEPATH
/usr/lib/wine/wineserver -k 2>/dev/null || true

version=$(sed -n 's/^project(Kestaro VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
python3 tests/e2e/windows_test.py "build/windows/Kestaro-$version-setup.exe" "$server"
echo "the Windows part took $(($(date +%s) - start)) s"
