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
mirror=$(tagdesk_debian_mirror Debian)
case "$mirror" in
    http://* | https://*) ;;
    *) echo "taglib2.sh: no Debian mirror found in the apt sources" >&2; exit 1 ;;
esac

download() { # download <url> <file> [sha256]
    /usr/lib/apt/apt-helper -qq -o APT::Sandbox::User=root download-file "$1" "$2" ${3:+"SHA256:$3"} >&2
}

rm -rf "$work"
mkdir -p "$work/src"
cd "$work"
download "$mirror/dists/$suite/InRelease" InRelease
gpgv --keyring /usr/share/keyrings/debian-archive-keyring.gpg --output Release InRelease 2>/dev/null \
    || { echo "taglib2.sh: $suite's InRelease does not verify" >&2; exit 1; }

sources_hash=$(awk '/^SHA256:/ { in_sha = 1; next } /^[^ ]/ { in_sha = 0 }
    in_sha && $3 == "main/source/Sources.xz" { print $1; exit }' Release)
[ -n "$sources_hash" ] || { echo "taglib2.sh: no Sources.xz in $suite's Release" >&2; exit 1; }
download "$mirror/dists/$suite/main/source/Sources.xz" Sources.xz "$sources_hash"

# The taglib stanza: its pool folder and the tarball's SHA-256.
read -r directory tarball_hash < <(xz -dc Sources.xz | awk -v file="taglib_$version.orig.tar.gz" '
    /^Package: / { in_pkg = ($2 == "taglib"); in_sha = 0; directory = "" }
    !in_pkg { next }
    /^Directory: / { directory = $2 }
    /^Checksums-Sha256:/ { in_sha = 1; next }
    /^[^ ]/ { in_sha = 0 }
    in_sha && $3 == file { hash = $1 }
    /^$/ && hash != "" && directory != "" { print directory, hash; exit }')
[ -n "${tarball_hash:-}" ] || { echo "taglib2.sh: taglib $version is not in $suite" >&2; exit 1; }
download "$mirror/$directory/taglib_$version.orig.tar.gz" taglib.tar.gz "$tarball_hash"
echo "$tarball_hash  taglib.tar.gz" | sha256sum --check --quiet

tar -xzf taglib.tar.gz -C src --strip-components=1
# utf8cpp and zlib come from Debian 12's packages (libutfcpp-dev, zlib1g-dev).
cmake -S src -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DBUILD_TESTING=OFF \
    -DBUILD_EXAMPLES=OFF -DBUILD_BINDINGS=OFF -DWITH_ZLIB=ON -DCMAKE_INSTALL_LIBDIR=lib \
    -DCMAKE_INSTALL_PREFIX="$prefix" >&2
cmake --build build --parallel "$(nproc)" >&2
cmake --install build >&2
rm -rf build src taglib.tar.gz Sources.xz
touch "$stamp"
echo "$prefix"
