#!/usr/bin/env bash
# Runs without a window, end to end: terso --run and terso-run against the
# pretend scale over a pty and over loopback TCP, with no display at all.
# Usage: headless-test.sh TERSO TERSO_RUN TERSO_SCALE
set -uo pipefail
terso=$1 tersoRun=$2 scaleBin=$3
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
expect() {  # expect WHAT ACTUAL WANTED
  [ "$2" = "$3" ] || fail "$1: got '$2', wanted '$3'"
}
# Waits, bounded, until a command succeeds (a process has written a file).
waitFor() {
  local i
  for ((i = 0; i < 200; i++)); do
    if eval "$1"; then return 0; fi
    sleep 0.05
  done
  fail "gave up waiting for: $1"
  return 1
}

# The program folder: both programs beside the serial settings, whose
# [Devices] maps COM1 to the pretend scale's pty.
prog=$work/prog
mkdir -p "$prog" "$work/run"
cp "$terso" "$tersoRun" "$prog/"
"$scaleBin" --link "$work/ttyScale" >/dev/null 2>"$work/pty.log" &
pids+=($!)
"$scaleBin" --tcp 0 >"$work/tcp.out" 2>"$work/tcp.log" &
pids+=($!)
waitFor "[ -e '$work/ttyScale' ] && [ -s '$work/tcp.out' ]"
tcpPort=$(grep -o '[0-9]\+' "$work/tcp.out" | tail -1)
printf '[Devices]\nCOM1=%s\n' "$work/ttyScale" >"$prog/Kestrel.ini"

# orders FILE LINK SPEED TIMES: a "file" order naming wagi.txt, then SI
# TIMES times 0.3 s apart on the link.
orders() {
  cat >"$1" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Rozkazy>
  <Rozkaz><Rozkaz>file</Rozkaz><Czas>0,1</Czas><Jedn.>s</Jedn.><L.pom.>1</L.pom.><COM>wagi.txt</COM></Rozkaz>
  <Rozkaz><Rozkaz>SI</Rozkaz><Czas>$5</Czas><Jedn.>s</Jedn.><L.pom.>$4</L.pom.><COM>$2</COM><Prędkość>$3</Prędkość></Rozkaz>
</Rozkazy>
XML
}
cd "$work/run" || exit 1

echo "== The window program over the pty: three readings, exit 0"
orders pty.xml 1 9600 3 0,3
"$prog/terso" --run pty.xml >out.csv 2>err.txt
expect "exit code" "$?" 0
expect "CSV lines" "$(wc -l <out.csv)" 4
expect "CSV title" "$(head -1 out.csv)" "Czas,Rozkaz,Przebieg,Wartość,Jednostka,Stan,Opóźnienie [ms],Tekst"
expect "reading rows" "$(grep -c '^[0-9-]* [0-9:.]*,2,1,[0-9.]*,g,stabilny,[0-9]*,S S  *[0-9.]* g$' out.csv)" 3
expect "capture rows" "$(grep -c '^S S .* g' wagi.txt)" 3
grep -q "zakończony (Odpowiedzi: 3 / 3 )" err.txt || fail "no end of the run on stderr: $(cat err.txt)"

echo "== The console program over TCP, quiet, into a CSV file"
orders tcp.xml 127.0.0.1 "$tcpPort" 3 0,3
rm -f wagi.txt
"$prog/terso-run" --run tcp.xml --csv readings.csv --quiet >out.txt 2>err.txt
expect "exit code" "$?" 0
expect "standard output" "$(wc -c <out.txt)" 0
expect "standard error" "$(cat err.txt)" ""
expect "CSV file rows ended by CR LF" "$(grep -c $'\r$' readings.csv)" 4
expect "capture rows" "$(grep -c '^S S .* g' wagi.txt)" 3

