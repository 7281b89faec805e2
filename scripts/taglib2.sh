#!/usr/bin/env bash
# Builds TagLib 2 from Debian's source archive once, into build/taglib2/prefix, and prints that
# prefix. The test command builds the library against it, so that a change that breaks TagLib 2
# (what current distributions ship) fails here. Later runs reuse the build.
#
# The release tarball is the one Debian's next release (trixie) builds from. Its SHA-256 is
# checked against trixie's Sources index, whose own hash comes from the signed InRelease file,
# checked with the Debian archive keyring. The mirror is the one this machine's apt uses.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
version=2.0.2
suite=trixie
work="$root/build/taglib2"
prefix="$work/prefix"
stamp="$prefix/.taglib-$version"
if [ -f "$stamp" ]; then
    echo "$prefix"
    exit 0
fi

source "$root/scripts/deps.sh"
rm -rf "$work"
mkdir -p "$work/src"
cd "$work"
tagdesk_debian_source "$suite" taglib "taglib_$version.orig.tar.gz" taglib.tar.gz \
    || { echo "taglib2.sh: no verified TagLib $version source" >&2; exit 1; }

tar -xzf taglib.tar.gz -C src --strip-components=1
# utf8cpp and zlib come from Debian 12's packages (libutfcpp-dev, zlib1g-dev).
cmake -S src -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DBUILD_TESTING=OFF \
    -DBUILD_EXAMPLES=OFF -DBUILD_BINDINGS=OFF -DWITH_ZLIB=ON -DCMAKE_INSTALL_LIBDIR=lib \
    -DCMAKE_INSTALL_PREFIX="$prefix" >&2
cmake --build build --parallel "$(nproc)" >&2
cmake --install build >&2
rm -rf build src taglib.tar.gz
touch "$stamp"
echo "$prefix"
