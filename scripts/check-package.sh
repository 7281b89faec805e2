#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh made: its file list and control fields, that
# its programs and library carry no run path, what its files name, that its metadata validates,
# and that another program builds against libquillet through the CMake package and through
# pkg-config (tests/consumer, built against a staged install of the package's build).
# Usage: check-package.sh [PACKAGE.deb]   (default: the one in build/package)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/package"
deb=${1:-$(ls "$build"/tagdesk_*.deb 2>/dev/null | head -n 1)}
[ -f "$deb" ] || { echo "check-package.sh: no package; run scripts/package.sh first" >&2; exit 1; }

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache_value CMAKE_PROJECT_VERSION)
libdir=$(cache_value CMAKE_INSTALL_LIBDIR) # lib/<multiarch> for the prefix /usr
arch=$(dpkg --print-architecture)

failures=0
fail() {
    echo "check-package.sh: $*" >&2
    failures=$((failures + 1))
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The file list.
dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' >"$tmp/files"
for file in \
    /usr/bin/tagdesk /usr/bin/quillet \
    "/usr/$libdir/libquillet.so.$version" "/usr/$libdir/libquillet.so.1" "/usr/$libdir/libquillet.so" \
    /usr/include/quillet.h \
    "/usr/$libdir/pkgconfig/quillet.pc" \
    "/usr/$libdir/cmake/quillet/quilletConfig.cmake" \
    "/usr/$libdir/cmake/quillet/quilletConfigVersion.cmake" \
    "/usr/$libdir/cmake/quillet/quilletTargets.cmake" \
    /usr/share/applications/tagdesk.desktop \
    /usr/share/metainfo/example.tarnwick.tagdesk.metainfo.xml \
    /usr/share/icons/hicolor/{16x16,32x32,48x48,256x256}/apps/tagdesk.png \
    /usr/share/icons/hicolor/scalable/apps/tagdesk.svg \
    /usr/share/man/man1/tagdesk.1 /usr/share/man/man1/quillet.1 \
    /usr/share/tagdesk/tconfig /usr/share/tagdesk/profile-lumo /usr/share/tagdesk/profile-lumo.sql; do
    grep -qxF "$file" "$tmp/files" || fail "$file is not in the package"
done
if grep -v '^/usr/' "$tmp/files" | grep -q .; then
    fail "files outside /usr: $(grep -v '^/usr/' "$tmp/files" | tr '\n' ' ')"
fi

# The control fields; the dependencies on the libraries come from dpkg-shlibdeps.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tagdesk ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Description | wc -l)" -gt 1 ] || fail "Description has no long text"
depends=$(field Depends)
field Depends | tr ',|' '\n\n' | awk '{ print $1 }' >"$tmp/depends"
for package in libtag1v5 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6sql6 \
    libqt6sql6-sqlite libstdc++6 libc6; do
    grep -qxF "$package" "$tmp/depends" || fail "Depends does not name $package: $depends"
done

# The files as installed.
dpkg-deb -x "$deb" "$tmp/root"
for binary in usr/bin/tagdesk usr/bin/quillet "usr/$libdir/libquillet.so.$version"; do
    if readelf -d "$tmp/root/$binary" | grep -qE '\((RUNPATH|RPATH)\)'; then
        fail "$binary carries a run path: $(readelf -d "$tmp/root/$binary" | grep -E 'R(UN)?PATH')"
    fi
done
readelf -d "$tmp/root/usr/$libdir/libquillet.so.$version" \
    | grep -qF 'Library soname: [libquillet.so.1]' || fail "libquillet's SONAME is not libquillet.so.1"
grep -qxF 'Exec=/usr/bin/tagdesk %f' "$tmp/root/usr/share/applications/tagdesk.desktop" \
    || fail "the desktop entry does not start /usr/bin/tagdesk"
grep -qxF 'Path=/usr/share/tagdesk' "$tmp/root/usr/share/applications/tagdesk.desktop" \
    || fail "the desktop entry does not start tagdesk in /usr/share/tagdesk"
grep -qxF 'prefix=/usr' "$tmp/root/usr/$libdir/pkgconfig/quillet.pc" \
    || fail "quillet.pc does not name the prefix /usr"
# The metadata as installed: the AppStream file with the desktop entry it launches, and that entry.
if ! appstreamcli validate-tree --no-net "$tmp/root" >"$tmp/appstream" 2>&1 \
    || grep -qE '^ *[EW]: ' "$tmp/appstream"; then
    fail "appstreamcli validate-tree: $(cat "$tmp/appstream")"
fi
desktop-file-validate "$tmp/root/usr/share/applications/tagdesk.desktop" \
    || fail "desktop-file-validate rejects the installed desktop entry"
# The sample database holds the product that the sample tconfig names, at the package's version.
code=$(sed -n 3p "$tmp/root/usr/share/tagdesk/tconfig")
product=$(sqlite3 -readonly "$tmp/root/usr/share/tagdesk/profile-lumo" \
    "select mc || ' ' || ver from product where bh = '$code'" 2>&1) || true
[ "$product" = "TagDesk $version" ] || fail "the sample database gives \"$product\""

# Another program, built against a staged install of the same build.
stage="$tmp/stage"
cmake --install "$build" --prefix "$stage" >/dev/null
cp "$root/tests/data/tone.mp3" "$tmp/tone.mp3"
consumer="$tmp/consumer"
if cmake -S "$root/tests/consumer" -B "$consumer" -DCMAKE_PREFIX_PATH="$stage" \
    -DCMAKE_BUILD_TYPE=Release >"$tmp/consumer.log" 2>&1 \
    && cmake --build "$consumer" >>"$tmp/consumer.log" 2>&1; then
    grep -qxF "quillet_DIR:PATH=$stage/$libdir/cmake/quillet" "$consumer/CMakeCache.txt" \
        || fail "find_package(quillet) found another quillet: $(grep quillet_DIR "$consumer/CMakeCache.txt")"
    LC_ALL=C.UTF-8 "$consumer/quillet_consumer" "$tmp/tone.mp3" >"$tmp/out" \
        && grep -qF -- '-- AUDIO --' "$tmp/out" \
        || fail "the program built with find_package(quillet) does not read tone.mp3"
else
    cat "$tmp/consumer.log" >&2
    fail "a program does not build with find_package(quillet)"
fi
export PKG_CONFIG_PATH="$stage/$libdir/pkgconfig"
if ! flags=$(pkg-config --cflags --libs quillet); then
    fail "pkg-config does not find quillet.pc in $PKG_CONFIG_PATH"
# shellcheck disable=SC2086 # the flags are words
elif c++ -std=c++17 -o "$tmp/pkgconfig-consumer" "$root/tests/consumer/main.cpp" $flags; then
    LC_ALL=C.UTF-8 LD_LIBRARY_PATH="$stage/$libdir" "$tmp/pkgconfig-consumer" "$tmp/tone.mp3" \
        >"$tmp/out" && grep -qF -- '-- AUDIO --' "$tmp/out" \
        || fail "the program built with pkg-config does not read tone.mp3"
else
    fail "a program does not build with pkg-config's flags for quillet"
fi

if [ "$failures" -ne 0 ]; then
    echo "check-package.sh: $failures problems in $deb" >&2
    exit 1
fi
echo "check-package.sh: $deb is complete"
