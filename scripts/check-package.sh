#!/usr/bin/env bash
# Checks the Debian packages that scripts/package.sh made (tagdesk, libquillet1, libquillet-dev,
# libquilletc1, libquilletc-dev): their file lists and control fields, the licence and changelog
# in each, the libraries' shlibs files and ldconfig triggers (and libquilletc1's symbols file),
# that the dependencies name the packages of the libraries the binaries link on this release,
# that the programs and libraries carry no run path, what their files name, that their metadata
# validates, and that other programs build against libquillet and libquilletc through the CMake
# packages and through pkg-config (tests/consumer, built against a staged install of the
# packages' build) and work: the C interface's round trip from C and from Python's ctypes, run
# against the library as the package installs it.
# Usage: check-package.sh [BUILD]   (default: build/package)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/package}

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache_value CMAKE_PROJECT_VERSION)
libdir=$(cache_value CMAKE_INSTALL_LIBDIR) # lib/<multiarch> for the prefix /usr
arch=$(dpkg --print-architecture)
declare -A deb
for package in tagdesk libquillet1 libquillet-dev libquilletc1 libquilletc-dev; do
    deb[$package]="$build/${package}_${version}_$arch.deb"
    [ -f "${deb[$package]}" ] \
        || { echo "check-package.sh: no ${deb[$package]}; run scripts/package.sh first" >&2; exit 1; }
done

