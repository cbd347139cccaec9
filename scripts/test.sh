#!/usr/bin/env bash
# Builds everything in build/ and runs all unit tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2
