#!/usr/bin/env bash
# Builds the Windows installer from a laid-out Windows folder with wixl:
#   bash scripts/windows/msi.sh DIST OUT.msi [VERSION]
# DIST is what scripts/windows.sh lays out (build-win/dist/terso); VERSION
# (x.y.z) is the project's unless given. The product code follows the version
# (the same code for the same version on every build, a new one for a new
# version); the upgrade code in packaging/windows/terso.wxs never changes, so
# a newer version's installer replaces an older one.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -ge 2 ] || { echo "usage: $0 DIST OUT.msi [VERSION]" >&2; exit 2; }
dist=$(realpath "$1")
out=$(realpath -m "$2")
version=${3:-$(sed -n 's/^project(terso VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")}
[[ $version =~ ^[0-9]{1,3}\.[0-9]{1,3}\.[0-9]{1,5}$ ]] || { echo "not an installer version: '$version'" >&2; exit 1; }
for f in terso.exe terso-scale.exe instrukcja.html; do
  [ -f "$dist/$f" ] || { echo "no $f in $dist" >&2; exit 1; }
done

wxs=$root/packaging/windows/terso.wxs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A name-based UUID of the version, in the upgrade code's namespace.
upgrade=$(sed -n 's/.*UpgradeCode="\([0-9A-Fa-f-]*\)".*/\1/p' "$wxs")
# shellcheck disable=SC2016  # ${code} is CMake's, not the shell's
printf 'string(UUID code NAMESPACE %s NAME "terso %s" TYPE SHA1 UPPER)\nmessage("${code}")\n' \
  "$upgrade" "$version" >"$work/code.cmake"
code=$(cmake -P "$work/code.cmake" 2>&1)

# The icon of the shortcut and of the entry in "Apps": the 64-pixel PNG
# inside an .ico (one image, stored as PNG, which Windows takes since Vista).
# shellcheck disable=SC2059  # the format is the four bytes, made just above
le32() { printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"; }
png=$root/packaging/terso-64.png
{
  printf '\x00\x00\x01\x00\x01\x00'              # an icon file with one image
  printf '\x40\x40\x00\x00\x01\x00\x20\x00'      # 64x64, 32 bits a pixel
  le32 "$(stat -c %s "$png")"
  le32 22                                        # the image follows the header
  cat "$png"
} >"$work/terso.ico"

# Every file of the folder but the two that the source names itself (the
# shortcuts point at them).
(cd "$dist" && find . -type f | LC_ALL=C sort |
  wixl-heat -p ./ --component-group Files --var var.SourceDir --directory-ref INSTALLDIR --win64 \
    -x terso.exe -x instrukcja.html) >"$work/files.wxs"

# wixl takes paths relative to the folder it runs in (absolute ones it
# cannot find, or crashes on for the output).
ln -s "$dist" "$work/dist"
cp "$wxs" "$work/terso.wxs"
(cd "$work" && wixl -a x64 -D Version="$version" -D ProductCode="$code" -D SourceDir=dist \
  -D IconFile=terso.ico -D Win64=yes -o terso.msi terso.wxs files.wxs)
# The summary's template names the package's language, which wixl leaves
# English: Polish (1045).
subject=$(msiinfo suminfo "$work/terso.msi" | sed -n 's/^Subject: //p')
msibuild "$work/terso.msi" -s "$subject" terso "x64;1045"
mv "$work/terso.msi" "$out"
echo "$out: terso $version, product code $code"
