#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the terminal need,
# when any is missing. Runs apt-get only when something must be installed.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-charts-dev libgl-dev fonts-dejavu-core
  libxml2-dev libsqlite3-dev libgtest-dev libbenchmark-dev
  gettext qt6-translations-l10n locales pandoc
  socat ser2net poppler-utils
  libmosquitto-dev mosquitto mosquitto-clients openssl
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update
  "${sudo_cmd[@]}" apt-get install -y "${missing[@]}"
fi

# The Polish locale, for the serial texts' Polish catalog and its test.
if ! locale -a 2>/dev/null | grep -qix 'pl_PL\.utf-\?8'; then
  echo "Generating the pl_PL.UTF-8 locale"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" sed -i 's/^# *\(pl_PL\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^pl_PL\.UTF-8 UTF-8' /etc/locale.gen || echo 'pl_PL.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen > /dev/null
  "${sudo_cmd[@]}" locale-gen
fi
