#!/usr/bin/env bash
# The long-run check: an automatic measurement at 10 orders a second against
# the pretend scale for MINUTES minutes (default 30), with the driver's
# resident memory, open descriptors and threads sampled every minute. Passes
# when none of them grew after the first minute and every reply the scale sent
# is a line of the capture file. The driver clears the panes at every sample,
# as their text is kept until the operator clears them.
#
#   scripts/longrun.sh [minutes]
# Environment: BUILD_DIR (default build), SAMPLE_SECONDS (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
build=${BUILD_DIR:-build}
sample=${SAMPLE_SECONDS:-60}
if ! [[ $minutes =~ ^[0-9]+$ ]] || ((minutes < 2)); then
  echo "usage: scripts/longrun.sh [minutes, at least 2]" >&2
  exit 2
fi
if [[ ! -x $build/terso-scale || ! -x $build/bench/long_run ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target terso-scale long_run -j2
fi

work=$(mktemp -d)
scale_pid=
driver_pid=
cleanup() {
  [[ -n $driver_pid ]] && kill "$driver_pid" 2>/dev/null || true
  [[ -n $scale_pid ]] && kill "$scale_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The pretend scale logs each order it answers on stderr.
"$build/terso-scale" >"$work/scale.out" 2>"$work/scale.log" &
scale_pid=$!
for _ in $(seq 100); do [[ -s $work/scale.out ]] && break; sleep 0.1; done
device=$(head -n1 "$work/scale.out")
[[ -n $device ]] || { echo "the pretend scale did not start" >&2; cat "$work/scale.log" >&2; exit 1; }

seconds=$((minutes * sample))
"$build/bench/long_run" "$device" "$work/capture.txt" "$seconds" "$sample" >"$work/driver.out" 2>"$work/driver.err" &
driver_pid=$!

printf '%-8s %12s %6s %8s %10s\n' minute rss_kib fds threads replies
samples=()
for ((m = 1; m <= minutes; ++m)); do
  sleep "$sample"
  kill -0 "$driver_pid" 2>/dev/null || { echo "the driver ended early" >&2; cat "$work/driver.err" >&2; exit 1; }
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$driver_pid/status")
  threads=$(awk '/^Threads:/ {print $2}' "/proc/$driver_pid/status")
  fds=$(ls "/proc/$driver_pid/fd" | wc -l)
  lines=$( (wc -l <"$work/capture.txt") 2>/dev/null || echo 0)
  printf '%-8s %12s %6s %8s %10s\n' "$m" "$rss" "$fds" "$threads" "$lines"
  samples+=("$rss $fds $threads")
done
wait "$driver_pid"
driver_pid=
kill "$scale_pid" 2>/dev/null || true
wait "$scale_pid" 2>/dev/null || true
scale_pid=

cat "$work/driver.out"
answered=$(grep -c '"SI" -> ' "$work/scale.log" || true)
captured=$(wc -l <"$work/capture.txt")
whole=$(grep -cE '^S S +-?[0-9]+\.[0-9]{2} g'$'\r''$' "$work/capture.txt" || true)
echo "scale answered $answered, capture file lines $captured, whole weight lines $whole"

status=0
# The first sample is the baseline: the run has settled by then.
read -r rss0 fds0 threads0 <<<"${samples[0]}"
for s in "${samples[@]:1}"; do
  read -r rss fds threads <<<"$s"
  # Resident memory may wander by a few allocator pages; a leak keeps climbing.
  if ((rss > rss0 + 256)); then status=1; fi
  if ((fds > fds0 || threads > threads0)); then status=1; fi
done
read -r rssN fdsN threadsN <<<"${samples[-1]}"
echo "after the first minute: rss ${rss0} -> ${rssN} KiB, fds ${fds0} -> ${fdsN}, threads ${threads0} -> ${threadsN}"
if ((status)); then echo "FAIL: a resource grew after the first minute"; fi
if ((answered == 0 || captured != answered || whole != answered)); then
  echo "FAIL: not every reply is in the capture file"
  status=1
fi
((status == 0)) && echo "PASS"
exit $status
