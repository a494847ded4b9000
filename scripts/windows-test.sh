#!/usr/bin/env bash
# Runs the Windows build (scripts/windows.sh) under Wine: the test binaries
# through ctest, serial tests on pty pairs that the Wine prefix sees as COM
# ports, then a smoke run of the zip's terso.exe in Xvfb with the Windows
# platform plugin against the zip's terso-scale.exe. BUILD_DIR overrides
# build-win. The Wine prefix is the build's own (build-win/wine), never ~/.wine.
# TESTS=regex runs only the tests whose names match, and no smoke run
# (TESTS=smoke: the smoke run alone);
# SCREEN=1024x768 gives the virtual display (and the maximized window) another size.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${BUILD_DIR:-build-win}")
[ -f "$build/dist/terso/terso.exe" ] || { echo "no Windows build in $build: run scripts/windows.sh" >&2; exit 1; }

need=()
for tool in Xvfb:xvfb xdotool:xdotool socat:socat mosquitto:mosquitto mosquitto_sub:mosquitto-clients; do
  command -v "${tool%%:*}" >/dev/null || need+=("${tool#*:}")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y "${need[@]}" >&2
fi

export WINEPREFIX=$build/wine
export WINEDEBUG=-all,err+module
# No .NET or HTML engine wanted: Wine does not offer to install them.
export WINEDLLOVERRIDES="mscoree,mshtml="
run=$build/wine-run
rm -rf "$run"
mkdir -p "$run"
started=()
cleanup() {
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

# The window tests and the smoke run show their windows on a virtual display,
# which Wine (started next) uses from its start.
Xvfb -displayfd 3 -screen 0 "${SCREEN:-1280x1024}x24" -nolisten tcp 3>"$run/display" 2>"$run/xvfb.log" &
started+=($!)
for _ in $(seq 100); do
  [ -s "$run/display" ] && break
  sleep 0.1
done
[ -s "$run/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(cat "$run/display")

# One server for the whole run, and Wine's services started once: each test
# program then starts in a fraction of a second instead of three. Their
# output goes to /dev/null, or ctest waits on the pipe they keep open.
# (The server comes first: one started by wineboot would not stay.)
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 || true
[ -f "$WINEPREFIX/system.reg" ] || wine wineboot --init >/dev/null 2>&1
wine wineboot >/dev/null 2>&1
# There is no window manager: Wine places and maximizes the windows itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# A null-modem pair: two ptys joined by socat, seen by Wine as two COM ports.
com_pair() {
  local a=$1 b=$2
  socat pty,raw,echo=0,link="$run/$a" pty,raw,echo=0,link="$run/$b" >/dev/null 2>&1 &
  started+=($!)
  for _ in $(seq 100); do
    [ -e "$run/$a" ] && [ -e "$run/$b" ] && break
    sleep 0.05
  done
  ln -sfn "$run/$a" "$WINEPREFIX/dosdevices/${a,,}"
  ln -sfn "$run/$b" "$WINEPREFIX/dosdevices/${b,,}"
}

echo "== Tests under Wine"
com_pair COM5 COM6
com_pair COM7 COM8
export TERSO_TEST_COM_PAIRS=COM5:COM6,COM7:COM8
# One test at a time: the serial tests share the COM pairs. A test that
# fails is run once more: Wine now and then ends a test program at its start
# with no output at all (seen once in a full run, where the same test passed
# before and after); a test that fails twice fails the run.
if [ "${TESTS:-}" != smoke ]; then
  ctest --test-dir "$build" --output-on-failure --repeat until-pass:2 ${TESTS:+-R "$TESTS"}
  [ -n "${TESTS:-}" ] && exit 0
fi

echo "== Smoke run of terso.exe"
fail() {
  echo "smoke run: $*" >&2
  for log in "$run"/*.log; do echo "--- $log" >&2; tail -n 20 "$log" >&2; done
  exit 1
}
source scripts/windows/close-window.sh
# A copy of the unpacked zip, so the settings it writes start from nothing.
smoke=$run/terso
cp -r "$build/dist/terso" "$smoke"
# The terminal opens its default port, COM1; the pretend scale answers on COM2.
com_pair COM1 COM2
wine "$smoke/terso-scale.exe" --com COM2 >"$run/scale.out" 2>"$run/scale.log" &
started+=($!)

(cd "$smoke" && exec wine terso.exe -platform windows) >"$run/terso.log" 2>&1 &
terso=$!
title="Komunikacja przez złącze szeregowe RS-232 v9E"
# xdotool ends with an X error when a window it looks at is destroyed under
# it (Wine makes and drops short-lived windows while the program starts), so
# the search is one short look at a time, repeated.
find_window() {
  xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1 || true
}
# Sets window once terso.exe (pid $1) shows its main window.
wait_for_window() {
  window=
  for _ in $(seq 600); do
    window=$(find_window)
    [ -n "$window" ] && return
    kill -0 "$1" 2>/dev/null || fail "terso.exe ended before showing its window"
    sleep 0.1
  done
  fail "no window titled \"$title\""
}
wait_for_window "$terso"
[ "$(xdotool getwindowname "$window")" = "$title" ] || fail "the title is \"$(xdotool getwindowname "$window")\""
echo "window shown: $title"

# "SI" typed into the send line and sent with Enter, which opens the port
# first. The window lays the send line out from its own size and place: its
# top is 3/4 of the window's height below the window's top, plus the title
# bar and the menu (39 pixels under Wine); its left a twentieth of the width
# in, 70% of the width wide. The size is read once it has kept still for
# most of a second.
sleep 1
geometry=
same=0
for _ in $(seq 100); do
  window=$(find_window)
  now=$window:$(xdotool getwindowgeometry --shell "$window" 2>/dev/null | tr '\n' ' ')
  if [ "$now" = "$geometry" ]; then same=$((same + 1)); else same=0; fi
  [ "$same" -ge 4 ] && break
  geometry=$now
  sleep 0.2
done
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "${WIDTH:-0}" -ge 400 ] && [ "${HEIGHT:-0}" -ge 300 ] || fail "the window is ${WIDTH:-?}x${HEIGHT:-?}"
sendX=$((WIDTH * 5 / 100 + WIDTH * 7 / 20))
sendY=$((Y + HEIGHT * 3 / 4 + 39))
echo "window ${WIDTH}x${HEIGHT} at ${X},${Y}: the send line at ${sendX},${sendY}"
sleep 0.5
xdotool mousemove --window "$window" "$sendX" "$sendY" click 1
sleep 0.5
xdotool type --delay 30 SI
xdotool key Return
for _ in $(seq 100); do
  grep -q '"SI" -> "S S' "$run/scale.log" && break
  sleep 0.1
done
grep -q '"SI" -> "S S' "$run/scale.log" || fail "the pretend scale got no \"SI\""
echo "sent: SI"

# Both panes, saved with "Zapisz wszystko" (Ctrl+S) through the save dialog:
# the weight line in the ASCII pane, its bytes in the HEX pane.
sleep 1
xdotool key ctrl+s
sleep 2
xdotool type --delay 20 "$(winepath -w "$run/panes.txt")"
xdotool key Return
for _ in $(seq 100); do
  [ -s "$run/panes.txt" ] && break
  sleep 0.1
done
tr -d '\r' <"$run/panes.txt" >"$run/panes.lf" 2>/dev/null || fail "the panes were not saved"
sed -n 1p "$run/panes.lf" | grep -Eq '^S S +[0-9]+\.[0-9]{2} g$' || fail "no weight line in the ASCII pane"
sed -n '/^Podzial okien$/,$p' "$run/panes.lf" | grep -q '^53 20 53 20 ' || fail "no weight line in the HEX pane"
echo "reply in both panes: $(sed -n 1p "$run/panes.lf")"

# The close box (Alt+F4) ends the program, which saves its settings.
close_with_close_box "$terso"
grep -q "<TersoConfig" "$smoke/config.xml" || fail "no config.xml written"
grep -q "^Port=COM1" "$smoke/Kestrel.ini" || fail "no Kestrel.ini written"
echo "closed: exit code 0, config.xml and Kestrel.ini written"

# A run without a window from the console program, against the same pretend
# scale on COM2: an orders file of ten "SI" 0.3 s apart and a capture file,
# ended by Ctrl+C (SIGINT, which Wine gives the program as its console's
# Ctrl+C) after about two seconds: exit code 1, and every reply that came in
# both the capture file and the CSV on standard output.
cat >"$smoke/orders.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Rozkazy>
  <Rozkaz><Rozkaz>file</Rozkaz><Czas>0,1</Czas><Jedn.>s</Jedn.><L.pom.>1</L.pom.><COM>wagi.txt</COM></Rozkaz>
  <Rozkaz><Rozkaz>SI</Rozkaz><Czas>0,3</Czas><Jedn.>s</Jedn.><L.pom.>100</L.pom.><COM>1</COM><Prędkość>9600</Prędkość></Rozkaz>
</Rozkazy>
XML
(cd "$smoke" && exec wine terso-run.exe --run orders.xml) >"$run/run.csv" 2>"$run/run.log" &
headless=$!
for _ in $(seq 100); do
  [ "$(wc -l <"$run/run.csv")" -ge 5 ] && break
  sleep 0.1
done
pkill -INT -f "terso-run.exe --run" || true
code=0
wait "$headless" || code=$?
[ "$code" -eq 1 ] || fail "terso-run.exe ended with $code after Ctrl+C, not 1"
replies=$(($(wc -l <"$run/run.csv") - 1))
[ "$replies" -ge 4 ] || fail "terso-run.exe gave $replies readings"
[ "$(tr -d '\r' <"$smoke/wagi.txt" | grep -Ec '^S S +[0-9]+\.[0-9]{2} g$')" -eq "$replies" ] ||
  fail "the capture file does not hold the $replies replies of the CSV"
grep -q "przerwany" "$run/run.log" || fail "terso-run.exe did not say the run stopped"
echo "run without a window: $replies readings, stopped by Ctrl+C with exit code 1"

# The same console program as a plant's station: five "SI" through the
# pretend scale, each reading published to a broker on this machine (the
# Linux one: Wine's programs reach 127.0.0.1), the status "online" first and
# "offline" last. A folder of its own: the readings journaled by the run
# above were never published and would go out too.
for ((port = 20000 + RANDOM % 20000; ; port++)); do
  (: </dev/tcp/127.0.0.1/$port) 2>/dev/null || break
done
printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$port" >"$run/broker.conf"
mosquitto -v -c "$run/broker.conf" >"$run/broker.log" 2>&1 &
started+=($!)
for _ in $(seq 100); do
  grep -qs "listen socket on port $port" "$run/broker.log" && break
  sleep 0.1
done
mosquitto_sub -p "$port" -h 127.0.0.1 -t 'plant/#' -v >"$run/mqtt.txt" 2>&1 &
started+=($!)
for _ in $(seq 100); do
  grep -qs SUBSCRIBE "$run/broker.log" && break
  sleep 0.1
done
station=$run/station
cp -r "$build/dist/terso" "$station"
cat >"$station/orders.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Rozkazy>
  <Rozkaz><Rozkaz>SI</Rozkaz><Czas>0,3</Czas><Jedn.>s</Jedn.><L.pom.>5</L.pom.><COM>1</COM><Prędkość>9600</Prędkość></Rozkaz>
</Rozkazy>
XML
code=0
(cd "$station" && wine terso-run.exe --run orders.xml --quiet --mqtt "mqtt://127.0.0.1:$port/plant" --station st1) \
  >"$run/station.csv" 2>"$run/station.log" || code=$?
[ "$code" -eq 0 ] || fail "terso-run.exe --mqtt ended with $code: $(cat "$run/station.log")"
for _ in $(seq 100); do
  grep -q '^plant/st1/status offline' "$run/mqtt.txt" && break
  sleep 0.1
done
published=$(grep -Ec '^plant/st1/readings \{.*"value":[0-9]' "$run/mqtt.txt" || true)
[ "$published" -eq 5 ] || fail "$published readings with a value published, not 5: $(cat "$run/mqtt.txt")"
[ "$(grep -E '^plant/st1/status' "$run/mqtt.txt" | cut -d' ' -f2 | tr '\n' ' ')" = "online offline " ] ||
  fail "the status was not \"online\" then \"offline\": $(cat "$run/mqtt.txt")"
echo "station without a window: 5 readings published to the broker, online then offline"

# The end of the Windows session: the window runs an automatic measurement of
# "SI" every 0.1 s in fast-write mode (a "file" order names the capture file;
# fast write on in config.xml; Ctrl+A starts the run) when the session ends
# (wineboot --end-session sends WM_QUERYENDSESSION and WM_ENDSESSION, then
# ends what is left). Fast write holds up to a second of replies in memory:
# only an end that flushes it leaves every reply the scale sent in the file.
cat >"$smoke/config.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<TersoConfig><Options><OrdersFileName>$(winepath -w "$smoke/ending.xml")</OrdersFileName><FastWrite>Yes</FastWrite></Options></TersoConfig>
XML
cat >"$smoke/ending.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Rozkazy>
  <Rozkaz><Rozkaz>file</Rozkaz><Czas>0,1</Czas><Jedn.>s</Jedn.><L.pom.>1</L.pom.><COM>koniec.txt</COM></Rozkaz>
  <Rozkaz><Rozkaz>SI</Rozkaz><Czas>0,1</Czas><Jedn.>s</Jedn.><L.pom.>10000</L.pom.><COM>1</COM><Prędkość>9600</Prędkość></Rozkaz>
</Rozkazy>
XML
answeredBefore=$(grep -c '"SI" -> "S S' "$run/scale.log" || true)
answered() { echo $(($(grep -c '"SI" -> "S S' "$run/scale.log" || true) - answeredBefore)); }
(cd "$smoke" && exec wine terso.exe -platform windows) >"$run/ending.log" 2>&1 &
terso=$!
# Wine kills what is left of the session: no job report of that.
disown "$terso"
wait_for_window "$terso"
sleep 1
for _ in 1 2 3; do
  xdotool windowactivate --sync "$window" 2>/dev/null || true
  xdotool key ctrl+a
  for _ in $(seq 30); do
    [ "$(answered)" -gt 0 ] && break 2
    sleep 0.1
  done
done
[ "$(answered)" -gt 0 ] || fail "Ctrl+A started no automatic measurement"
sleep 2.5
wine wineboot --end-session >/dev/null 2>&1 || true
for _ in $(seq 100); do
  kill -0 "$terso" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$terso" 2>/dev/null && fail "terso.exe still runs after the session ended"
sent=$(answered)
kept=$(tr -d '\r' <"$smoke/koniec.txt" 2>/dev/null | grep -Ec '^S S +[0-9]+\.[0-9]{2} g$' || true)
[ "$sent" -ge 15 ] || fail "only $sent replies before the session ended"
# (A reply the scale sent as the session ended may not have been read.)
[ "$kept" -ge $((sent - 1)) ] && [ "$kept" -le "$sent" ] ||
  fail "the session's end left $kept of the $sent replies in the fast-write capture file"
echo "session end: $kept of the $sent replies of the running measurement in the fast-write capture file"

# ---------------------------------------------------------------------------
# The installer: installed, started, upgraded and removed in a fresh Wine
# prefix of its own (scripts/windows-msi-test.sh, which also runs alone).
if [ "${TESTS:-}" != smoke ]; then
  echo "== The installer"
  bash scripts/windows-msi-test.sh
fi
