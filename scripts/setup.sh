#!/usr/bin/env bash
# Installs the Debian packages the build and the demo need, when any is missing; with "tests",
# also what the whole test command needs (fuzzing, the Windows program, the desktop test); with
# "windows", what building the Windows program and its toolchain cache needs.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format
    qt6-base-dev libcurl4-openssl-dev rapidjson-dev libcpp-httplib-dev libsqlite3-dev
    libmicrohttpd-dev libcanberra-dev libasound2-dev sound-theme-freedesktop qt6-translations-l10n
    googletest libgtest-dev libbenchmark-dev
    fonts-noto-core fonts-noto-color-emoji
    xvfb xauth
)
windows=(g++-mingw-w64-x86-64-posix dpkg-dev nsis wine64 zip)
case "${1:-}" in
tests)
    packages+=(
        clang libclang-rt-14-dev "${windows[@]}"
        openbox trayer xdotool xclip desktop-file-utils libglib2.0-bin lintian python3 imagemagick
    )
    ;;
windows) packages+=("${windows[@]}") ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
