#!/usr/bin/env bash
# Builds Debian's own TagLib 1.13 (the source of the installed libtag1-dev, with Debian's security
# fixes) as a static library instrumented for libFuzzer, ASan and UBSan. The long fuzzing runs link
# against it so that coverage and bounds checks reach inside TagLib's parsers; the quick regression
# run in scripts/test.sh uses the system library and does not need this.
#
# Output: $cache/prefix (headers under include/taglib, lib/libtag.a). Prints the prefix.
set -euo pipefail
cache=${TAGDESK_FUZZ_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tagdesk-fuzz}
prefix="$cache/prefix"
if [ -f "$prefix/lib/libtag.a" ]; then
    echo "$prefix"
    exit 0
fi
mkdir -p "$cache"
work="$cache/apt"
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/src"

# A private source list and state, so the system's apt configuration stays as it is.
# The mirrors are the ones this machine's apt uses.
source "$(dirname "$0")/../scripts/deps.sh"
version=$(dpkg-query -W -f='${Version}' libtag1-dev)
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
echo "deb-src [signed-by=$keyring] $(tagdesk_debian_mirror Debian) bookworm main" >"$work/sources.list"
security=$(tagdesk_debian_mirror Debian-Security)
[ -z "$security" ] || echo "deb-src [signed-by=$keyring] $security bookworm-security main" \
    >>"$work/sources.list"
apt_opts=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/nonexistent
    -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache")
apt-get "${apt_opts[@]}" -qq update >&2
(cd "$work/src" && apt-get "${apt_opts[@]}" -qq source --download-only "taglib=$version" >&2)

src="$work/src/taglib"
rm -rf "$src"
dpkg-source --skip-patches -x "$work/src"/taglib_*.dsc "$src" >&2
# Debian's fixes, less the switch to a system utf8cpp that is not installed here.
while read -r patch; do
    case "$patch" in '' | \#* | *utf8cpp*) continue ;; esac
    patch -d "$src" -p1 -s <"$src/debian/patches/$patch" >&2
done <"$src/debian/patches/series"

# NDEBUG: TagLib then stays quiet instead of printing every parse problem to stderr.
# Undefined behaviour inside TagLib is reported (once per place) but does not stop the run, so one
# known fault does not end a campaign; memory errors still stop it, and our own code is built with
# -fno-sanitize-recover=all.
flags="-fsanitize=fuzzer-no-link,address,undefined -fsanitize-recover=undefined"
flags+=" -fno-omit-frame-pointer -g -O2 -DNDEBUG"
cmake -S "$src" -B "$cache/build" -DCMAKE_BUILD_TYPE=None -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DBUILD_TESTING=OFF -DBUILD_EXAMPLES=OFF -DBUILD_BINDINGS=OFF -DWITH_ZLIB=ON \
    -DCMAKE_INSTALL_PREFIX="$prefix" >&2
nice cmake --build "$cache/build" --parallel 2 >&2
cmake --install "$cache/build" >&2
echo "$prefix"
