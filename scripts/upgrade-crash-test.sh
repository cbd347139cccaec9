#!/usr/bin/env bash
# The long interruption pass of the check and upgrade: `mixtool upgrade` on a
# copy of the demo data set (with a field removed from CANS, so that a table
# is converted) is killed with SIGKILL at random times; then
# `mixtool upgrade --restore` must leave every file as before the run or as
# an uninterrupted run leaves it. PARAM (its CHECK_INFO carries the time of
# the run) and the lock file are left out of the comparison.
#
#   bash scripts/upgrade-crash-test.sh [ROUNDS]     (default 50)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-50}"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target mixtool xbtool demo_gdata >/dev/null
mixtool=$PWD/build/tools/mixtool/mixtool
xbtool=$PWD/build/tools/xbtool/xbtool
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KALVO_DRIVES="$work/drives" KALVO_LOGDIR="$work"
gdata="$work/drives/c/gdata"

fresh() {
  rm -rf "$gdata"
  mkdir -p "$work/drives/c"
  cp -r build/data/demo/gdata "$gdata"
  "$xbtool" rmfield "$gdata/CANS.DBF" 5 >/dev/null 2>&1 ||
    "$xbtool" rmfield "$gdata/cans.dbf" 5 >/dev/null
}
snap() {
  (cd "$gdata" && find . -type f ! -iname '$upgrade.lck' ! -iname 'param.*' \
    -printf '%P\n' | tr 'A-Z' 'a-z' | sort | while read -r f; do
      printf '%s %s\n' "$f" "$(find . -ipath "./$f" -type f -exec sha1sum {} + |
        cut -d' ' -f1)"
    done)
}

fresh
before=$(snap)
start=$(date +%s%N)
"$mixtool" upgrade 'c:\gdata' >/dev/null 2>&1
ms=$(( ($(date +%s%N) - start) / 1000000 ))
after=$(snap)
[ "$before" != "$after" ] || { echo "the upgrade changed nothing"; exit 1; }
echo "uninterrupted run: ${ms} ms"
restored=0 kept=0 failed=0
for ((i = 1; i <= rounds; i++)); do
  fresh
  "$mixtool" upgrade 'c:\gdata' >/dev/null 2>&1 &
  pid=$!
  sleep "$(awk -v m="$ms" -v r="$RANDOM" 'BEGIN { printf "%.3f", m * r / 32768 / 1000 }')"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  if ! "$mixtool" upgrade --restore 'c:\gdata' >/dev/null 2>&1; then
    echo "round $i: restore failed"; failed=$((failed + 1)); continue
  fi
  now=$(snap)
  if [ "$now" = "$before" ]; then restored=$((restored + 1))
  elif [ "$now" = "$after" ]; then kept=$((kept + 1))
  else echo "round $i: neither before nor after"; failed=$((failed + 1)); fi
done
echo "rounds $rounds: restored $restored, kept $kept, failed $failed"
[ "$failed" -eq 0 ]
