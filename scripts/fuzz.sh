#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one
# briefly (FUZZ_SECONDS, default 20) from its seed corpus, FUZZ_JOBS targets
# at a time (default 2: one per core; each fuzzer is one process).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
seconds=${FUZZ_SECONDS:-20}
jobs=${FUZZ_JOBS:-2}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKALVO_FUZZ=ON >/dev/null
cmake --build build-fuzz -j2 --target fuzz_targets

# run_one TARGET: fuzzes TARGET in its own scratch directory; prints its last
# line, or the tail of its log when it found something (exit status 1).
run_one() {
  local target=$1 name work seeds status=0
  name=$(basename "$target")
  work=$(mktemp -d)
  seeds=(fuzz/corpus/"${name#fuzz_}")
  if ! "$target" -max_total_time="$seconds" -rss_limit_mb=2048 "$work" "${seeds[@]}" \
      >"$work.log" 2>&1; then
    status=1
  fi
  {
    echo "== $name (${seconds}s)"
    if [ "$status" = 0 ]; then tail -n 1 "$work.log"; else tail -n 40 "$work.log"; fi
  } >"$work.out"
  cat "$work.out"  # one write per target: parallel outputs do not interleave
  rm -rf "$work" "$work.log" "$work.out"
  return $status
}

shopt -s nullglob
targets=()
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] && [ -f "$target" ] && targets+=("$target")
done
status=0
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
  run_one "$target" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done
echo "fuzz: ${#targets[@]} targets, $([ $status = 0 ] && echo clean || echo FAILED)"
exit $status
