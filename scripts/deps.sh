#!/usr/bin/env bash
# The one list of Debian packages that building, running and testing TagDesk need.
# Sourced by the other scripts; installs only what is missing, so it is quick when all is there.

# Building and running tagdesk.
TAGDESK_PACKAGES=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
    libtag1-dev
    sqlite3
    fonts-dejavu-core
)
# The test command: symbol check, clang for the sanitizer-instrumented fuzz regression, and the
# desktop entry's validator.
TAGDESK_TEST_PACKAGES=(binutils clang libclang-rt-dev desktop-file-utils)
# Benchmarks, and remaking the committed fixtures, fuzz seeds and icon.
TAGDESK_TOOL_PACKAGES=(libbenchmark-dev ffmpeg imagemagick librsvg2-bin python3)

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
