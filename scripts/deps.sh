#!/usr/bin/env bash
# The one list of Debian packages that building, running and testing TagDesk need.
# Sourced by the other scripts; installs only what is missing, so it is quick when all is there.

# Qt's own tools that the build runs (moc, uic) say on standard error that they switch to UTF-8
# where the locale is not (the C locale of a cleared environment); the commands switch first.
# The tests choose their own locale.
case "$(locale charmap 2>/dev/null)" in
UTF-8) ;;
*) export LC_ALL=C.UTF-8 ;;
esac

# tagdesk_debian_release: the major version of the Debian release this system runs (12, 13...).
tagdesk_debian_release() {
    (
        . /etc/os-release
        echo "${VERSION_ID:-}"
    )
}

# TagLib's development files: Debian 13's libtag1-dev is only a transitional package for
# libtag-dev (TagLib 2).
if [ "$(tagdesk_debian_release)" = 12 ]; then
    TAGDESK_TAGLIB_DEV=libtag1-dev
else
    TAGDESK_TAGLIB_DEV=libtag-dev
fi
# Building and running tagdesk; FFmpeg's libraries and libebur128 for measuring loudness (the same
# names on both releases).
TAGDESK_PACKAGES=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
    "$TAGDESK_TAGLIB_DEV"
    libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libebur128-dev
    sqlite3
    fonts-dejavu-core
)
# Making the Debian packages (scripts/package.sh): dpkg-shlibdeps, which names the packages of the
# libraries the binaries link, file, with which cpack finds the binaries to ask it about, and
# lintian, which checks what was made.
TAGDESK_PACKAGE_PACKAGES=(dpkg-dev file lintian)
# The test command's first stage, the tests: symbol check, the validators of the desktop entry
# and the AppStream metadata, a FAT image mounted through FUSE for the saving tests, Python for
# the C interface's ctypes consumer.
TAGDESK_CHECK_PACKAGES=(binutils desktop-file-utils appstream dosfstools fusefat python3)
# The whole test command: clang for the sanitizer-instrumented fuzz regression, what building
# TagLib 2 from its release source takes (scripts/taglib2.sh), what making and checking the
# package takes, and the fresh Debian 13 (scripts/debian13.sh).
TAGDESK_TEST_PACKAGES=("${TAGDESK_CHECK_PACKAGES[@]}" clang libclang-rt-dev libutfcpp-dev
    zlib1g-dev xz-utils gpgv debootstrap "${TAGDESK_PACKAGE_PACKAGES[@]}")
# The Windows stage of the test command (scripts/windows.sh): the MinGW-w64 cross compiler with
# POSIX threads, windres and the other tools, Wine to run the result, and doctest for its test
# program, which cannot use Qt Test since there is no Qt for Windows here; and what checking
# TagLib's source takes.
TAGDESK_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
    wine64 doctest-dev xz-utils gpgv)
# Benchmarks (mutagen: the baseline of bench/cli-vs-mutagen.sh; loudgain that of
# bench/loudness-vs-loudgain.sh, which counts CPU seconds with /usr/bin/time), remaking the
# committed fixtures, fuzz seeds and icon, and trying the package on a fresh Debian
# (scripts/try-install.sh).
TAGDESK_TOOL_PACKAGES=(libbenchmark-dev ffmpeg imagemagick librsvg2-bin python3 python3-mutagen
    loudgain time debootstrap)

# tagdesk_ensure_packages [extra packages...]: the build and run packages and the extras.
tagdesk_ensure_packages() {
    local missing=() pkg
    for pkg in "${TAGDESK_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q '^install ok installed$' \
            || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]} (run as root, or install them with apt-get)" >&2
        return 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# tagdesk_debian_mirror [label]: the address of the Debian archive this machine's apt uses, read
# from apt itself whatever form its sources take (label Debian for the main archive,
# Debian-Security for the security one). Empty when apt knows none.
tagdesk_debian_mirror() {
    local label=${1:-Debian} mirror
    mirror=$(_tagdesk_policy_mirror "$label")
    if [ -z "$mirror" ] && [ "$(id -u)" -eq 0 ]; then
        apt-get update -qq >&2 # a system whose package lists were cleaned away
        mirror=$(_tagdesk_policy_mirror "$label")
    fi
    echo "${mirror%/}"
}
_tagdesk_policy_mirror() {
    apt-cache policy | awk -v label="$1" '
        / release / && /o=Debian,/ && index($0, "l=" label ",") && /c=main,/ { print previous; exit }
        { previous = $2 }'
}

# tagdesk_debian_source <suite> <package> <file> <output>: downloads <file> of the source package
# <package> as Debian's <suite> has it, from the mirror this machine's apt uses, into <output>.
# Its SHA-256 is checked against the suite's Sources index, whose own hash comes from the
# InRelease file, checked with the Debian archive keyring. Returns 1, saying why, on any failure.
tagdesk_debian_source() {
    local mirror index status
    mirror=$(tagdesk_debian_mirror Debian)
    case "$mirror" in
        http://* | https://*) ;;
        *) echo "no Debian mirror found in the apt sources" >&2; return 1 ;;
    esac
    index=$(mktemp -d)
    _tagdesk_verified_source "$index" "$@"
    status=$?
    rm -rf "$index"
    return $status
}
_tagdesk_download() { # <url> <file> [sha256]
    /usr/lib/apt/apt-helper -qq -o APT::Sandbox::User=root download-file "$1" "$2" ${3:+"SHA256:$3"} >&2
}
_tagdesk_verified_source() {
    local index=$1 suite=$2 package=$3 file=$4 output=$5 sources_hash directory hash
    _tagdesk_download "$mirror/dists/$suite/InRelease" "$index/InRelease" || return 1
    gpgv --keyring /usr/share/keyrings/debian-archive-keyring.gpg --output "$index/Release" \
        "$index/InRelease" 2>/dev/null \
        || { echo "$suite's InRelease does not verify" >&2; return 1; }
    sources_hash=$(awk '/^SHA256:/ { in_sha = 1; next } /^[^ ]/ { in_sha = 0 }
        in_sha && $3 == "main/source/Sources.xz" { print $1; exit }' "$index/Release")
    [ -n "$sources_hash" ] || { echo "no Sources.xz in $suite's Release" >&2; return 1; }
    _tagdesk_download "$mirror/dists/$suite/main/source/Sources.xz" "$index/Sources.xz" \
        "$sources_hash" || return 1
    # The package's stanza: its pool folder and the file's SHA-256.
    read -r directory hash < <(xz -dc "$index/Sources.xz" | awk -v pkg="$package" -v file="$file" '
        /^Package: / { in_pkg = ($2 == pkg); in_sha = 0; directory = "" }
        !in_pkg { next }
        /^Directory: / { directory = $2 }
        /^Checksums-Sha256:/ { in_sha = 1; next }
        /^[^ ]/ { in_sha = 0 }
        in_sha && $3 == file { hash = $1 }
        /^$/ && hash != "" && directory != "" { print directory, hash; exit }')
    [ -n "${hash:-}" ] || { echo "$file is not in $suite" >&2; return 1; }
    _tagdesk_download "$mirror/$directory/$file" "$output" "$hash" || return 1
    echo "$hash  $output" | sha256sum --check --quiet
}
