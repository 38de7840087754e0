#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in build-test/, runs
# every fuzz target for 30 s (tools/fuzz.sh, clang-14 in build-fuzz/), then the whole test suite
# under the offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DTAVIK_SANITIZE=ON -DTAVIK_BUILD_TESTS=ON
cmake --build build-test -j"$(nproc)"
bash tools/fuzz.sh "${TAVIK_FUZZ_SECONDS:-30}"
cd build-test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