failures=0
fail() {
    echo "check-package.sh: $*" >&2
    failures=$((failures + 1))
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The file lists.
files_of() { dpkg-deb -c "${deb[$1]}" | awk '$6 != "./" { print substr($6, 2) }'; }
expect_files() { # expect_files <package> <file...>
    local package=$1 file
    shift
    files_of "$package" >"$tmp/files"
    for file in "$@" "/usr/share/doc/$package/copyright" "/usr/share/doc/$package/changelog.gz"; do
        grep -qxF "$file" "$tmp/files" || fail "$file is not in $package"
    done
    if grep -v '^/usr/' "$tmp/files" | grep -q .; then
        fail "$package has files outside /usr: $(grep -v '^/usr/' "$tmp/files" | tr '\n' ' ')"
    fi
}
expect_files libquillet1 "/usr/$libdir/libquillet.so.$version" "/usr/$libdir/libquillet.so.1"
expect_files libquillet-dev "/usr/$libdir/libquillet.so" /usr/include/quillet.h \
    "/usr/$libdir/pkgconfig/quillet.pc" \
    "/usr/$libdir/cmake/quillet/quilletConfig.cmake" \
    "/usr/$libdir/cmake/quillet/quilletConfigVersion.cmake" \
    "/usr/$libdir/cmake/quillet/quilletTargets.cmake"
expect_files libquilletc1 "/usr/$libdir/libquilletc.so.$version" "/usr/$libdir/libquilletc.so.1"
expect_files libquilletc-dev "/usr/$libdir/libquilletc.so" /usr/include/quilletc.h \
    "/usr/$libdir/pkgconfig/quilletc.pc" \
    "/usr/$libdir/cmake/quilletc/quilletcConfig.cmake" \
    "/usr/$libdir/cmake/quilletc/quilletcConfigVersion.cmake" \
    "/usr/$libdir/cmake/quilletc/quilletcTargets.cmake"
expect_files tagdesk /usr/bin/tagdesk /usr/bin/quillet \
    /usr/share/applications/tagdesk.desktop \
    /usr/share/metainfo/example.tarnwick.tagdesk.metainfo.xml \
    /usr/share/icons/hicolor/{16x16,32x32,48x48,256x256}/apps/tagdesk.png \
    /usr/share/icons/hicolor/scalable/apps/tagdesk.svg \
    /usr/share/man/man1/tagdesk.1.gz /usr/share/man/man1/quillet.1.gz \
    /usr/share/tagdesk/tconfig /usr/share/tagdesk/profile-lumo /usr/share/tagdesk/profile-lumo.sql
# Each file in one package only.
for package in "${!deb[@]}"; do files_of "$package" | grep -v '/$'; done | sort | uniq -d >"$tmp/twice"
[ ! -s "$tmp/twice" ] || fail "files in more than one package: $(tr '\n' ' ' <"$tmp/twice")"

# The control fields.
field() { dpkg-deb -f "${deb[$1]}" "$2"; }
for package in "${!deb[@]}"; do
    [ "$(field "$package" Package)" = "$package" ] || fail "$package: Package: $(field "$package" Package)"
    [ "$(field "$package" Version)" = "$version" ] \
        || fail "$package: Version: $(field "$package" Version), not $version"
    [ "$(field "$package" Architecture)" = "$arch" ] \
        || fail "$package: Architecture: $(field "$package" Architecture)"
    [ -n "$(field "$package" Maintainer)" ] || fail "$package has no Maintainer"
    [ "$(field "$package" Description | wc -l)" -gt 1 ] || fail "$package: Description has no long text"
    dpkg-deb -f "${deb[$package]}" Depends | tr ',|' '\n\n' | sed 's/^ *//' >"$tmp/depends-$package"
done
# The ones of other packages named as such; those of the libraries on this release's names.
expect_depends() { # expect_depends <package> <dependency...>
    local package=$1 dependency
    shift
    for dependency in "$@"; do
        grep -qxF "$dependency" "$tmp/depends-$package" \
            || grep -q "^$dependency " "$tmp/depends-$package" \
            || fail "$package: Depends does not name $dependency: $(field "$package" Depends)"
    done
}
expect_depends tagdesk "libquillet1 (= $version)" libqt6sql6-sqlite
expect_depends libquillet-dev "libquillet1 (= $version)"
expect_depends libquilletc-dev "libquilletc1 (= $version)"
# The libraries' control files: programs built against one need this version or a later one,
# and the loader's cache is brought up to date by the trigger, not by maintainer scripts.
for library in libquillet libquilletc; do
    [ "$(field ${library}1 Section)" = libs ] || fail "${library}1: Section: $(field ${library}1 Section)"
    [ "$(field $library-dev Section)" = libdevel ] \
        || fail "$library-dev: Section: $(field $library-dev Section)"
    control="$tmp/control-$library"
    mkdir "$control"
    dpkg-deb --ctrl-tarfile "${deb[${library}1]}" | tar -x -C "$control"
    grep -qxF "$library 1 ${library}1 (>= $version)" "$control/shlibs" 2>/dev/null \
        || fail "${library}1's shlibs file: $(cat "$control/shlibs" 2>&1)"
    grep -qxF 'activate-noawait ldconfig' "$control/triggers" 2>/dev/null \
        || fail "${library}1 has no ldconfig trigger"
    for script in preinst postinst prerm postrm; do
        [ ! -e "$control/$script" ] || fail "${library}1 has a $script"
    done
done
# The licence, in the machine-readable format.
for package in "${!deb[@]}"; do
    dpkg-deb --fsys-tarfile "${deb[$package]}" \
        | tar -xO "./usr/share/doc/$package/copyright" >"$tmp/copyright"
    head -n 1 "$tmp/copyright" \
        | grep -qxF 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
        && grep -qxF 'License: MIT' "$tmp/copyright" \
        || fail "$package's copyright file is not the machine-readable MIT one"
done

# The files as installed.
for package in "${!deb[@]}"; do dpkg-deb -x "${deb[$package]}" "$tmp/root"; done
# The packages of the libraries the binaries link, found on this system (their names differ
# between Debian releases), are among the dependencies.
needed_packages() { # needed_packages <binary...>: the packages of the libraries they link
    local binary library
    for binary in "$@"; do
        readelf -d "$tmp/root/$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p'
    done | sort -u | while read -r library; do
        [[ $library == libquillet.so.1 || $library == libquilletc.so.1 ]] && continue
        dpkg -S "*/$library" 2>/dev/null | grep -E "^[^ ]+: /(usr/)?lib/" | head -n 1 | cut -d: -f1
    done | sort -u
}
# expect_library_depends <package> <binary...>: a library's own package is named, or one that
# depends on it (Debian 12's libtag1v5 for libtag1v5-vanilla, which holds libtag.so.1).
expect_library_depends() {
    local package=$1 needed dependency found
    shift
    for needed in $(needed_packages "$@"); do
        found=false
        while read -r dependency; do
            if [ "$dependency" = "$needed" ] || dpkg-query -W -f='${Depends}' "$dependency" \
                2>/dev/null | tr ',|' '\n\n' | awk '{ print $1 }' | grep -qxF "$needed"; then
                found=true
                break
            fi
        done < <(awk '{ print $1 }' "$tmp/depends-$package")
        $found || fail "$package: Depends names nothing that brings $needed: $(field "$package" Depends)"
    done
}
expect_library_depends tagdesk usr/bin/tagdesk usr/bin/quillet
expect_library_depends libquillet1 "usr/$libdir/libquillet.so.$version"
expect_library_depends libquilletc1 "usr/$libdir/libquilletc.so.$version"
for binary in usr/bin/tagdesk usr/bin/quillet "usr/$libdir/libquillet.so.$version" \
    "usr/$libdir/libquilletc.so.$version"; do
    if readelf -d "$tmp/root/$binary" | grep -qE '\((RUNPATH|RPATH)\)'; then
        fail "$binary carries a run path: $(readelf -d "$tmp/root/$binary" | grep -E 'R(UN)?PATH')"
    fi
done
readelf -d "$tmp/root/usr/$libdir/libquillet.so.$version" \
    | grep -qF 'Library soname: [libquillet.so.1]' || fail "libquillet's SONAME is not libquillet.so.1"
readelf -d "$tmp/root/usr/$libdir/libquilletc.so.$version" \
    | grep -qF 'Library soname: [libquilletc.so.1]' || fail "libquilletc's SONAME is not libquilletc.so.1"
# libquilletc as installed exports the functions of its installed header and nothing else; its
# symbols file is made from that header (cmake/packaging.cmake).
bash "$root/tests/library/check-c-exports.sh" "$tmp/root/usr/$libdir/libquilletc.so.$version" \
    "$tmp/root/usr/include/quilletc.h" >"$tmp/exports" 2>&1 || fail "$(cat "$tmp/exports")"
grep -qxF 'Exec=/usr/bin/tagdesk %f' "$tmp/root/usr/share/applications/tagdesk.desktop" \
    || fail "the desktop entry does not start /usr/bin/tagdesk"
grep -qxF 'Path=/usr/share/tagdesk' "$tmp/root/usr/share/applications/tagdesk.desktop" \
    || fail "the desktop entry does not start tagdesk in /usr/share/tagdesk"
for pc in quillet quilletc; do
    grep -qxF 'prefix=/usr' "$tmp/root/usr/$libdir/pkgconfig/$pc.pc" \
        || fail "$pc.pc does not name the prefix /usr"
done
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
    for package in quillet quilletc; do
        grep -qxF "${package}_DIR:PATH=$stage/$libdir/cmake/$package" "$consumer/CMakeCache.txt" \
            || fail "find_package($package) found another: $(grep "${package}_DIR" "$consumer/CMakeCache.txt")"
    done
    LC_ALL=C.UTF-8 "$consumer/quillet_consumer" "$tmp/tone.mp3" >"$tmp/out" \
        && grep -qF -- '-- AUDIO --' "$tmp/out" \
        || fail "the program built with find_package(quillet) does not read tone.mp3"
    "$consumer/quilletc_consumer" "$root/tests/data/tone.mp3" "$tmp/cmake.mp3" >"$tmp/out" 2>&1 \
        || fail "the C program built with find_package(quilletc) fails: $(cat "$tmp/out")"
else
    cat "$tmp/consumer.log" >&2
    fail "a program does not build with find_package(quillet) and find_package(quilletc)"
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
# The C interface's round trip, from C and from Python's ctypes, over the library as the package
# installs it: the C program built with pkg-config's flags in strict C99, the script loading it by
# its SONAME.
installed="$tmp/root/usr/$libdir"
if ! flags=$(pkg-config --cflags --libs quilletc); then
    fail "pkg-config does not find quilletc.pc in $PKG_CONFIG_PATH"
# shellcheck disable=SC2086 # the flags are words
elif cc -std=c99 -pedantic -Wall -Wextra -Werror -o "$tmp/quilletc-consumer" \
    "$root/tests/consumer/roundtrip.c" $flags; then
    for fixture in tone.mp3 tone.flac; do
        LC_ALL=C LD_LIBRARY_PATH="$installed" "$tmp/quilletc-consumer" "$root/tests/data/$fixture" \
            "$tmp/c-$fixture" >"$tmp/out" 2>&1 \
            || fail "the C program built with pkg-config fails on $fixture: $(cat "$tmp/out")"
    done
else
    fail "a C program does not build with pkg-config's flags for quilletc"
fi
for fixture in tone.mp3 tone.flac; do
    LC_ALL=C LD_LIBRARY_PATH="$installed" python3 "$root/tests/consumer/roundtrip.py" \
        libquilletc.so.1 "$root/tests/data/$fixture" "$tmp/ctypes-$fixture" >"$tmp/out" 2>&1 \
        || fail "the ctypes script fails on $fixture: $(cat "$tmp/out")"
done

if [ "$failures" -ne 0 ]; then
    echo "check-package.sh: $failures problems in the packages in $build" >&2
    exit 1
fi
echo "check-package.sh: the packages in $build are complete"
