#!/usr/bin/env bash
# Installs the Debian packages Ravelo needs to build, run and test.
# Usage: tools/deps.sh [extra packages...]
set -euo pipefail

packages=(
    cmake g++ make pkgconf
    qtbase5-dev libqt5serialport5-dev libqt5charts5-dev libxlsxwriter-dev zlib1g-dev
    fonts-dejavu-core fonts-liberation2 fonts-wqy-microhei
    poppler-utils python3-openpyxl
    influxdb
    libmosquitto-dev mosquitto mosquitto-clients openssl
    libmicrohttpd-dev python3-prometheus-client
    chromium
    "$@"
)
# The live page's browser test runs on node and npm: Debian's, unless the
# machine already has its own.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
