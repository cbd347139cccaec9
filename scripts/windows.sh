#!/usr/bin/env bash
# The Windows build: cross-compiles the libraries, tools and tests with
# mingw-w64 in build-win64/ (DLLs, EXEs and tests in build-win64/bin/) and
# runs the tests under wine, in a fresh wine prefix of the build tree.
#
#   bash scripts/windows.sh            build, run the tests, make the zip
#   bash scripts/windows.sh --no-test  build and make the zip only
#   bash scripts/windows.sh --i686     also build the whole 32-bit tree
#                                      (build-win32/: DLLs, tools, console
#                                      installer, every test; compiled,
#                                      not run) and its zip
#   bash scripts/windows.sh --ci       the CI stage: the DLLs, the tools and
#                                      the platform and expression tests
#   WINDOWS_TESTS=REGEX                build and run only the tests matching
#                                      REGEX (besides the DLLs and tools)
set -euo pipefail
cd "$(dirname "$0")/.."

run_tests=1
i686=0
ci=0
for arg in "$@"; do
  case "$arg" in
    --no-test) run_tests=0 ;;
    --i686) i686=1 ;;
    --ci) ci=1 ;;
    *) echo "usage: $0 [--no-test] [--i686] [--ci]" >&2; exit 2 ;;
  esac
done

# The cross compilers, wine and the GoogleTest sources; idempotent.
packages=(cmake ninja-build g++-mingw-w64-x86-64-posix wine64 libgtest-dev
  libgmock-dev libcli11-dev)
if [ "$i686" = 1 ]; then packages+=(g++-mingw-w64-i686-posix); fi
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build-win64 -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake >/dev/null
if [ "$ci" = 1 ]; then
  # The platform tests, the expression tests and every engine test but the
  # crash test (about 2 minutes under wine: each crash point starts two
  # processes); the table, tool and installer tests take about 3 minutes
  # more (README "Windows build"; the full run is `bash scripts/windows.sh`).
  WINDOWS_TESTS=${WINDOWS_TESTS:-^(platform_|expr_test$|xbase32_(test|share_test|memo_test|ntx_test|filter_test|relation_test)$)}
fi
if [ -n "${WINDOWS_TESTS:-}" ]; then
  # The tests are programs of the same names.
  mapfile -t tests < <(ctest --test-dir build-win64 -N -R "$WINDOWS_TESTS" |
    sed -n 's/^ *Test *#[0-9]*: \([A-Za-z0-9_]*\)$/\1/p')
  cmake --build build-win64 -j2 --target xbase32 mixtable xbtool mixtool KalvoINSTALL "${tests[@]}"
else
  cmake --build build-win64 -j2
  (cd build-win64 && cpack -G ZIP >/dev/null && ls -1 kalvo-*-win64.zip)
fi

if [ "$i686" = 1 ]; then
  cmake -S . -B build-win32 -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake >/dev/null
  # Every target from the same sources as the 64-bit tree; wine here runs
  # 64-bit programs only, so the tests are compiled, not run.
  cmake --build build-win32 -j2
  (cd build-win32 && cpack -G ZIP >/dev/null && ls -1 kalvo-*-win32.zip)
fi

if [ "$run_tests" = 1 ]; then
  # A fresh prefix for this run, one wine server kept up for all tests.
  export WINEPREFIX="$PWD/build-win64/wineprefix"
  export WINEDEBUG=-all
  export KALVO_WINEPREFIX="$WINEPREFIX"
  rm -rf "$WINEPREFIX"
  start=$(date +%s)
  build-win64/wine-run.sh cmd /c exit 0 >/dev/null 2>&1 || true
  echo "wine prefix ready in $(( $(date +%s) - start )) s"
  # One persistent wine server for all tests, with wine's own services
  # started here, away from CTest: a service started by the first test
  # would inherit that test's output pipe and keep CTest waiting for ever.
  # The server that made the prefix must end first (a second server for
  # the same prefix is refused).
  wineserver -w
  wineserver -p
  trap 'wineserver -k 2>/dev/null || true' EXIT
  build-win64/wine-run.sh cmd /c exit 0 >/dev/null 2>&1 || true
  status=0
  ctest --test-dir build-win64 --output-on-failure -j2 \
    ${WINDOWS_TESTS:+-R "$WINDOWS_TESTS"} || status=$?
  bash scripts/windows-roundtrip.sh || status=$?  # a data set Linux -> wine -> Linux
  wineserver -k || true
  exit $status
fi
