#!/usr/bin/env bash
# Tests the Windows installer (scripts/windows.sh makes
# build-win/terso-windows-x86_64.msi) under Wine, in a Wine prefix of its own
# made fresh (build-win/wine-msi), as on a PC that never had terso:
# - msiexec /i /qn installs the program folder, the Start menu shortcuts and
#   the entry that removes it;
# - the installed terso.exe shows its window, sends order 1 of the orders file
#   it finds in %APPDATA%\terso to the installed pretend scale on a COM pair,
#   and on closing writes its settings there, nothing beside itself;
# - the next version's installer (made here from the same folder) replaces
#   the program and keeps the user's settings;
# - msiexec /x /qn removes the program folder, the shortcuts and the entry,
#   and leaves the user's settings.
# scripts/windows-test.sh runs it last; it also runs alone. BUILD_DIR
# overrides build-win.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${BUILD_DIR:-build-win}")
msi=$build/terso-windows-x86_64.msi
[ -f "$msi" ] || { echo "no installer in $build: run scripts/windows.sh" >&2; exit 1; }

need=()
for tool in Xvfb:xvfb xdotool:xdotool socat:socat wixl:wixl msiinfo:msitools; do
  command -v "${tool%%:*}" >/dev/null || need+=("${tool#*:}")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y "${need[@]}" >&2
fi

