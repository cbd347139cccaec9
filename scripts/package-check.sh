#!/usr/bin/env bash
# Builds the project's Debian package (cpack -G DEB in build/) and checks it:
# unpacked into a temporary root with dpkg-deb -x, every program runs from
# there against the packaged libraries, the packaged XBASE32 and MIXTABLE
# modules import, every library dependency resolves, and lintian reports no
# error.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS=0
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2
rm -rf build/deb
(cd build && cpack -G DEB >build-deb.log 2>&1) || {
  cat build/build-deb.log
  exit 1
}
debs=(build/deb/kalvo_*.deb)
deb=${debs[0]}
echo "package: $deb ($(stat -c %s "$deb") bytes)"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
usr=$root/usr
export LD_LIBRARY_PATH=$usr/lib
fail() {
  echo "package-check: $*" >&2
  exit 1
}

# Every ELF file finds its libraries: the packaged ones or the system's.
while IFS= read -r f; do
  if file -b "$f" | grep -q '^ELF'; then
    if ldd "$f" | grep -q 'not found'; then
      ldd "$f" >&2
      fail "$f: a library is missing"
    fi
  fi
done < <(find "$usr" -type f)

for p in xbtool mixtool KalvoINSTALL; do
  "$usr/bin/$p" --help >/dev/null || fail "$p --help failed"
done
[ -f "$usr/lib/DataBase.DCT" ] || fail "DataBase.DCT is missing beside the libraries"
[ -f "$usr/share/doc/kalvo/copyright" ] || fail "the copyright file is missing"

PYTHONPATH=$usr/lib/python3/dist-packages /usr/bin/python3 -B -c '
import XBASE32, sys
w = XBASE32.Wdbase()
assert XBASE32.__file__.startswith(sys.argv[1]), XBASE32.__file__
' "$usr/lib/python3/dist-packages" || fail "import XBASE32 failed"
PYTHONPATH=$usr/lib/python3/dist-packages /usr/bin/python3 -B -c '
import MIXTABLE, XBASE32, sys
t = MIXTABLE.CMixtable()
assert type(t.Handle(MIXTABLE.Y_FRM)) is XBASE32.Wdbase
assert MIXTABLE.__file__.startswith(sys.argv[1]), MIXTABLE.__file__
' "$usr/lib/python3/dist-packages" || fail "import MIXTABLE failed"

# The tools work on a table of their own, from the unpacked root.
work=$root/work
mkdir -p "$work"
"$usr/bin/xbtool" create "$work/t.dbf" NAME:C:10 >/dev/null
"$usr/bin/xbtool" append "$work/t.dbf" NAME=Blue >/dev/null
dump=$("$usr/bin/xbtool" dump "$work/t.dbf")
grep -q Blue <<<"$dump" || fail "xbtool dump: $dump"

# The packaged installer installs the packaged demo data set into a sandbox
# drives root, then again through the package's own launcher (an update).
demo=$usr/lib/kalvo/demo
[ -f "$demo/GDATA.TXT" ] || fail "the demo package is missing"
export KALVO_DRIVES=$root/drives
"$usr/bin/KalvoINSTALL" --console --package "$demo" --answer yes >"$root/install.log" ||
  { cat "$root/install.log"; fail "the demo package does not install"; }
PATH=$usr/bin:$PATH "$demo/KalvoINSTALL" --console --answer yes >"$root/install.log" ||
  { cat "$root/install.log"; fail "the demo package does not update"; }
catalog=$("$usr/bin/mixtool" catalog)
grep -q 'C:\\GDATA ' <<<"$catalog" || fail "the demo is not catalogued: $catalog"
"$usr/bin/xbtool" check 'c:\GDATA\INTERIOR\MATT\FRM.DBF' \
  'c:\GDATA\INTERIOR\MATT\FRM_KEY1.NTX' >/dev/null || fail "xbtool check"

status=0
report=$(lintian --fail-on error "$deb" 2>&1) || status=$?
grep -v 'running with root privileges' <<<"$report" || true
[ "$status" -eq 0 ] || fail "lintian reports errors"
echo "package-check: ok in ${SECONDS} s"
