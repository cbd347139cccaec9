#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one
# briefly (FUZZ_SECONDS, default 20) from its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
seconds=${FUZZ_SECONDS:-20}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKALVO_FUZZ=ON >/dev/null
cmake --build build-fuzz -j2
shopt -s nullglob
status=0
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  work=$(mktemp -d)
  seeds=(fuzz/corpus/"${name#fuzz_}")
  echo "== $name (${seconds}s)"
  if ! "$target" -max_total_time="$seconds" -rss_limit_mb=2048 "$work" "${seeds[@]}" \
      >"$work.log" 2>&1; then
    tail -n 40 "$work.log"
    status=1
  else
    tail -n 1 "$work.log"
  fi
  rm -rf "$work" "$work.log"
done
exit $status
