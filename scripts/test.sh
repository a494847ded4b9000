#!/usr/bin/env bash
# Builds everything and runs every test twice: in a normal build and in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer; then the tests
# that start threads under ThreadSanitizer, and a short run of each fuzz
# target so that they keep building and working; last the Windows build,
# tested under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
# The libraries for Windows (Qt above all, about 20 minutes on a fresh
# machine; reused after that) build in the background while the Linux stages
# run, mostly in the time their tests leave the processors idle. When a Linux
# stage fails it goes on to its end, for the next run.
mkdir -p build
nice bash scripts/windows-deps.sh >build/windows-deps.log 2>&1 &
windows_deps=$!

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== Layers of src/"
bash scripts/layers.sh

echo "== Normal build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== AddressSanitizer and UndefinedBehaviorSanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTERSO_SANITIZE=ON -DTERSO_BENCH=OFF
cmake --build build-asan -j"$jobs"
# Full stacks at every allocation: with the fast unwinder, memory that Qt
# Charts holds in a shown chart is reported as lost at exit (not with full
# stacks), and suppressions can only match what a stack shows.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== ThreadSanitizer build of the tests that start threads"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTERSO_TSAN=ON -DTERSO_BENCH=OFF
cmake --build build-tsan --target test_platform test_serial test_ethernet test_journal test_app test_readings -j"$jobs"
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# The serial event thread, the host lookup thread, the loops' hand-overs and
# the receive path through the main window, the readings journal's writer (its
# test of killed programs forks, and is left out here), the plant link's
# thread and the MQTT library's, alone and in the window. The Qt view's tests are left out: Qt's own
# thread pool is not built for ThreadSanitizer.
ctest --test-dir build-tsan --output-on-failure -j"$jobs" \
  -R '^(Manual|TcpSocketTest|EthConnectionTest|ComPort|ComStorage|ComTexts|EComPort|RegistryKeyPath|SerialReceiveFixture|Journal\.|PlantLink\.|PlantLinkWindow\.)' \
  -E 'AProgramKilled'

echo "== Fuzz targets, a short run of each"
# Only the fuzz targets are built here; each runs its seed corpus and a few
# seconds of new inputs (longer runs: scripts/fuzz.sh).
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTERSO_FUZZ=ON -DTERSO_BENCH=OFF
cmake --build build-fuzz --target fuzz_targets -j"$jobs"
mkdir -p build-fuzz/artifacts
for target in fuzz/*Fuzz.cpp; do
  t=$(basename "$target" .cpp)
  echo "-- $t"
  # New inputs go to a scratch folder, never into the seed corpus.
  rm -rf "build-fuzz/smoke/$t" && mkdir -p "build-fuzz/smoke/$t"
  # The automatic-run target's per-input leak check once reported 184 bytes in
  # two blocks that no rerun of the input reproduced, not yet explained; the
  # ASan stage above checks leaks on every test, so that target runs here
  # without the per-input check until the cause is found.
  leaks=1
  [ "$t" = SequencerRunFuzz ] && leaks=0
  build-fuzz/fuzz/"$t" -max_total_time=3 -detect_leaks=$leaks -artifact_prefix="build-fuzz/artifacts/$t-" \
    "build-fuzz/smoke/$t" "fuzz/corpus/$t" 2>&1 |
    grep -aE "^Done|property failed|ERROR|SUMMARY|runtime error"
done

echo "== Windows build, its tests under Wine and a smoke run of the zip"
wait "$windows_deps" || { tail -n 40 build/windows-deps.log; exit 1; }
bash scripts/windows.sh
bash scripts/windows-test.sh
