#!/usr/bin/env bash
# The Windows stage of the test command: cross-builds quillet.dll, quilletc.dll and their Windows
# test programs with the system's MinGW-w64 (cmake/mingw-w64.cmake) and runs them under Wine.
#
# TagLib 1.13 is built once, statically and without zlib, into build/windows-taglib/prefix from
# the source tarball Debian 12 (bookworm) builds its own from, checked like TagLib 2's
# (scripts/taglib2.sh). Wine keeps its prefix in build/wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
tagdesk_ensure_packages "${TAGDESK_WINDOWS_PACKAGES[@]}"

jobs=$(nproc)
version=1.13
work="$root/build/windows-taglib"
prefix="$work/prefix"
if [ ! -f "$prefix/.taglib-$version" ]; then
    rm -rf "$work"
    mkdir -p "$work/src"
    tagdesk_debian_source bookworm taglib "taglib_$version.orig.tar.gz" "$work/taglib.tar.gz" \
        || { echo "windows.sh: no verified TagLib $version source" >&2; exit 1; }
    tar -xzf "$work/taglib.tar.gz" -C "$work/src" --strip-components=1
    cmake -S "$work/src" -B "$work/build" --toolchain "$root/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF \
        -DBUILD_EXAMPLES=OFF -DBUILD_BINDINGS=OFF -DWITH_ZLIB=OFF -DCMAKE_INSTALL_LIBDIR=lib \
        -DCMAKE_INSTALL_PREFIX="$prefix" >"$work/build.log" 2>&1
    # TagLib's own warnings fill pages: they are kept in the log, shown when the build fails.
    { cmake --build "$work/build" --parallel "$jobs" && cmake --install "$work/build"; } \
        >>"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log" >&2; exit 1; }
    rm -rf "$work/build" "$work/src" "$work/taglib.tar.gz"
    touch "$prefix/.taglib-$version"
fi

# quillet.dll, quilletc.dll, the Windows test programs and tagdesk's resources, with warnings as
# errors. TagLib was built as a static library: its headers must not declare DLL imports.
build="$root/build/windows"
PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH="" \
    cmake -S "$root" -B "$build" --toolchain "$root/cmake/mingw-w64.cmake" \
    -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_BUILD_TYPE=Debug -DTAGDESK_WERROR=ON \
    -DCMAKE_CXX_FLAGS=-DTAGLIB_STATIC >/dev/null
cmake --build "$build" --parallel "$jobs"

# quillet.dll exports readTag and saveTag and nothing else, quilletc.dll the functions of its
# header; neither needs a DLL beyond Windows' own. Only the table's numbered rows ("[   0] ...
# name") are read: binutils 2.44 (Debian 13) prints a column heading inside the table, 2.40 none.
objdump=x86_64-w64-mingw32-objdump
exports=$("$objdump" -p "$build/taglibrary/quillet.dll" \
    | awk '/^\[Ordinal\/Name Pointer\] Table/ { table = 1; next } NF == 0 { table = 0 }
        table && /^[ \t]*\[ *[0-9]+\]/ { print $NF }' \
    | x86_64-w64-mingw32-c++filt | sed 's/(.*//' | sort | tr '\n' ' ')
[ "$exports" = "readTag saveTag " ] \
    || { echo "windows.sh: quillet.dll exports: $exports" >&2; exit 1; }
exports=$(bash "$root/tests/library/check-c-exports.sh" "$build/taglibrary/quilletc.dll" \
    "$root/taglibrary/quilletc.h" 2>&1) || { echo "windows.sh: $exports" >&2; exit 1; }
for binary in "$build/taglibrary/quillet.dll" "$build/taglibrary/quilletc.dll" \
    "$build/tests/windows/tst_windows.exe" "$build/tests/windows/quilletc_consumer.exe"; do
    extra=$("$objdump" -p "$binary" | awk '/DLL Name:/ { print $3 }' \
        | grep -viE '^(kernel32|msvcrt|quilletc?)\.dll$' || true)
    [ -z "$extra" ] || { echo "windows.sh: $binary needs $extra" >&2; exit 1; }
done
# tagdesk's icon, compiled by windres under the name Windows looks for.
strings -el "$build/CMakeFiles/tagdesk_resources.dir/app/resources/tagdesk.rc.res" \
    | grep -qw IDI_ICON1 || { echo "windows.sh: tagdesk.rc has no IDI_ICON1" >&2; exit 1; }

# Under Wine, with its prefix inside the build folder; the first start makes it (tens of
# seconds). No Mono or Gecko is needed, nor offered.
export WINEPREFIX="$root/build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
ctest --test-dir "$build" --output-on-failure --timeout 600
