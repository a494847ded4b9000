#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine with dpkg -i and
# apt-get install -f, checks the installed files, and starts the installed
# terminal under a virtual X server with a window manager: once closed with
# Alt+F4 (it must exit with status 0) and once killed with SIGTERM (it must be
# gone at once). Installs system-wide and leaves the package installed
# (remove it with `apt-get remove terso`); run as root or with sudo. Not a CI
# test. PACKAGE_BUILD_DIR chooses the build folder (build-package/ by default).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
tools=(dpkg-dev pandoc xvfb xauth openbox xdotool)
missing=()
for p in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get update
  "${sudo_cmd[@]}" apt-get install -y "${missing[@]}"
fi

build="$(realpath -m -- "${PACKAGE_BUILD_DIR:-build-package}")"
# Only the two programs are built: installing must not wait for the tests.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DTERSO_BENCH=OFF
cmake --build "$build" --target terso terso-run terso-scale -j"$(nproc)"
rm -f "$build"/terso_*.deb
(cd "$build" && cpack -G DEB)
deb="$(ls "$build"/terso_*.deb)"
echo "== $deb"
dpkg-deb --field "$deb"
dpkg-deb --contents "$deb"

echo "== install"
"${sudo_cmd[@]}" dpkg -i "$deb" || "${sudo_cmd[@]}" apt-get install -f -y
"${sudo_cmd[@]}" apt-get install -f -y
dpkg-query -W -f='${Status}\n' terso | grep -q "install ok installed" || { echo "terso is not installed" >&2; exit 1; }
for f in /usr/bin/terso /usr/bin/terso-run /usr/bin/terso-scale /usr/share/applications/terso.desktop \
  /usr/share/icons/hicolor/scalable/apps/terso.svg /usr/share/icons/hicolor/64x64/apps/terso.png \
  /usr/share/doc/terso/copyright /usr/share/doc/terso/instrukcja.html; do
  [ -e "$f" ] || { echo "missing: $f" >&2; exit 1; }
done
[ -f /usr/share/locale/pl/LC_MESSAGES/cport.mo ] || { echo "missing: the Polish serial texts" >&2; exit 1; }
if command -v desktop-file-validate > /dev/null; then desktop-file-validate /usr/share/applications/terso.desktop; fi

# The installed terminal keeps its files in $XDG_CONFIG_HOME/terso, never
# beside /usr/bin/terso: a scratch one here.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME="$scratch/config"

echo "== start and close"
cat > "$scratch/run.sh" <<'RUN'
set -u
openbox > /dev/null 2>&1 &
wm=$!
sleep 1
/usr/bin/terso > "$SCRATCH/terso.log" 2>&1 &
app=$!
# The main window must appear.
win=""
for _ in $(seq 50); do
  win="$(xdotool search --pid "$app" --onlyvisible 2> /dev/null | head -1)" && [ -n "$win" ] && break
  sleep 0.2
done
[ -n "$win" ] || { echo "no window"; kill "$app"; kill "$wm"; exit 1; }
sleep 2
kill -0 "$app" || { echo "terso died"; kill "$wm"; exit 1; }
case "$MODE" in
  close) xdotool windowactivate --sync "$win" key --clearmodifiers alt+F4 ;;
  kill) kill -TERM "$app" ;;
esac
status=""
for _ in $(seq 50); do
  if ! kill -0 "$app" 2> /dev/null; then wait "$app"; status=$?; break; fi
  sleep 0.1
done
kill "$wm" 2> /dev/null
[ -n "$status" ] || { echo "terso did not exit"; kill -9 "$app"; exit 1; }
echo "exit status $status"
case "$MODE" in
  close) [ "$status" -eq 0 ] ;;
  kill) [ "$status" -eq 143 ] ;;
esac
RUN
for mode in close kill; do
  SCRATCH="$scratch" MODE="$mode" xvfb-run -a -s "-screen 0 1280x900x24" bash "$scratch/run.sh" \
    || { echo "FAILED: $mode" >&2; cat "$scratch/terso.log" >&2; exit 1; }
  echo "$mode: ok"
done
[ ! -e /usr/bin/config.xml ] || { echo "settings written beside /usr/bin/terso" >&2; exit 1; }
ls "$XDG_CONFIG_HOME/terso"
echo "package test: ok"
