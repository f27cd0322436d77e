#!/usr/bin/env bash
# Sets up what is missing, then builds and runs every test twice: a plain debug build, and a
# build under AddressSanitizer and UndefinedBehaviorSanitizer so that a memory error fails; then
# tests the Windows platform layer under wine and, where its toolchain cache is built, the whole
# Windows program and its installer; builds the Debian packages and runs the desktop end-to-end
# test against the unpacked program, and runs the fuzz targets for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh tests

scripts/check-format.sh

export QT_QPA_PLATFORM=offscreen
for preset in debug asan; do
    echo "=== $preset ==="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" -j2
done

echo "=== the Windows platform layer, under wine ==="
scripts/test-windows-layer.sh

echo "=== the Windows program, built and run under wine ==="
scripts/test-windows.sh build/debug/server/kestaro-server

echo "=== Debian packages, and the unpacked program on a real desktop ==="
scripts/test-package.sh

echo "=== fuzz ==="
scripts/fuzz.sh
