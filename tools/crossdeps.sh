#!/usr/bin/env bash
# Installs what a cross build of the recorder for another Debian architecture
# needs: Debian's cross compiler, the architecture's development packages of
# the libraries the recorder links, and the user-mode emulator that runs what
# was built. A one-time install (about 230 packages for arm64).
# Usage: tools/crossdeps.sh arm64
set -euo pipefail
arch=${1:?usage: crossdeps.sh ARCH}
[ "$arch" = arm64 ] || { echo "crossdeps: arm64 only" >&2; exit 2; }

packages=(
    crossbuild-essential-arm64 qemu-user-static
    qtbase5-dev:arm64 libqt5serialport5-dev:arm64
    libmosquitto-dev:arm64 libmicrohttpd-dev:arm64
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
dpkg --print-foreign-architectures | grep -qx "$arch" || $sudo dpkg --add-architecture "$arch"
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
