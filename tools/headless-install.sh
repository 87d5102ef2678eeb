#!/usr/bin/env bash
# What ravelo-record brings onto a machine without a desktop: in one brand-new
# Debian 12 root (../shared/tools/fresh-root) the recorder-only configuration
# is built with the recorder's build packages alone and packaged; in a second
# one the package is installed with apt-get, which lists every package it
# pulls in. Fails when that list holds a Qt Gui or Widgets library or
# anything of X11. Run from the project root; needs root (chroot). Only what
# is committed is built.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
fresh="$root/../shared/tools/fresh-root"
# The fresh roots see this machine's /proc: the package crosses over through
# this script's own root there.
here=$(mktemp -d /tmp/ravelo-headless.XXXX)
trap 'rm -rf "$here"' EXIT
handover=/proc/$$/root$here

build_packages="cmake g++ make pkgconf dpkg-dev file qtbase5-dev libqt5serialport5-dev libmosquitto-dev libmicrohttpd-dev"
bash "$fresh" "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $build_packages >/dev/null \
    && cmake -S . -B build-headless -DRAVELO_RECORDER_ONLY=ON -DRAVELO_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null \
    && cmake --build build-headless -j$(nproc) --target package >/dev/null \
    && cp build-headless/ravelo-record_*.deb $handover/"
deb=$(ls "$here"/ravelo-record_*.deb)
echo "headless: built $(basename "$deb") ($(stat -c %s "$deb") bytes) with: $build_packages"

# The install's own report: the packages apt-get sets up, one a line.
name=$(basename "$deb")
bash "$fresh" "cp $handover/$name /tmp/ && apt-get update -qq \
    && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends /tmp/$name > $handover/install.log 2>&1 \
    && ravelo-record --version"
sed -n 's/^Setting up \([^ ]*\) .*/\1/p' "$here/install.log" | sort > "$here/pulled"
echo "headless: apt-get install ./$name set up $(wc -l < "$here/pulled") packages:"
fmt -w 100 < "$here/pulled" | sed 's/^/  /'
if grep -E '^(libqt5(gui|widgets|charts|printsupport)|libx11|libxcb|libxkb|libgl1|libglx|libegl|libopengl|libwayland|xserver|x11-)' "$here/pulled"; then
    echo "headless: the recorder pulls in a desktop library" >&2
    exit 1
fi
echo "headless: no Qt Gui, Widgets or X11 library"
