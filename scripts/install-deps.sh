#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the checks need. Safe to run twice.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config git ca-certificates
  libzip-dev libpugixml-dev libfreexl-dev libdeflate-dev
  qt6-base-dev qt6-translations-l10n dpkg-dev
  nlohmann-json3-dev libcli11-dev libfmt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-morisawa-bizud-gothic fonts-morisawa-bizud-mincho fonts-noto-cjk fonts-klee
  libmecab-dev mecab-ipadic-utf8
  libharfbuzz-dev zlib1g-dev
  kanjidic-xml fonts-kanjistrokeorders
  libreoffice-calc-nogui poppler-utils
  gettext locales
  time python3
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

# The command line's messages are tested in Japanese too; the locale makes them read as a user's.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Generating the ja_JP.UTF-8 locale"
  $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
