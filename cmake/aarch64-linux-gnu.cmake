# Cross build for 64-bit ARM: a Raspberry Pi on 64-bit Raspberry Pi OS, or any
# Debian 12 arm64 machine. Needs a Debian machine with the arm64 architecture
# added (dpkg --add-architecture arm64) and crossbuild-essential-arm64, the
# arm64 development packages (qtbase5-dev:arm64, libqt5serialport5-dev:arm64,
# ...) and qemu-user-static; tools/package.sh --arch arm64 installs them.
#
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DRAVELO_RECORDER_ONLY=ON
#
# No sysroot: Debian's multiarch keeps the arm64 libraries and their CMake and
# pkg-config files in /usr/lib/aarch64-linux-gnu, beside the machine's own.
# Qt's moc and rcc are the build machine's (/usr/lib/qt5/bin).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Programs run during the build are the build machine's; libraries, headers
# and packages are searched in the arm64 folders only.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# ctest runs the tests (and the tests the programs they start) through the
# user-mode emulator: the machines this is built on need not run foreign
# programs by themselves (binfmt_misc). tools/qemu-run lets an emulated
# program start others (QProcess) under Debian 12's qemu.
find_program(RAVELO_QEMU_AARCH64 qemu-aarch64-static)
if(RAVELO_QEMU_AARCH64)
    get_filename_component(RAVELO_QEMU_RUN ${CMAKE_CURRENT_LIST_DIR}/../tools/qemu-run ABSOLUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${RAVELO_QEMU_RUN} ${RAVELO_QEMU_AARCH64})
endif()

# Debian's name for the machine, for the package's file name and control file.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
