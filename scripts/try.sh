#!/usr/bin/env bash
# Builds the terminal and the pretend scale and starts them wired together, so
# the terminal can be tried without a scale: a scratch program folder
# (build/try/) holds a copy of the terminal, a Kestrel.ini whose [Devices]
# section maps COM1 to the pretend scale's pty, and an orders file whose order
# 1 is "SI". F1 (or Ctrl+A) then gets weight lines back. The pretend scale
# stops when the terminal exits.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build="$(realpath -m -- "${TRY_BUILD_DIR:-build}")"  # build/ unless given
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target terso terso-scale -j"$(nproc)"

try="$build/try"
device="$try/ttyScale"
mkdir -p "$try"
# A copy, not a link: the terminal keeps its files beside the executable it
# was started from, and a symbolic link would lead it back to build/.
cp -f "$build/terso" "$try/terso.new"
mv -f "$try/terso.new" "$try/terso"

# COM1 -> the pty; the rest of an existing Kestrel.ini (the settings the
# terminal saved last time) is kept.
ini="$try/Kestrel.ini"
touch "$ini"
awk -v device="$device" '
  function header(line) { return line ~ /^[ \t]*\[[^]]*\][ \t\r]*$/ }
  header($0) {
    inDevices = (tolower($0) ~ /^[ \t]*\[devices\]/)
    print
    if (inDevices && !done) { print "COM1=" device; done = 1 }
    next
  }
  inDevices && tolower($0) ~ /^[ \t]*com1[ \t]*=/ { next }
  { print }
  END { if (!done) { print "[Devices]"; print "COM1=" device } }
' "$ini" > "$ini.new"
mv -f "$ini.new" "$ini"

# Order 1 sends "SI" once a second, ten times, on COM1; an orders file the
# operator already edited here is left alone.
if [ ! -e "$try/orders.xml" ]; then
  cat > "$try/orders.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<Rozkazy>
  <Rozkaz>
    <Rozkaz>SI</Rozkaz>
    <Czas>1</Czas>
    <Jedn.>s</Jedn.>
    <L.pom.>10</L.pom.>
    <COM>1</COM>
    <Prędkość>9600</Prędkość>
  </Rozkaz>
</Rozkazy>
XML
fi

rm -f "$device"
"$build/terso-scale" --link "$device" > /dev/null &
scale_pid=$!
trap 'kill "$scale_pid" 2>/dev/null || true; wait "$scale_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -L "$device" ] && break
  kill -0 "$scale_pid" 2>/dev/null || { echo "The pretend scale did not start." >&2; exit 1; }
  sleep 0.1
done
[ -L "$device" ] || { echo "The pretend scale did not make $device." >&2; exit 1; }

echo "Pretend scale on $device (COM1). Press F1 in the terminal to send \"SI\"."
source scripts/polish-locale.sh
cd "$try"
status=0
./terso "$@" || status=$?
exit "$status"
