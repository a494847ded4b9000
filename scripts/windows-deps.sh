#!/usr/bin/env bash
# Installs the mingw-w64 toolchain and Wine, and builds what terso needs for
# Windows from Debian's sources, once, into a cache folder outside the clone:
# libxml2, libmosquitto, GoogleTest, SQLite, qtbase and (when its source can be had) qtcharts
# 6.4.2. The cache is keyed by the recipe (its version below, the toolchain
# file and the patch), so a changed recipe builds anew and an unchanged one is
# reused by every clone on the machine; each library is kept once built, and
# a stopped Qt build goes on where it stopped. Prints the prefix holding the
# libraries on its last line.
recipe=1
set -euo pipefail
# One run at a time on a machine: a second waits for the first, then finds
# what it built.
mkdir -p "${TERSO_WINDOWS_CACHE:-/var/cache/terso-windows}"
exec 9>"${TERSO_WINDOWS_CACHE:-/var/cache/terso-windows}/.lock"
flock 9
here=$(cd "$(dirname "$0")" && pwd)
toolchain=$here/windows/mingw-w64-x86_64.cmake
patch=$here/windows/qt-6.4.2-mingw-no-direct2d-no-opengl.patch

packages=(mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine wine64
  dpkg-dev tcl cmake ninja-build qt6-base-dev qt6-base-dev-tools googletest zip pandoc msitools wixl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update >&2
  "${sudo_cmd[@]}" apt-get install -y "${missing[@]}" >&2
fi

key=$( (echo "$recipe"; cat "$toolchain" "$patch") | sha256sum | cut -c1-16)
cache=${TERSO_WINDOWS_CACHE:-/var/cache/terso-windows}
prefix=$cache/$key
if [ -f "$prefix/.complete" ] && [ -f "$prefix/.done-qtcharts" ] && [ -f "$prefix/.done-sqlite" ] && [ -f "$prefix/.done-libmosquitto" ]; then
  echo "$prefix"
  exit 0
fi

# Debian's source packages need a deb-src entry; add one beside the binary
# entries when there is none.
if ! apt-get indextargets 2>/dev/null | grep -q 'deb-src'; then
  if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/terso-deb-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  fi
  "${sudo_cmd[@]}" apt-get update >&2
fi

work=$cache/work-$key
mkdir -p "$work" "$prefix"
cd "$work"
done_mark() { [ -f "$prefix/.done-$1" ]; }
jobs=$(nproc)
cross=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix")

if ! done_mark libxml2; then
echo "== libxml2 for mingw" >&2
rm -rf libxml2-* build-libxml2
apt-get source -q libxml2 >&2
src=$(find . -maxdepth 1 -type d -name 'libxml2-*' | head -n 1)
cmake -S "$src" -B build-libxml2 "${cross[@]}" -DBUILD_SHARED_LIBS=ON \
  -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_LZMA=OFF -DLIBXML2_WITH_ZLIB=OFF \
  -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_ICU=OFF -DLIBXML2_WITH_HTTP=OFF \
  -DLIBXML2_WITH_FTP=OFF -DLIBXML2_WITH_MODULES=OFF -DLIBXML2_WITH_TESTS=OFF \
  -DLIBXML2_WITH_PROGRAMS=OFF >&2
cmake --build build-libxml2 -j"$jobs" >&2
cmake --install build-libxml2 >&2
touch "$prefix/.done-libxml2"
fi

# libmosquitto (the plant link's MQTT client) without TLS: its TLS library,
# OpenSSL, is not cross-built here. Its threads are mingw's winpthreads, not
# the prebuilt pthreads-win32 its CMakeLists names.
if ! done_mark libmosquitto; then
echo "== libmosquitto for mingw (without TLS)" >&2
rm -rf mosquitto-* build-mosquitto
apt-get source -q mosquitto >&2
src=$(find . -maxdepth 1 -type d -name 'mosquitto-*' | head -n 1)
sed -i 's/C:\\\\pthreads\\\\Pre-built.2\\\\lib\\\\x[0-9]*\\\\pthreadVC2.lib/pthread/
  s/set (PTHREAD_INCLUDE_DIR C:\\\\pthreads\\\\Pre-built.2\\\\include)/set (PTHREAD_INCLUDE_DIR "")/' "$src/CMakeLists.txt"
cmake -S "$src" -B build-mosquitto "${cross[@]}" -DWITH_TLS=OFF -DWITH_TLS_PSK=OFF -DWITH_CJSON=OFF \
  -DWITH_CLIENTS=OFF -DWITH_BROKER=OFF -DWITH_APPS=OFF -DWITH_PLUGINS=OFF -DDOCUMENTATION=OFF \
  -DWITH_LIB_CPP=OFF >&2
cmake --build build-mosquitto -j"$jobs" >&2
cmake --install build-mosquitto >&2
# The import library, which the install leaves out.
cp build-mosquitto/lib/libmosquitto.dll.a "$prefix/lib/"
touch "$prefix/.done-libmosquitto"
fi

if ! done_mark googletest; then
echo "== GoogleTest for mingw" >&2
cmake -S /usr/src/googletest -B build-gtest "${cross[@]}" -DBUILD_SHARED_LIBS=OFF \
  -Dgtest_disable_pthreads=OFF >&2
cmake --build build-gtest -j"$jobs" >&2
cmake --install build-gtest >&2
touch "$prefix/.done-googletest"
fi

# SQLite, linked statically (nothing more to ship): Debian's source tree makes
# its one-file amalgamation with the build machine's compiler and tclsh, and
# the cross compiler builds that.
if ! done_mark sqlite; then
echo "== SQLite for mingw" >&2
rm -rf sqlite3-* build-sqlite
apt-get source -q sqlite3 >&2
src=$(cd "$(find . -maxdepth 1 -type d -name 'sqlite3-*' | head -n 1)" && pwd)
mkdir build-sqlite
(cd build-sqlite && "$src/configure" --disable-tcl >&2 && make sqlite3.c >&2)
x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION \
  -c build-sqlite/sqlite3.c -o build-sqlite/sqlite3.o >&2
mkdir -p "$prefix/lib" "$prefix/include"
rm -f "$prefix/lib/libsqlite3.a"
x86_64-w64-mingw32-ar rcs "$prefix/lib/libsqlite3.a" build-sqlite/sqlite3.o
cp build-sqlite/sqlite3.h "$src/src/sqlite3ext.h" "$prefix/include/"
touch "$prefix/.done-sqlite"
fi

qt_host=(-DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
if ! done_mark qtbase; then
echo "== qtbase 6.4.2 for mingw" >&2
# A configured build that was stopped goes on where it was.
if [ ! -f build-qtbase/build.ninja ]; then
rm -rf qt6-base-* build-qtbase
apt-get source -q qt6-base >&2
src=$(find . -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
(cd "$src" && patch -p1 <"$patch") >&2
cmake -S "$src" -B build-qtbase "${cross[@]}" "${qt_host[@]}" \
  -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
  -DFEATURE_pkg_config=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF \
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
  -DFEATURE_direct2d=OFF -DFEATURE_tabletevent=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF \
  -DFEATURE_zstd=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF \
  -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF \
  -DFEATURE_system_libb2=OFF -DFEATURE_system_sqlite=OFF -DFEATURE_system_textmarkdownreader=OFF \
  >&2
fi
cmake --build build-qtbase -j"$jobs" >&2
cmake --install build-qtbase >&2
touch "$prefix/.done-qtbase"
fi

# Qt Charts is optional: the mirror here has answered 404 for qt6-charts'
# source archive, and terso draws its plot without Qt Charts when the prefix
# has none. It is tried again on every run until it is built. Qt's own
# toolchain file (beside its CMake packages) finds Qt in the prefix.
if ! done_mark qtcharts; then
  echo "== qtcharts 6.4.2 for mingw" >&2
  rm -rf qt6-charts-* build-qtcharts
  if apt-get source -q qt6-charts >&2; then
    src=$(find . -maxdepth 1 -type d -name 'qt6-charts-*' | head -n 1)
    cmake -S "$src" -B build-qtcharts -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF >&2
    cmake --build build-qtcharts -j"$jobs" >&2
    cmake --install build-qtcharts >&2
    touch "$prefix/.done-qtcharts"
  else
    echo "qt6-charts' source cannot be fetched: no Qt Charts for Windows this time" >&2
  fi
fi

cd "$cache"
rm -rf "$work"
touch "$prefix/.complete"
echo "$prefix"
