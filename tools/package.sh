#!/usr/bin/env bash
# Builds the Debian packages and checks what they install:
#   ravelo-record_<version>_<arch>.deb  the recorder and the simulator
#   ravelo_<version>_<arch>.deb         the window (depends on ravelo-record)
# Each is unpacked into a throw-away folder and checked: every file, its
# Depends, lintian's verdict (errors fail), the service template
# (systemd-analyze verify), the desktop entry (desktop-file-validate), the
# AppStream metadata (appstreamcli validate), the window's run path, and the
# programs starting from the unpacked tree.
#
#   tools/package.sh [CMake arguments...]               this machine's packages, in build/
#   tools/package.sh --arch arm64 [CMake arguments...]  ravelo-record for arm64, in build-arm64/
#
# --arch arm64 installs the cross tools (dpkg --add-architecture arm64,
# crossbuild-essential-arm64, the arm64 Qt packages, qemu-user-static), builds
# the recorder-only configuration with cmake/aarch64-linux-gnu.cmake and runs
# the unpacked programs through qemu-aarch64-static. With
# -DRAVELO_BUILD_TESTS=ON the same build holds the recorder's tests for
# `ctest --test-dir build-arm64`, run under the emulator.
# The packages install under /usr, Debian's layout (the gauge library in
# /usr/lib/<multiarch>/ravelo/). RAVELO_BUILD_DIR picks the build folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

arch=$(dpkg --print-architecture)
if [ "${1:-}" = "--arch" ]; then
    arch=${2:?"--arch needs an architecture (arm64)"}
    shift 2
fi
native=$(dpkg --print-architecture)
cmake_args=(-DCMAKE_INSTALL_PREFIX=/usr)
run=()  # what runs an unpacked program
if [ "$arch" = "$native" ]; then
    build="${RAVELO_BUILD_DIR:-$root/build}"
    bash "$root/tools/deps.sh" dpkg-dev file desktop-file-utils appstream lintian systemd
elif [ "$arch" = arm64 ]; then
    build="${RAVELO_BUILD_DIR:-$root/build-arm64}"
    bash "$root/tools/deps.sh" dpkg-dev file lintian systemd
    bash "$root/tools/crossdeps.sh" arm64
    cmake_args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake" -DRAVELO_RECORDER_ONLY=ON
                 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVELO_BUILD_TESTS=OFF)
    run=(qemu-aarch64-static)
    # dpkg-shlibdeps looks for the arm64 libraries and their symbols files.
    export DEB_HOST_ARCH=arm64
else
    echo "package: no cross build for $arch (arm64 only)" >&2
    exit 2
fi

cmake -S "$root" -B "$build" "${cmake_args[@]}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" --target package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
recorder_only=$(sed -n 's/^RAVELO_RECORDER_ONLY:BOOL=//p' "$build/CMakeCache.txt")
record_deb="$build/ravelo-record_${version}_$arch.deb"
window_deb="$build/ravelo_${version}_$arch.deb"
debs=("$record_deb")
[ "$recorder_only" = ON ] || debs+=("$window_deb")

