#!/usr/bin/env bash
# Builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/ and runs them. The Python modules and the benchmarks are left
# out: none of their tests runs under the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALVO_SANITIZE=ON \
  -DKALVO_BENCH=OFF -DKALVO_WIZARD=OFF -DXBASE32_PYTHON=OFF -DMIXTABLE_PYTHON=OFF \
  >/dev/null
cmake --build build-asan -j2
# The crash test kills a writer at each of its 261 crash points and starts a
# checker after each kill, two program starts per point: under the
# sanitizers that exceeds its time limit. It checks file states, not memory
# use, and runs in the plain test stage.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j2 -E '^xbase32_crash_test$'
