#!/usr/bin/env bash
# Builds a Release of TagDesk for the prefix /usr in build/package and makes the Debian package
# there with cpack (cmake/packaging.cmake): build/package/tagdesk_<version>_<arch>.deb. Installs
# what is missing first, like the other commands. Prints the package's path last.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
tagdesk_ensure_packages "${TAGDESK_PACKAGE_PACKAGES[@]}"

build="$root/build/package"
# The package links Debian's own TagLib, whatever pkg-config was pointed at for other builds.
unset PKG_CONFIG_PATH
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DTAGDESK_BUILD_TESTS=OFF -DTAGDESK_FAULT_SEAM=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)"

rm -f "$build"/tagdesk_*.deb
(cd "$build" && cpack -G DEB) >"$build/cpack.log" 2>&1 || {
    cat "$build/cpack.log" >&2
    echo "package.sh: cpack failed" >&2
    exit 1
}
debs=("$build"/tagdesk_*.deb)
[ -f "${debs[0]}" ] || { echo "package.sh: cpack made no .deb in $build" >&2; exit 1; }
echo "${debs[0]}"
