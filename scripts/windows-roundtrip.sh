#!/usr/bin/env bash
# The data set that moves: built by the test builder on Linux, read, seeked
# and written by the Windows build under wine, verified on Linux again.
#
#   bash scripts/windows-roundtrip.sh
#
# Needs the Linux build in build/ and the Windows build in build-win64/
# (scripts/windows.sh); builds kalvo_roundtrip in both. Steps:
#   1. Linux: kalvo_roundtrip build (the sample data set and ROUNDTRP with
#      two indexes and memo texts), a copy of the tree kept aside;
#   2. Linux and wine: kalvo_roundtrip digest of every table: both hosts
#      read the same records, fields and memo texts; the tree is still
#      byte-identical to the copy after the Windows reads;
#   3. wine: kalvo_roundtrip write (seeks through both indexes, rewrites,
#      appends, grown memo texts, deletions);
#   4. Linux: only ROUNDTRP's files changed; kalvo_roundtrip verify (the
#      contents, both indexes match the data) and xbtool check of each index.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# ROUNDTRIP_NO_BUILD=1: use the programs as they are built.
if [ -z "${ROUNDTRIP_NO_BUILD:-}" ]; then
  cmake --build build -j2 --target kalvo_roundtrip xbtool >/dev/null
  cmake --build build-win64 -j2 --target kalvo_roundtrip >/dev/null
fi
linux_rt=$(find build -name kalvo_roundtrip -type f -perm -u+x | head -n1)
xbtool=$(find build -path '*/_CPack_Packages' -prune -o -name xbtool -type f -perm -u+x -print | head -n1)  # not a package's staged copy
win_rt=$(find build-win64 -name kalvo_roundtrip.exe -type f | head -n1)
wine_run=build-win64/wine-run.sh

work=$(mktemp -d "${TMPDIR:-/tmp}/kalvo-roundtrip-XXXXXX")
trap 'rm -rf "$work"' EXIT
export KALVO_DRIVES=$work/drives
data=$work/drives/c/gdata
# The same directory as wine names it (drive Z: is the host's "/").
win_data="Z:$(echo "$data" | tr / '\\')\\"

echo "1. build on Linux"
"$linux_rt" build 'c:\gdata\'
cp -a "$data" "$work/before"

echo "2. read on both hosts"
"$linux_rt" digest 'c:\gdata\' "$work/digest.linux"
"$wine_run" "$root/$win_rt" digest "$win_data" \
  "Z:$(echo "$work/digest.win" | tr / '\\')"
tr -d '\r' <"$work/digest.win" >"$work/digest.win.lf"
diff -u "$work/digest.linux" "$work/digest.win.lf"
echo "   $(wc -l <"$work/digest.linux") tables read alike"
diff -r "$work/before" "$data"
echo "   tree byte-identical after the reads"

echo "3. write under wine"
"$wine_run" "$root/$win_rt" write "$win_data"

echo "4. verify on Linux"
changed=$({ diff -rq "$work/before" "$data" || true; } |
  sed -n 's|^Files .*/gdata/\([^ ]*\) differ$|\1|p;s|^Only in .*: \(.*\)$|new \1|p' |
  tr '[:upper:]' '[:lower:]' | sort | tr '\n' ' ')
echo "   changed: $changed"
case "$changed" in
  "roundtrp.dbf roundtrp.dbt rtname.ntx rtqty.ntx ") ;;
  *) echo "unexpected changes: $changed" >&2; exit 1 ;;
esac
"$linux_rt" verify 'c:\gdata\'
dbf=$(ls "$data" | grep -i '^roundtrp\.dbf$')
for idx in rtname rtqty; do
  ntx=$(ls "$data" | grep -i "^$idx\.ntx$")
  "$xbtool" check "$data/$dbf" "$data/$ntx" >/dev/null
done
echo "windows-roundtrip: ok"