export WINEPREFIX=$build/wine-msi
export WINEDEBUG=-all,err+module
# No .NET or HTML engine, and no menu entries on this machine for the
# shortcuts the installer makes inside the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
run=$build/wine-msi-run
rm -rf "$WINEPREFIX" "$run"
mkdir -p "$WINEPREFIX" "$run"
started=()
cleanup() {
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "installer test: $*" >&2
  for log in "$run"/*.log; do
    [ -s "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
  done
  exit 1
}
source scripts/windows/close-window.sh

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$run/display" 2>"$run/xvfb.log" &
started+=($!)
for _ in $(seq 100); do
  [ -s "$run/display" ] && break
  sleep 0.1
done
[ -s "$run/display" ] || fail "Xvfb did not start"
DISPLAY=:$(cat "$run/display")
export DISPLAY

wineserver -p >/dev/null 2>&1 || true
wine wineboot --init >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

drive=$WINEPREFIX/drive_c
program=$drive/Program\ Files/terso
windows_path() { wine cmd /c echo "$1" 2>/dev/null | tr -d '\r'; }
settings=$(winepath -u "$(windows_path '%APPDATA%')")/terso
# Per machine on Windows the shortcuts go to the common Start menu; Wine
# puts them in the user's.
shortcut() {
  find "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/terso" \
    "$(winepath -u "$(windows_path '%APPDATA%')")/Microsoft/Windows/Start Menu/Programs/terso" \
    -name "$1" 2>/dev/null | head -n 1
}
product_code() { msiinfo export "$1" Property | sed -n 's/^ProductCode\t//p' | tr -d '\r'; }
uninstall_entry() {
  wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" /v DisplayName 2>/dev/null |
    tr -d '\r' | grep -q 'terso'
}
msiexec_quiet() {
  local status=0
  wine msiexec "$1" "$(winepath -w "$2")" /qn /l*v "$(winepath -w "$run/msiexec-${1#/}-$(basename "$2").txt")" \
    >"$run/msiexec.log" 2>&1 || status=$?
  [ "$status" -eq 0 ] || fail "msiexec $1 $(basename "$2") ended with $status"
}

echo "== Install: $(basename "$msi")"
msiexec_quiet /i "$msi"
for f in terso.exe terso-scale.exe instrukcja.html qt.conf platforms/qwindows.dll; do
  [ -f "$program/$f" ] || fail "not installed: Program Files/terso/$f"
done
for lnk in terso.lnk Instrukcja.lnk; do
  [ -n "$(shortcut "$lnk")" ] || fail "no Start menu shortcut $lnk"
done
code=$(product_code "$msi")
uninstall_entry "$code" || fail "no entry to remove terso ($code)"
echo "installed: Program Files/terso, the shortcuts terso and Instrukcja, the entry $code"

# Order 1 sends SI to COM1, where the installed pretend scale answers (COM2).
mkdir -p "$settings"
cat >"$settings/orders.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<Rozkazy>
  <Rozkaz>
    <Rozkaz>SI</Rozkaz><Czas>1</Czas><Jedn.>s</Jedn.><L.pom.>1</L.pom.>
    <COM>1</COM><Prędkość>9600</Prędkość>
  </Rozkaz>
</Rozkazy>
XML
socat pty,raw,echo=0,link="$run/COM1" pty,raw,echo=0,link="$run/COM2" >/dev/null 2>&1 &
started+=($!)
for _ in $(seq 100); do
  [ -e "$run/COM1" ] && [ -e "$run/COM2" ] && break
  sleep 0.05
done
ln -sfn "$run/COM1" "$WINEPREFIX/dosdevices/com1"
ln -sfn "$run/COM2" "$WINEPREFIX/dosdevices/com2"
wine "$program/terso-scale.exe" --com COM2 >"$run/scale.out" 2>"$run/scale.log" &
scale=$!
started+=("$scale")

echo "== The installed terso.exe"
# Started in a scratch folder: Wine links the user's documents to $HOME.
(cd "$run" && exec wine 'C:\Program Files\terso\terso.exe' -platform windows) >"$run/terso.log" 2>&1 &
terso=$!
title="Komunikacja przez złącze szeregowe RS-232 v9E"
window=
for _ in $(seq 600); do
  window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 "$terso" 2>/dev/null || fail "terso.exe ended before showing its window"
  sleep 0.1
done
[ -n "$window" ] || fail "no window titled \"$title\""
echo "window shown: $title"

# A click into the ASCII pane gives the window the keys; F1 sends order 1.
sleep 2
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" $((WIDTH / 5)) $((HEIGHT / 3)) click 1
sleep 0.5
xdotool key F1
for _ in $(seq 100); do
  grep -q '"SI" -> "S S' "$run/scale.log" && break
  sleep 0.1
done
grep -q '"SI" -> "S S' "$run/scale.log" || fail "the pretend scale got no \"SI\" from order 1 (F1)"
echo "order 1 sent: SI, answered by the installed terso-scale.exe"

close_with_close_box "$terso"
grep -q "<TersoConfig" "$settings/config.xml" 2>/dev/null || fail "no config.xml in AppData/Roaming/terso"
grep -q "^Port=COM1" "$settings/Kestrel.ini" 2>/dev/null || fail "no Kestrel.ini in AppData/Roaming/terso"
for f in config.xml Kestrel.ini orders.xml; do
  [ ! -e "$program/$f" ] || fail "$f written beside the installed program"
done
echo "closed: config.xml and Kestrel.ini in AppData/Roaming/terso, nothing in Program Files"
# Nothing of the program may run while it is replaced or removed.
kill "$scale"
wait "$scale" 2>/dev/null || true
cp -r "$settings" "$run/settings-before"

# The next version: the same folder under the next patch number, with the
# product code that version gets.
version=$(sed -n 's/^project(terso VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
next=${version%.*}.$((${version##*.} + 1))
next_msi=$run/terso-$next.msi
bash scripts/windows/msi.sh "$build/dist/terso" "$next_msi" "$next" >"$run/msi.log" 2>&1 || fail "no installer for $next"
next_code=$(product_code "$next_msi")
[ "$next_code" != "$code" ] || fail "version $next has the product code of $version"

echo "== Upgrade to $next"
msiexec_quiet /i "$next_msi"
uninstall_entry "$next_code" || fail "no entry for $next ($next_code)"
uninstall_entry "$code" && fail "$version is still installed beside $next"
[ -f "$program/terso.exe" ] || fail "no terso.exe after the upgrade"
diff -r "$run/settings-before" "$settings" >/dev/null || fail "the upgrade changed the user's settings"
echo "upgraded: $version replaced by $next, the user's settings as they were"

echo "== Remove"
msiexec_quiet /x "$next_msi"
[ ! -e "$program" ] || fail "Program Files/terso is still there: $(cd "$program" && find . | head)"
for lnk in terso.lnk Instrukcja.lnk; do
  [ -z "$(shortcut "$lnk")" ] || fail "the shortcut $lnk is still there"
done
uninstall_entry "$next_code" && fail "the entry to remove terso is still there"
diff -r "$run/settings-before" "$settings" >/dev/null || fail "removing terso changed the user's settings"
echo "removed: the program folder, the shortcuts and the entry; the user's settings kept"
