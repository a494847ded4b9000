# Sourced by the Windows smoke run and the installer test: closes terso.exe
# with its close box (Alt+F4) and waits, bounded, for it to end with exit
# code 0. Needs the caller's fail function; $1 is the program's process id.
close_with_close_box() {
  local pid=$1 status=0
  xdotool key alt+F4
  for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "terso.exe is still running 30 s after the close box"
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "terso.exe exited with $status"
}
