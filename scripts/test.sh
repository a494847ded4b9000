#!/usr/bin/env bash
# Builds everything and runs every test twice: in a normal build and in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== Normal build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== AddressSanitizer and UndefinedBehaviorSanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTERSO_SANITIZE=ON -DTERSO_BENCH=OFF
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== ThreadSanitizer build of the tests that start threads"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTERSO_TSAN=ON -DTERSO_BENCH=OFF
cmake --build build-tsan --target test_platform test_serial test_ethernet test_app -j"$jobs"
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# The serial event thread, the host lookup thread, the loops' hand-overs and
# the receive path through the main window. The Qt view's tests are left out: Qt's own thread pool is
# not built for ThreadSanitizer.
ctest --test-dir build-tsan --output-on-failure -j"$jobs" \
  -R '^(Manual|TcpSocketTest|EthConnectionTest|ComPort|ComStorage|ComTexts|EComPort|RegistryKeyPath|SerialReceiveFixture)'
