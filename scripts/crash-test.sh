#!/usr/bin/env bash
# The long crash-safety pass: a writer process doing appends, record and memo
# writes, Pack, Zap, FieldAdd, FieldRemove, copy-update replace and index
# builds on a table with two indexes and a memo field is killed with SIGKILL
# at random times, and a fresh process checks the table after every kill.
# Prints rounds, kills mid-operation and failures per operation.
#
#   bash scripts/crash-test.sh [ROUNDS]     (default 2000)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-2000}"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target xbase32_crash_test
KALVO_CRASH_RANDOM="$rounds" build/xbase32/xbase32_crash_test \
  --gtest_filter=CrashTest.RandomKills --gtest_brief=1
