#!/usr/bin/env bash
# The main job: builds the programs and the demo data-set package, installs
# the package with KalvoINSTALL into a sandbox drives root (the wizard,
# unattended on Qt's offscreen platform, with a screenshot of each page in
# build/screenshots; the console front where the wizard is not built), then
# shows the machine's catalogue of data sets, a few records of the installed
# data set with xbtool and one formula as the tables library reads it.
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

if grep -q '^KALVO_WIZARD:BOOL=ON' build/CMakeCache.txt; then
  QT_QPA_PLATFORM=offscreen build/installer/KalvoINSTALL /i- \
    --package build/data/demo/package --answer yes \
    --screenshots build/screenshots
else
  build/installer/KalvoINSTALL --console --package build/data/demo/package \
    --answer yes
fi
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
echo
echo "== mixtool formula get: formula 1 of product 1, sub-product 1, resolved"
"$mixtool" formula get --gdata 'c:\GDATA' --prd 1 --spd 1 --clr 1
