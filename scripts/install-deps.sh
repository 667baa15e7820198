#!/usr/bin/env bash
# Installs the Debian packages Tabelko needs to build, test and run.
# Runs as root on Debian 12; does nothing when everything is present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-translations-l10n libgl-dev
  libsqlcipher-dev libicu-dev libssl-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-noto-cjk xvfb xauth
  mdbtools
  openjdk-17-jre-headless libcommons-lang3-java libcommons-logging-java
  mingw-w64-tools
  libxlsxwriter-dev python3-openpyxl
  clang clang-tidy clang-format libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
