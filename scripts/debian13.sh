#!/usr/bin/env bash
# The README's two set-up steps on a fresh Debian 13 (trixie), with the environment cleared as CI
# clears it: the run command as far as it goes without a display, and the whole test command
# (scripts/test.sh --all: every stage but this one, which skips itself there) against trixie's
# Qt 6.8, TagLib 2, GCC 14, MinGW-w64 and Wine. The last stage of scripts/test.sh on any other
# release.
#
# A minimal trixie is made with debootstrap (from the mirror apt on this machine uses) in
# build/debian13/root and reused while its package lists are fresh (a day); older ones are
# updated and the system upgraded first. The source tree is copied to /src/tagdesk there, its
# build folders kept between runs. /proc, /sys and /dev are mounted in a mount namespace of
# this script's own, so they go with it however it ends; where / is not a mount point (a chroot)
# that namespace cannot be made private, and the mounts are only undone when the script exits.
# Needs root and the network. Usage: debian13.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
system="$root/build/debian13/root"
release=trixie

[ "$(id -u)" -eq 0 ] || { echo "debian13.sh: needs root (debootstrap, chroot, mounts)" >&2; exit 1; }

# Mounts made inside a private namespace never reach the machine's own mount table. In a chroot
# the propagation of / cannot be changed ("Invalid argument"): a namespace that inherits it, then.
if [ "${1:-}" != --in-namespace ]; then
    propagation=private
    unshare --mount --propagation private true 2>/dev/null || propagation=unchanged
    exec unshare --mount --propagation "$propagation" -- bash "$0" --in-namespace
fi

source "$root/scripts/deps.sh"
tagdesk_ensure_packages debootstrap
step() { echo "== debian13: $* (at ${SECONDS} s)"; }

fresh_lists=true
if [ ! -f "$system/etc/debian_version" ] || [ ! -x "$system/usr/bin/apt-get" ]; then
    step "debootstrap $release"
    fresh_lists=false # debootstrap's lists know only the main suite
    mirror=$(tagdesk_debian_mirror)
    security=$(tagdesk_debian_mirror Debian-Security)
    [ -n "$mirror" ] || { echo "debian13.sh: apt names no Debian mirror" >&2; exit 1; }
    rm -rf "$system"
    mkdir -p "$(dirname "$system")"
    debootstrap --variant=minbase "$release" "$system" "$mirror" >"$system.log" 2>&1 || {
        tail -n 20 "$system.log" >&2
        echo "debian13.sh: debootstrap failed (whole log: $system.log)" >&2
        exit 1
    }
    {
        echo "deb $mirror $release main"
        echo "deb $mirror $release-updates main"
        [ -z "$security" ] || echo "deb $security $release-security main"
    } >"$system/etc/apt/sources.list"
fi

unmount() {
    umount -R "$system/dev" 2>/dev/null || true
    umount "$system/sys" "$system/proc" 2>/dev/null || true
}
trap unmount EXIT
mount -t proc proc "$system/proc"
mount -t sysfs sysfs "$system/sys"
# The host's devices: /dev/null and friends, and /dev/fuse for the FAT stick of tst_mounts.
mount --rbind /dev "$system/dev"
cp /etc/resolv.conf "$system/etc/resolv.conf"

# What CI gives: a cleared environment with a plain PATH and root's home.
in_root() {
    chroot "$system" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root "$@"
}

if ! $fresh_lists \
    || [ -z "$(find "$system/var/lib/apt/lists" -maxdepth 1 -name '*_InRelease' -mmin -1440)" ]; then
    step "package lists"
    in_root apt-get update -qq
    in_root sh -c 'DEBIAN_FRONTEND=noninteractive apt-get dist-upgrade -y -qq >/dev/null'
fi

step "source"
src="$system/src/tagdesk"
mkdir -p "$src"
find "$src" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
# Times kept, so that a reused build folder rebuilds only what changed.
tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$src" -xf -

step "run command"
if out=$(in_root bash /src/tagdesk/scripts/run.sh 2>&1); then
    echo "debian13.sh: the run command started without a display:"$'\n'"$out" >&2
    exit 1
fi
grep -q '^run.sh: no graphical display' <<<"$out" || {
    echo "debian13.sh: the run command failed otherwise than for the display:"$'\n'"$out" >&2
    exit 1
}
echo "$out" | head -n 1

step "test command"
in_root bash /src/tagdesk/scripts/test.sh --all
step "done"
