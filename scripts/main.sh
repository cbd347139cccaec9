#!/usr/bin/env bash
# The main job: builds the project and shows xbtool creating, filling and
# dumping a sample table of colorants below the drives root.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target xbtool
xbtool=build/tools/xbtool/xbtool
demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
table="$demo/colorant.dbf"
"$xbtool" create "$table" CODE:C:6 NAME:C:20 DENSITY:N:8:4 ADDED:D ACTIVE:L
"$xbtool" append "$table" CODE=KX NAME="Oxide yellow" DENSITY=1.7350 ADDED=20090307 ACTIVE=T
"$xbtool" append "$table" CODE=RN NAME="Rouge écarlate" DENSITY=1.2041 ADDED=20101112 ACTIVE=T
"$xbtool" append "$table" CODE=WH NAME="Titanium white" DENSITY=2.0102 ADDED=20111201 ACTIVE=F
"$xbtool" info "$table"
"$xbtool" dump "$table"
"$xbtool" dump --csv "$table"