echo "== Ctrl+C mid-run: exit 1, every reply so far in the capture file"
orders long.xml 1 9600 100 0,2
rm -f wagi.txt
: >"$work/pty.log"
"$prog/terso-run" --run long.xml >out.csv 2>err.txt &
run=$!
waitFor "[ \$(grep -c . wagi.txt 2>/dev/null || echo 0) -ge 10 ]"
kill -INT "$run"
wait "$run"
expect "exit code" "$?" 1
sent=$(grep -c ' -> "S S' "$work/pty.log")
expect "capture rows" "$(grep -c '^S S .* g' wagi.txt)" "$sent"
expect "CSV rows" "$(($(wc -l <out.csv) - 1))" "$sent"
grep -q "przerwany" err.txt || fail "no interrupted run on stderr: $(cat err.txt)"

echo "== A bad order parameter stops the run: exit 1"
orders bad.xml 1 9600 x 0,3
"$prog/terso-run" --run bad.xml >/dev/null 2>err.txt
expect "exit code" "$?" 1
grep -q "Niepoprawna wartość parametru rozkazu nr 2" err.txt || fail "no reason on stderr: $(cat err.txt)"

echo "== The readings also to an MQTT broker (--mqtt, --station)"
if command -v mosquitto >/dev/null && command -v mosquitto_sub >/dev/null; then
  # A port no one listens on, for a broker of this test.
  for ((port = 20000 + RANDOM % 20000; ; port++)); do
    (: </dev/tcp/127.0.0.1/$port) 2>/dev/null || break
  done
  mosquitto -v -p "$port" >"$work/broker.log" 2>&1 &
  pids+=($!)
  waitFor "grep -qs 'listen socket on port $port' '$work/broker.log'"
  mosquitto_sub -p "$port" -t 'plant/#' -v >mqtt.txt 2>&1 &
  pids+=($!)
  waitFor "grep -qs 'SUBSCRIBE' '$work/broker.log'"
  # A journal of its own: only this run's readings go.
  mkdir -p "$work/prog2"
  cp "$prog/terso-run" "$prog/Kestrel.ini" "$work/prog2/"
  "$work/prog2/terso-run" --run pty.xml --quiet --mqtt "mqtt://127.0.0.1:$port/plant" --station waga1 \
    >out.csv 2>err.txt
  expect "exit code" "$?" 0
  waitFor "grep -q '^plant/waga1/status offline' mqtt.txt"
  expect "readings published" "$(grep -c '^plant/waga1/readings {.*"order":2,' mqtt.txt)" 3
  expect "CSV rows" "$(($(wc -l <out.csv) - 1))" 3
else
  echo "SKIPPED: The readings also to an MQTT broker (no mosquitto here)"
fi

echo "== Wrong command lines and unreadable orders files: exit 2, one line"
for args in "--bogus" "--run" "--csv x.csv" "--run pty.xml extra" "--run missing.xml" "--run $work" \
  "--run pty.xml --mqtt http://x/p --station s" "--run pty.xml --mqtt mqtt://127.0.0.1/p" "--run pty.xml --station s"; do
  for program in terso terso-run; do
    # shellcheck disable=SC2086
    "$prog/$program" $args >out.txt 2>err.txt
    expect "$program $args: exit code" "$?" 2
    expect "$program $args: lines on stderr" "$(wc -l <err.txt)" 1
    expect "$program $args: standard output" "$(wc -c <out.txt)" 0
  done
done
expect "terso --version" "$("$prog/terso" --version)" "terso $("$prog/terso-run" --version | cut -d' ' -f2)"
# Qt's own options belong to the window program, the console one knows none.
expect "terso with Qt's options" "$("$prog/terso" -platform offscreen -style=fusion -reverse --version)" \
  "$("$prog/terso" --version)"
"$prog/terso-run" -platform offscreen --version >out.txt 2>err.txt
expect "terso-run -platform: exit code" "$?" 2
"$prog/terso" --help | grep -q -- "--run PLIK" || fail "terso --help tells of no --run"
[ ! -e "$prog/config.xml" ] || fail "a run wrote config.xml"

[ "$failures" -eq 0 ] || { echo "$failures failed" >&2; exit 1; }
echo "All headless runs passed."
