#!/usr/bin/env bash
# Builds a Release of TagDesk for the prefix /usr in build/package and makes its Debian packages
# there with cpack (cmake/packaging.cmake): tagdesk, libquillet1, libquillet-dev, libquilletc1
# and libquilletc-dev, each build/package/<package>_<version>_<arch>.deb, and checks them with
# lintian (no error and no warning). Installs what is missing first, like the other commands.
# Prints the packages' paths last.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
tagdesk_ensure_packages "${TAGDESK_PACKAGE_PACKAGES[@]}"

build="$root/build/package"
# The package links Debian's own TagLib, whatever pkg-config was pointed at for other builds.
unset PKG_CONFIG_PATH
# Debian's build flags, all hardening included (fortified functions, stack protector, full
# RELRO, immediate binding), as a package built by Debian's own tools would have them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flag() { (cd "$root" && dpkg-buildflags --get "$1"); }
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$(flag CXXFLAGS) $(flag CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flag LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(flag LDFLAGS)" \
    -DCMAKE_STRIP="$root/cmake/debian/strip.sh" -DTAGDESK_BUILD_TESTS=OFF -DTAGDESK_FAULT_SEAM=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)"

rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB) >"$build/cpack.log" 2>&1 || {
    cat "$build/cpack.log" >&2
    echo "package.sh: cpack failed" >&2
    exit 1
}
debs=()
for package in tagdesk libquillet1 libquillet-dev libquilletc1 libquilletc-dev; do
    deb=$(ls "$build/${package}_"*.deb 2>/dev/null | head -n 1)
    [ -f "$deb" ] || { echo "package.sh: cpack made no $package package in $build" >&2; exit 1; }
    debs+=("$deb")
done
# Info-level tags shown too, so that a new one is seen; those kept on purpose are overridden
# in the packages themselves (cmake/debian/*.lintian-overrides).
if ! lintian --display-info --fail-on error,warning "${debs[@]}" >"$build/lintian.log" 2>&1; then
    cat "$build/lintian.log" >&2
    echo "package.sh: lintian finds errors or warnings" >&2
    exit 1
fi
printf '%s\n' "${debs[@]}"
