#!/usr/bin/env bash
# Cross-compiles the Windows side of the platform layer (start at login in the registry, the
# information sound) with mingw-w64 into a small test program and runs it under wine, in a
# throwaway wine prefix, against wine's real registry.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/windows
mkdir -p "$out"
x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -Wpedantic -Werror -static \
    -Isrc/platform tests/windows/PlatformWindowsTest.cpp src/platform/AutoStartWindows.cpp \
    src/platform/WindowsPaths.cpp \
    src/platform/AlertSoundWindows.cpp -luser32 -ladvapi32 -o "$out/platform_windows_test.exe"

wine=/usr/lib/wine/wine64
prefix=$(mktemp -d)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
if ! "$wine" cmd /c exit >/dev/null 2>&1; then
    echo "SKIPPED: wine cannot start here; the Windows platform layer was built but not run"
    exit 0
fi
"$wine" "$out/platform_windows_test.exe" 2>/dev/null
