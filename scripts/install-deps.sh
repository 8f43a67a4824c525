#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the checks need. Safe to run twice.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config git ca-certificates
  libzip-dev libpugixml-dev libfreexl-dev
  qt6-base-dev dpkg-dev
  nlohmann-json3-dev libcli11-dev libfmt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-morisawa-bizud-gothic fonts-morisawa-bizud-mincho fonts-noto-cjk
  libreoffice-calc-nogui poppler-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
