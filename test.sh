#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build (engine, window, programs), then the
# installed tree and the Debian package, then the engine again with AddressSanitizer and
# UndefinedBehaviorSanitizer, and once more with ThreadSanitizer for the walk's worker threads.
# Tests run offscreen.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh --tests

jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DTROVEX_BENCH=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

./scripts/check-install.sh build

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTROVEX_SANITIZE=ON -DTROVEX_GUI=OFF -DBUILD_TESTING=ON >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTROVEX_TSAN=ON -DTROVEX_GUI=OFF -DBUILD_TESTING=ON >/dev/null
cmake --build build-tsan -j "$jobs"
ctest --test-dir build-tsan --output-on-failure -j "$jobs"
