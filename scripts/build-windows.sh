#!/usr/bin/env bash
# Builds the Windows program from this tree with Debian's mingw-w64 and puts its two packages in
# build/windows: the portable Kestaro-<version>-win64.zip and the installer
# Kestaro-<version>-setup.exe (NSIS). The first run also builds Qt and libcurl for Windows from
# Debian's source packages into a cache outside the tree (about an hour on two cores); later runs
# reuse it. The core's tests for Windows are built beside the program.
set -euo pipefail
cd "$(dirname "$0")/.."
deps=$(scripts/build-windows-deps.sh | tail -n 1)
export KESTARO_WINDOWS_DEPS=$deps
version=$(sed -n 's/^project(Kestaro VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
build=build/windows-cross
out=build/windows
mingw_runtime=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
mingw_sysroot=/usr/x86_64-w64-mingw32/lib

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DKESTARO_WERROR=ON -DKESTARO_WINDOWS_CORE_TESTS=ON \
    -DQt6_DIR="$deps/lib/cmake/Qt6" -DCURL_DIR="$deps/lib/cmake/CURL" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >/dev/null
cmake --build "$build" --target kestaro-zelvan core_tests_windows platform_windows_test

# What the program loads, and nothing more (the list is checked under wine by the tests).
stage=$out/Kestaro
rm -rf "$stage"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/translations"
x86_64-w64-mingw32-strip -o "$stage/kestaro-zelvan.exe" "$build/src/app/kestaro-zelvan.exe"
for dll in Qt6Core Qt6Gui Qt6Widgets Qt6Network; do cp "$deps/bin/$dll.dll" "$stage/"; done
cp "$deps"/bin/libcurl*.dll "$stage/"
cp "$deps/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$deps/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp "$mingw_runtime/libstdc++-6.dll" "$mingw_runtime/libgcc_s_seh-1.dll" \
    "$mingw_sysroot/libwinpthread-1.dll" "$stage/"
x86_64-w64-mingw32-strip "$stage"/*.dll "$stage"/*/*.dll
cp /usr/share/qt6/translations/qtbase_ar.qm "$stage/translations/"
printf '[Paths]\nPrefix=.\n' >"$stage/qt.conf"
cp LICENSE "$stage/LICENSE.txt"
# The licences of what ships beside the program: Qt's LGPL-3 (with the GPL-3 it builds on),
# curl's, the mingw-w64 runtime's, and which library is which version from which source.
mkdir -p "$stage/licenses"
cp /usr/share/common-licenses/LGPL-3 "$stage/licenses/LGPL-3.txt"
cp /usr/share/common-licenses/GPL-3 "$stage/licenses/GPL-3.txt"
cp /usr/share/doc/libqt6core6/copyright "$stage/licenses/qt6-copyright.txt"
cp /usr/share/doc/libcurl4-openssl-dev/copyright "$stage/licenses/curl-copyright.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/gcc-runtime-copyright.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/mingw-w64-copyright.txt"
qt=$(dpkg-query -W -f='${Version}' libqt6core6)
curl=$(dpkg-query -W -f='${Version}' libcurl4)
gcc=$(dpkg-query -W -f='${Version}' gcc-mingw-w64-base)
mingw=$(dpkg-query -W -f='${Version}' mingw-w64-common)
sed -e "s/@QT@/$qt/g" -e "s/@CURL@/$curl/g" -e "s/@GCC@/$gcc/g" -e "s/@MINGW@/$mingw/g" \
    packaging/windows/THIRD-PARTY.txt.in | sed 's/$/\r/' >"$stage/THIRD-PARTY.txt"

rm -f "$out"/Kestaro-*-win64.zip "$out"/Kestaro-*-setup.exe
(cd "$out" && zip -qr9 "Kestaro-$version-win64.zip" Kestaro)
makensis -V2 -DVERSION="$version" -DSTAGE="$(realpath "$stage")" \
    -DICON="$(realpath src/gui/resources/images/kestaro.ico)" \
    -DOUTFILE="$(realpath "$out")/Kestaro-$version-setup.exe" packaging/windows/kestaro.nsi
ls -l "$out/Kestaro-$version-win64.zip" "$out/Kestaro-$version-setup.exe"
