#!/usr/bin/env bash
# Builds the Debian package build/ravelo_<version>_<arch>.deb and checks what
# it installs: unpacks it into a throw-away folder, looks for every file, the
# programs' run path, the desktop entry (desktop-file-validate), the AppStream
# metadata (appstreamcli validate) and lintian's verdict (errors fail), and
# starts both programs from the unpacked tree.
# The package installs under /usr, Debian's layout (the gauge library in
# /usr/lib/<multiarch>/ravelo/). Extra arguments go to CMake; RAVELO_BUILD_DIR
# picks the build folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${RAVELO_BUILD_DIR:-$root/build}"

bash "$root/tools/deps.sh" dpkg-dev file desktop-file-utils appstream lintian
cmake -S "$root" -B "$build" -DCMAKE_INSTALL_PREFIX=/usr "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" --target package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/ravelo_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "package: $deb was not made" >&2; exit 1; }

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
failed=0
# (Checks pipe into grep without -q: with pipefail, grep -q leaving early
# would fail the program still writing into the pipe.)
fail() { echo "package: $*" >&2; failed=1; }

libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")/ravelo
expected=(
    usr/bin/ravelo usr/bin/ravelo-meter-sim "usr/$libdir/libTickGaugePlugin.so"
    usr/share/doc/ravelo/raveloHelp.html usr/share/doc/ravelo/copyright usr/share/doc/ravelo/changelog.gz
    usr/share/man/man1/ravelo.1.gz usr/share/man/man1/ravelo-meter-sim.1.gz
    usr/share/icons/hicolor/48x48/apps/ravelo.png usr/share/icons/hicolor/256x256/apps/ravelo.png
    usr/share/icons/hicolor/scalable/apps/ravelo.svg
)
[ -f "$build/bin/raveloHelp.chm" ] && expected+=(usr/share/doc/ravelo/raveloHelp.chm)
unit=usr/lib/systemd/system/ravelo-record@.service
[ -f "$build/bin/ravelo-record" ] && expected+=(usr/bin/ravelo-record usr/share/man/man1/ravelo-record.1.gz
    "$unit" usr/lib/sysusers.d/ravelo-record.conf usr/share/doc/ravelo/examples/ravelo-record.conf)
for f in "${expected[@]}"; do
    [ -f "$tree/$f" ] || fail "/$f is missing"
done
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

lintian --fail-on error "$deb" || fail "lintian found errors"

# The service template as systemd reads it, pointed at the unpacked program;
# any remark (an unknown key, a bad specifier) fails the check.
if [ -f "$tree/$unit" ]; then
    bash "$root/tools/deps.sh" systemd
    units=$(mktemp -d)
    sed "s|/usr/bin/ravelo-record|$tree/usr/bin/ravelo-record|" "$tree/$unit" > "$units/ravelo-record@.service"
    remarks=$(systemd-analyze verify --man=no "$units/ravelo-record@.service" 2>&1) \
        || fail "systemd-analyze verify failed: $remarks"
    [ -z "$remarks" ] || fail "systemd-analyze verify: $remarks"
    rm -rf "$units"
fi

# Both programs start from the unpacked tree: the simulator answers --help,
# the window is still up after three seconds.
"$tree/usr/bin/ravelo-meter-sim" --help >/dev/null || fail "ravelo-meter-sim --help failed"
home=$tree/home
mkdir -p "$home"
rc=0
HOME=$home XDG_CONFIG_HOME=$home/.config QT_QPA_PLATFORM=offscreen \
    timeout 3 "$tree/usr/bin/ravelo" >/dev/null 2>"$home/ravelo.err" || rc=$?
[ $rc -eq 124 ] || { cat "$home/ravelo.err" >&2; fail "ravelo did not stay up (exit $rc)"; }

[ $failed -eq 0 ] || exit 1
echo "package: $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends
