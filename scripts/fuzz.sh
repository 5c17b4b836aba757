#!/usr/bin/env bash
# Builds the libFuzzer target of the request path resolver with clang and runs
# it for a bounded time (seconds, first argument).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
if [ ! -f build-fuzz/build.ninja ]; then
  cmake -S . -B build-fuzz -G Ninja -DCORVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++
fi
cmake --build build-fuzz
corpus=build-fuzz/corpus
mkdir -p "$corpus"
cp -n host/fuzz/seeds/* "$corpus"/ 2>/dev/null || true
build-fuzz/host/fuzz/pathresolver_fuzz -max_total_time="$seconds" -print_final_stats=1 "$corpus"
