#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent: when all are
# present it only checks and returns within seconds.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev libcli11-dev
  libboost-python-dev python3-dev ccache libarchive-dev
  qt6-base-dev dpkg-dev fakeroot file lintian xauth xvfb locales
  libxml2-dev libxml2-utils fonts-dejavu-core
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi

# A decimal-comma locale (de_DE.UTF-8): the tests check that numbers are
# read and written with a point whatever the process locale.
ensure_locale() {
  if locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then return 0; fi
  if ! grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen >/dev/null
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  ensure_locale
  exit 0
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
ensure_locale
