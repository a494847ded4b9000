#!/usr/bin/env bash
# Builds the terminal and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target terso -j"$(nproc)"
source scripts/polish-locale.sh
exec ./build/terso "$@"
