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
"$wine" build/windows-cross/tests/windows/core_tests_windows.exe --gtest_brief=1 2>/dev/null
"$wine" build/windows-cross/tests/windows/platform_windows_test.exe 2>/dev/null
unset WINEPATH
/usr/lib/wine/wineserver -k 2>/dev/null || true

version=$(sed -n 's/^project(Kestaro VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
python3 tests/e2e/windows_test.py "build/windows/Kestaro-$version-setup.exe" "$server"
echo "the Windows part took $(($(date +%s) - start)) s"
