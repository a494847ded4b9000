#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for the
# given number of seconds (default 60), starting from its seed corpus under
# fuzz/corpus/ and keeping what it finds in build-fuzz/corpus/. A failing
# input is saved as build-fuzz/artifacts/<target>-crash-...; the script then
# stops with an error. A target also stops after FUZZ_RUNS executions
# (default 10 million), whichever comes first.
# Usage: scripts/fuzz.sh [seconds-per-target] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
# deps.sh installs clang-14 and its sanitizer and fuzzer runtime as well.
bash scripts/deps.sh

seconds=${1:-60}
shift || true

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTERSO_FUZZ=ON -DTERSO_BENCH=OFF
cmake --build build-fuzz --target fuzz_targets -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Most targets write a file or two per execution, and saving syncs them to
# disk: a memory-backed temporary folder makes them several times faster.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
runs=${FUZZ_RUNS:-10000000}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for t in fuzz/*Fuzz.cpp; do targets+=("$(basename "$t" .cpp)"); done
fi
mkdir -p build-fuzz/artifacts
for t in "${targets[@]}"; do
  echo "== $t for ${seconds} s"
  mkdir -p "build-fuzz/corpus/$t"
  rc=0
  build-fuzz/fuzz/"$t" -max_total_time="$seconds" -runs="$runs" -print_final_stats=1 \
    -artifact_prefix="build-fuzz/artifacts/$t-" "build-fuzz/corpus/$t" "fuzz/corpus/$t" \
    >"build-fuzz/artifacts/$t.log" 2>&1 || rc=$?
  grep -aE "^(Done|stat::number_of_executed_units)|property failed|ERROR|SUMMARY|runtime error" \
    "build-fuzz/artifacts/$t.log" || true
  if [ "$rc" -ne 0 ]; then
    echo "$t failed; its log: build-fuzz/artifacts/$t.log" >&2
    exit 1
  fi
done
