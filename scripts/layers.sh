#!/usr/bin/env bash
# Checks the layers of src/: a folder includes only from itself and from the
# folders below it, and Qt's headers appear only in the Qt parts
# (src/ui/qt, src/platform/qt) and in main.cpp, which also stands above every
# folder. The tests of a folder
# (tests/automatic for src/automatic, ...) include from no folder above it
# either, besides the shared helpers in tests/support. Prints every include
# that breaks a rule and fails when there is one. Part of the test command.
set -euo pipefail
cd "$(dirname "$0")/../src"

# From the bottom up; folders on one line are peers and include neither
# each other. platform/posix and platform/win32 are the platform folder.
layers=(
  "platform"
  "platform/qt"
  "ui"
  "ui/qt"
  "serial ethernet"
  "readings"
  "config"
  "automatic"
  "headless"
  "app"
)
rank_of() {
  local folder=$1 i
  case $folder in platform/posix | platform/win32) folder=platform ;; esac
  for i in "${!layers[@]}"; do
    for f in ${layers[i]}; do
      if [ "$f" = "$folder" ]; then
        echo "$i $f"
        return
      fi
    done
  done
  echo "? $folder"
}

broken=0
while IFS= read -r -d '' file; do
  folder=$(dirname "$file")
  read -r own ownName < <(rank_of "$folder")
  if [ "$own" = "?" ]; then
    echo "$file: the folder $folder is in no layer (add it to scripts/layers.sh)"
    broken=1
    continue
  fi
  while IFS= read -r line; do
    included=${line#*\"}
    included=${included%%\"*}
    [[ $included == */* ]] || continue
    read -r theirs theirName < <(rank_of "$(dirname "$included")")
    if [ "$theirs" = "?" ] || [ "$theirs" -gt "$own" ] || { [ "$theirs" -eq "$own" ] && [ "$theirName" != "$ownName" ]; }; then
      echo "$file includes \"$included\" from above its layer"
      broken=1
    fi
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
  case $folder in ui/qt | platform/qt) ;;
    *)
      if [ "$file" != app/main.cpp ] && grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$file"; then
        echo "$file includes a Qt header outside the Qt parts"
        broken=1
      fi
      ;;
  esac
done < <(find . \( -name '*.h' -o -name '*.cpp' \) -print0 | sed -z 's|^\./||')

# The tests of a layer's folder: "support/..." is theirs; any other folder
# (of src, or the fixtures of another folder's tests) must not be above.
for folder in platform ui serial ethernet readings config automatic app; do
  read -r own ownName < <(rank_of "$folder")
  while IFS= read -r -d '' file; do
    while IFS= read -r line; do
      included=${line#*\"}
      included=${included%%\"*}
      [[ $included == */* && $included != support/* ]] || continue
      read -r theirs theirName < <(rank_of "$(dirname "$included")")
      if [ "$theirs" = "?" ] || [ "$theirs" -gt "$own" ] || { [ "$theirs" -eq "$own" ] && [ "$theirName" != "$ownName" ]; }; then
        echo "tests/$file includes \"$included\" from above its layer"
        broken=1
      fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "../tests/$file" || true)
  done < <(cd ../tests && find "$folder" -maxdepth 1 \( -name '*.h' -o -name '*.cpp' \) -print0)
done

if [ "$broken" -ne 0 ]; then
  echo "The layers of src/ are broken (see above)." >&2
  exit 1
fi
echo "The layers of src/ hold."