failed=0
# (Checks pipe into grep without -q: with pipefail, grep -q leaving early
# would fail the program still writing into the pipe.)
fail() { echo "package: $*" >&2; failed=1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Unpacks $1 into a folder of its own, $tree; checks its files ($2...) and lintian.
unpack() {
    local deb=$1
    shift
    [ -f "$deb" ] || { echo "package: $deb was not made" >&2; exit 1; }
    tree="$scratch/$(basename "$deb" .deb)"
    mkdir -p "$tree"
    dpkg-deb -x "$deb" "$tree"
    for f in "$@"; do
        [ -f "$tree/$f" ] || fail "$(basename "$deb"): /$f is missing"
    done
    lintian --fail-on error "$deb" || fail "lintian found errors in $(basename "$deb")"
}

# --- ravelo-record: QtCore and QtSerialPort, nothing of a desktop.
unit=usr/lib/systemd/system/ravelo-record@.service
unpack "$record_deb" \
    usr/bin/ravelo-record usr/bin/ravelo-meter-sim \
    usr/share/man/man1/ravelo-record.1.gz usr/share/man/man1/ravelo-meter-sim.1.gz \
    "$unit" usr/lib/sysusers.d/ravelo-record.conf \
    usr/share/doc/ravelo-record/examples/ravelo-record.conf \
    usr/share/doc/ravelo-record/copyright usr/share/doc/ravelo-record/changelog.gz
depends=$(dpkg-deb --field "$record_deb" Depends)
for library in libqt5core5a libqt5serialport5 libmicrohttpd12; do
    echo "$depends" | grep -F "$library" >/dev/null || fail "ravelo-record does not depend on $library"
done
echo "$depends" | grep -E 'libqt5(gui|widgets|charts|printsupport)|libx|xlsxwriter' >/dev/null \
    && fail "ravelo-record depends on a desktop library: $depends"
[ -z "$(find "$tree/usr/share/applications" "$tree/usr/share/icons" "$tree/usr/share/doc/ravelo" 2>/dev/null)" ] \
    || fail "ravelo-record holds files of the window's package"

# The service template as systemd reads it, pointed at the unpacked program;
# any remark (an unknown key, a bad specifier) fails the check.
units=$(mktemp -d -p "$scratch")
sed "s|/usr/bin/ravelo-record|$tree/usr/bin/ravelo-record|" "$tree/$unit" > "$units/ravelo-record@.service"
remarks=$(systemd-analyze verify --man=no "$units/ravelo-record@.service" 2>&1) \
    || fail "systemd-analyze verify failed: $remarks"
[ -z "$remarks" ] || fail "systemd-analyze verify: $remarks"

# Both programs start from the unpacked tree.
said=$("${run[@]}" "$tree/usr/bin/ravelo-record" --version) || fail "ravelo-record --version failed"
[ "$said" = "ravelo-record $version" ] || fail "ravelo-record --version said: $said"
"${run[@]}" "$tree/usr/bin/ravelo-meter-sim" --help >/dev/null || fail "ravelo-meter-sim --help failed"

# The live page is inside the program: the unpacked recorder, replaying a
# capture of one reading, serves the page and its chart library.
capture="$scratch/one-reading.cap"
printf '%s\n' '# ravelo capture 1' '# start 2026-12-07T09:47:28.412+01:00' '# interval-ms 1000' \
    '# port /dev/ttyUSB0' '13 open /dev/ttyUSB0' '346 rx a5000400106f7979f90200000000000000000217' \
    '1013 tick' > "$capture"
"${run[@]}" "$tree/usr/bin/ravelo-record" --replay "$capture" -q --http 127.0.0.1:0 2> "$scratch/http.err" &
http_pid=$!
url=""
for _ in $(seq 300); do
    url=$(grep -o 'http://127\.0\.0\.1:[0-9]*/' "$scratch/http.err" | head -n 1) || true
    [ -n "$url" ] && break
    sleep 0.1
done
if [ -z "$url" ]; then
    fail "ravelo-record --http did not start: $(cat "$scratch/http.err")"
else
    /usr/bin/python3 - "$url" <<'PY' || fail "ravelo-record --http did not serve its page"
import sys, urllib.request
url = sys.argv[1]
page = urllib.request.urlopen(url, timeout=20).read().decode()
assert "<html" in page.lower() and "uPlot.iife.min.js" in page, page[:200]
chart = urllib.request.urlopen(url + "vendor/uPlot.iife.min.js", timeout=20).read()
assert b"uPlot" in chart and len(chart) > 10000, len(chart)
status = urllib.request.urlopen(url + "api/status", timeout=20).read()
assert b'"readings":1' in status, status
PY
fi
kill "$http_pid" 2>/dev/null || true
wait "$http_pid" 2>/dev/null || true

# --- ravelo: the window, its gauge library, guide, desktop entry and icons.
if [ "$recorder_only" != ON ]; then
    libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")/ravelo
    expected=(
        usr/bin/ravelo "usr/$libdir/libTickGaugePlugin.so"
        usr/share/doc/ravelo/raveloHelp.html usr/share/doc/ravelo/copyright usr/share/doc/ravelo/changelog.gz
        usr/share/man/man1/ravelo.1.gz
        usr/share/icons/hicolor/48x48/apps/ravelo.png usr/share/icons/hicolor/256x256/apps/ravelo.png
        usr/share/icons/hicolor/scalable/apps/ravelo.svg
    )
    [ -f "$build/bin/raveloHelp.chm" ] && expected+=(usr/share/doc/ravelo/raveloHelp.chm)
    unpack "$window_deb" "${expected[@]}"
    for program in ravelo-record ravelo-meter-sim; do
        [ ! -e "$tree/usr/bin/$program" ] || fail "ravelo holds $program, which is ravelo-record's"
    done
    dpkg-deb --field "$window_deb" Depends | grep -F "ravelo-record (= $version)" >/dev/null \
        || fail "ravelo does not depend on ravelo-record (= $version)"
    for size in 48 256; do
        file "$tree/usr/share/icons/hicolor/${size}x$size/apps/ravelo.png" | grep "PNG image data, $size x $size" >/dev/null \
            || fail "the ${size}x$size icon is not a $size x $size PNG"
    done

    # The program finds its gauge library through a run path relative to itself.
    readelf -d "$tree/usr/bin/ravelo" | grep -F "(RUNPATH)            Library runpath: [\$ORIGIN/../$libdir]" >/dev/null \
        || fail "ravelo has no run path \$ORIGIN/../$libdir"
    ldd "$tree/usr/bin/ravelo" | grep -F "libTickGaugePlugin.so => $tree/usr/bin/../$libdir/libTickGaugePlugin.so" >/dev/null \
        || fail "ravelo does not find libTickGaugePlugin.so beside it"

    desktops=("$tree"/usr/share/applications/*.desktop)
    metainfos=("$tree"/usr/share/metainfo/*.metainfo.xml)
    if [ ${#desktops[@]} -ne 1 ] || [ ! -f "${desktops[0]}" ]; then
        fail "not exactly one desktop entry"
    else
        desktop=${desktops[0]}
        desktop-file-validate "$desktop" || fail "desktop-file-validate: $desktop"
        for line in 'Exec=ravelo' 'Icon=ravelo' 'Terminal=false' 'Categories=Science;Electronics;'; do
            grep -qx "$line" "$desktop" || fail "the desktop entry lacks $line"
        done
        if [ ! -f "${metainfos[0]}" ]; then
            fail "no AppStream metadata"
        else
            appstreamcli validate --no-net "${metainfos[0]}" || fail "appstreamcli validate: ${metainfos[0]}"
            grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "${metainfos[0]}" \
                || fail "the AppStream metadata does not launch $(basename "$desktop")"
        fi
    fi

    # The window is still up after three seconds.
    home=$tree/home
    mkdir -p "$home"
    rc=0
    HOME=$home XDG_CONFIG_HOME=$home/.config QT_QPA_PLATFORM=offscreen \
        timeout 3 "$tree/usr/bin/ravelo" >/dev/null 2>"$home/ravelo.err" || rc=$?
    [ $rc -eq 124 ] || { cat "$home/ravelo.err" >&2; fail "ravelo did not stay up (exit $rc)"; }
fi

[ $failed -eq 0 ] || exit 1
for deb in "${debs[@]}"; do
    echo "package: $deb ($(stat -c %s "$deb") bytes)"
    dpkg-deb --field "$deb" Package Version Architecture Depends
done
