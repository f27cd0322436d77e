#!/usr/bin/env bash
# Builds what the Windows program links against, from Debian's own source packages: Qt's base
# (Core, Gui, Widgets, Network as DLLs) at the version of the host Qt whose moc, rcc and uic the
# cross build uses, and libcurl (HTTP only, Windows' own TLS). The result is kept in a cache
# outside the tree, keyed by both versions, and reused; the first build takes about an hour on
# two cores. Prints the cache's path as its last line.
#
#   scripts/build-windows-deps.sh           make the cache when it is missing
#   scripts/build-windows-deps.sh --path    print where the cache is (or would be), build nothing
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

step() { echo "--- $*" >&2; current_step=$*; }
fail() {
    echo "build-windows-deps: failed at: ${current_step:-start}${1:+ ($1)}" >&2
    exit 1
}
trap 'fail' ERR

version_of() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null; }

cache_dir() {
    local qt curl
    qt=$(version_of qt6-base-dev)
    curl=$(version_of libcurl4-openssl-dev)
    [ -n "$qt" ] && [ -n "$curl" ] || return 1
    echo "${KESTARO_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kestaro}/windows-qt${qt//[:+~]/_}-curl${curl//[:+~]/_}"
}

if [ "${1:-}" = --path ]; then
    trap - ERR
    cache_dir || { echo "build-windows-deps: the host Qt and libcurl are not installed" >&2; exit 1; }
    exit 0
fi

step "installing the build's Debian packages"
scripts/setup.sh windows

cache=$(cache_dir)
if [ -f "$cache/COMPLETE" ]; then
    echo "$cache"
    exit 0
fi

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

step "adding the deb-src entry for Debian's own archive"
if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
    src=/etc/apt/sources.list.d/kestaro-debian-src.sources
    # The same archive and suites as the binary packages this machine installs from.
    awk 'BEGIN { RS = ""; ORS = "\n\n" } /deb\.debian\.org\/debian\n/ || /URIs: [^\n]*\/debian(-security)?\n/ {
             sub(/Types: deb\n/, "Types: deb-src\n"); print }' /etc/apt/sources.list.d/debian.sources |
        "${sudo[@]}" tee "$src" >/dev/null
    [ -s "$src" ] || fail "no Debian archive found in /etc/apt/sources.list.d/debian.sources"
    "${sudo[@]}" apt-get update -qq
    apt-get source --print-uris qt6-base >/dev/null 2>&1 || fail "apt still finds no source for qt6-base"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kestaro-windows-deps.XXXXXX")
partial="$cache.partial-$$"
trap 'rm -rf "$work" "$partial"' EXIT
mkdir -p "$(dirname "$cache")" "$partial"
toolchain=$root/cmake/mingw-w64-x86_64.cmake
jobs=$(nproc)

step "downloading the source of libcurl $(version_of libcurl4-openssl-dev)"
(cd "$work" && apt-get source -qq "curl=$(version_of libcurl4-openssl-dev)" >/dev/null)
step "building libcurl for Windows"
cmake -S "$work"/curl-*/ -B "$work/curl-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$partial" -DBUILD_SHARED_LIBS=ON \
    -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF -DHTTP_ONLY=ON \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF \
    -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=OFF \
    -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBPSL=OFF -DCURL_DISABLE_LDAP=ON \
    -DENABLE_UNIX_SOCKETS=OFF -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none >"$work/curl.log" 2>&1 ||
    { tail -20 "$work/curl.log" >&2; fail; }
cmake --build "$work/curl-build" -j "$jobs" >>"$work/curl.log" 2>&1 ||
    { tail -30 "$work/curl.log" >&2; fail; }
cmake --install "$work/curl-build" >/dev/null

step "downloading the source of Qt $(version_of qt6-base-dev)"
(cd "$work" && apt-get source -qq "qt6-base=$(version_of qt6-base-dev)" >/dev/null)
step "configuring Qt for Windows"
# Only what the client uses. Debian's source lacks the tablet header wintab.h, and with OpenGL
# off 6.4 still compiles its dynamic-GL code into the Windows plug-in: both are turned off here
# because they only fail late in the build.
cmake -S "$work"/qt6-base-*/ -B "$work/qt-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$partial" -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no \
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_testlib=OFF \
    -DFEATURE_vulkan=OFF -DFEATURE_openssl=OFF -DINPUT_openssl=no -DFEATURE_tabletevent=OFF \
    -DFEATURE_dynamicgl=OFF -DFEATURE_zstd=OFF -DFEATURE_icu=OFF -DFEATURE_sql=OFF \
    -DFEATURE_androiddeployqt=OFF >"$work/qt.log" 2>&1 || { tail -40 "$work/qt.log" >&2; fail; }
step "building Qt for Windows (about an hour the first time)"
cmake --build "$work/qt-build" -j "$jobs" >>"$work/qt.log" 2>&1 || { tail -40 "$work/qt.log" >&2; fail; }
step "installing Qt into the cache"
cmake --install "$work/qt-build" >>"$work/qt.log" 2>&1 || { tail -20 "$work/qt.log" >&2; fail; }

# Only a finished build is renamed into place, so a half-built cache is never taken for one.
printf 'qt %s\ncurl %s\n' "$(version_of qt6-base-dev)" "$(version_of libcurl4-openssl-dev)" \
    >"$partial/COMPLETE"
rm -rf "$cache"
mv "$partial" "$cache"
echo "$cache"
