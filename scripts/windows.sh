#!/usr/bin/env bash
# Builds terso for 64-bit Windows on Debian 12 and lays out what an operator
# unpacks and runs: build-win/dist/terso/ and build-win/terso-windows-x86_64.zip,
# and the installer made from the same folder, build-win/terso-windows-x86_64.msi.
# The toolchain, Wine and the libraries come from scripts/windows-deps.sh
# (built once into a cache folder and reused). BUILD_DIR overrides build-win.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${BUILD_DIR:-build-win}")
jobs=$(nproc)

prefix=$(bash scripts/windows-deps.sh | tail -n 1)
[ -d "$prefix/lib/cmake/Qt6" ] || { echo "no Qt in $prefix" >&2; exit 1; }
echo "== Dependencies in $prefix"

# Qt's own Polish texts come from Debian's translations package.
qm=/usr/share/qt6/translations/qtbase_pl.qm
if [ ! -f "$qm" ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y qt6-translations-l10n >&2
fi

# The readings plot uses Qt Charts when the prefix has it (its source is not
# always to be had), else it is painted directly.
charts=OFF
[ -d "$prefix/lib/cmake/Qt6Charts" ] && charts=ON

echo "== Cross build in $build (Qt Charts: $charts)"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/scripts/windows/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DTERSO_BENCH=OFF -DTERSO_QT_CHARTS=$charts "${launcher[@]}"
cmake --build "$build" -j"$jobs"

echo "== Folder and zip"
dist=$build/dist/terso
rm -rf "$build/dist"
mkdir -p "$dist/platforms" "$dist/styles" "$dist/translations"
# terso-run.exe is the console twin of terso.exe: runs without a window from
# cmd or PowerShell, where a window program has no console to write to.
cp "$build/terso.exe" "$build/terso-run.exe" "$build/terso-scale.exe" "$dist/"
cp "$prefix/plugins/platforms/qwindows.dll" "$dist/platforms/"
# The native look of buttons and dialogs.
if [ -f "$prefix/plugins/styles/qwindowsvistastyle.dll" ]; then
  cp "$prefix/plugins/styles/qwindowsvistastyle.dll" "$dist/styles/"
fi
cp "$qm" "$dist/translations/"
# Qt looks for its plugins and translations beside the program.
printf '[Paths]\nPrefix = .\nPlugins = .\nTranslations = translations\n' >"$dist/qt.conf"
# The "cport" catalogs, in the "locale" folder the program looks for beside itself.
(cd "$build" && find locale -name '*.mo' -exec cp --parents {} "$dist/" \;)
cp LICENSE "$dist/LICENSE.txt"
# The operators' guide, one HTML file with its pictures inside.
cp "$build/doc/instrukcja.html" "$dist/"

# Every DLL the programs and plugins load, found in the dependency prefix or
# the mingw runtime; what is in neither is Windows' own.
search=("$prefix/bin")
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  search+=("$(dirname "$(realpath "$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)")")")
done
queue=("$dist"/*.exe "$dist"/platforms/*.dll "$dist"/styles/*.dll)
declare -A seen=()
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  for name in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
    key=${name,,}
    [ -n "${seen[$key]:-}" ] && continue
    seen[$key]=1
    for dir in "${search[@]}"; do
      found=$(find "$dir" -maxdepth 1 -iname "$name" -print -quit)
      if [ -n "$found" ]; then
        cp "$found" "$dist/"
        queue+=("$dist/$(basename "$found")")
        break
      fi
    done
  done
done
x86_64-w64-mingw32-strip --strip-unneeded "$dist"/*.exe "$dist"/*.dll "$dist"/*/*.dll

zipfile=$build/terso-windows-x86_64.zip
rm -f "$zipfile"
(cd "$build/dist" && zip -q -r -9 "$zipfile" terso)
echo "== $zipfile: $(du -h "$zipfile" | cut -f1), unpacked $(du -sh "$dist" | cut -f1)"
(cd "$build/dist" && find terso -type f | sort)

echo "== Installer"
bash scripts/windows/msi.sh "$dist" "$build/terso-windows-x86_64.msi"
