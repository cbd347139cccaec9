#!/usr/bin/env bash
# The main job: builds the programs and the demo data-set package, installs
# the package with KalvoINSTALL into a sandbox drives root, then shows the
# machine's catalogue of data sets and a few records of the installed data
# set with mixtool and xbtool.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target xbtool mixtool KalvoINSTALL demo_package
xbtool=build/tools/xbtool/xbtool
mixtool=build/tools/mixtool/mixtool
sandbox=$(mktemp -d)
trap 'rm -rf "$sandbox"' EXIT
# Drive c: of every program below is $sandbox/drives/c.
export KALVO_DRIVES=$sandbox/drives

build/installer/KalvoINSTALL --console --package build/data/demo/package \
  --answer yes
echo
echo "== mixtool catalog"
"$mixtool" catalog
echo
echo "== xbtool dump c:\\GDATA\\CNTS.DBF (the colorants)"
"$xbtool" dump 'c:\GDATA\CNTS.DBF'
echo
echo "== xbtool dump c:\\GDATA\\INTERIOR\\MATT\\FRM.DBF (the first formulas)"
"$xbtool" dump 'c:\GDATA\INTERIOR\MATT\FRM.DBF' --where 'VAL(ID) <= 5'
echo
echo "== xbtool check of the installed formula key index"
"$xbtool" check 'c:\GDATA\INTERIOR\MATT\FRM.DBF' 'c:\GDATA\INTERIOR\MATT\FRM_KEY1.NTX'
