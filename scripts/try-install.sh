#!/usr/bin/env bash
# Installs the packages tagdesk and libquillet1 on a fresh Debian 12 and runs what they installed,
# as a new user would.
# A minimal bookworm is made once with debootstrap in FOLDER/base (from the mirror apt on this
# machine uses) and kept; each run works in a fresh copy of it, FOLDER/run, removed afterwards.
# There `apt install ./tagdesk_<version>_<arch>.deb ./libquillet1_<version>_<arch>.deb` must pull
# in every other dependency; then, as a new
# user: tagdesk --version, quillet --version and quillet show on a fixture, and a first start of
# tagdesk (offscreen, in /usr/share/tagdesk as the desktop entry starts it) that must make the
# product database from the installed sample and read its profile without an error.
# Needs root and the network; not part of the test command (a few minutes, ~400 MB of disk).
# Usage: try-install.sh [BUILD] [FOLDER]   (defaults: build/package, /var/tmp/tagdesk-bookworm)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/package}
folder=${2:-/var/tmp/tagdesk-bookworm}
debs=()
for package in tagdesk libquillet1; do
    deb=$(ls "$build/${package}_"*.deb 2>/dev/null | head -n 1)
    [ -f "$deb" ] || { echo "try-install.sh: no $package package; run scripts/package.sh first" >&2; exit 1; }
    debs+=("$deb")
done
[ "$(id -u)" -eq 0 ] || { echo "try-install.sh: needs root (debootstrap, chroot)" >&2; exit 1; }
source "$root/scripts/deps.sh"
tagdesk_ensure_packages debootstrap

base="$folder/base"
if [ ! -f "$base/etc/debian_version" ]; then
    mirror=$(tagdesk_debian_mirror)
    security=$(tagdesk_debian_mirror Debian-Security)
    [ -n "$mirror" ] || { echo "try-install.sh: apt names no Debian mirror" >&2; exit 1; }
    rm -rf "$base"
    debootstrap --variant=minbase bookworm "$base" "$mirror"
    {
        echo "deb $mirror bookworm main"
        echo "deb $mirror bookworm-updates main"
        [ -z "$security" ] || echo "deb $security bookworm-security main"
    } >"$base/etc/apt/sources.list"
fi

run="$folder/run"
cleanup() {
    umount "$run/proc" 2>/dev/null || true
    rm -rf "$run"
}
trap cleanup EXIT
cleanup
cp -a "$base" "$run"
# Qt finds the program's own folder, and with it the sample database, through /proc/self/exe.
mount -t proc proc "$run/proc"
cp /etc/resolv.conf "$run/etc/resolv.conf"
in_root() { chroot "$run" "$@"; }

names=()
for deb in "${debs[@]}"; do
    cp "$deb" "$run/tmp/"
    names+=("./$(basename "$deb")")
done
in_root apt-get update -qq
in_root sh -c "cd /tmp && DEBIAN_FRONTEND=noninteractive apt-get install -y -q ${names[*]}" \
    | grep -E '^(Setting up (tagdesk|libquillet1)|Need to get|[0-9]+ upgraded)' || true
for package in tagdesk libquillet1; do
    in_root dpkg-query -W -f='${Status} ${Version}\n' "$package" | grep -q '^install ok installed' \
        || { echo "try-install.sh: $package is not installed" >&2; exit 1; }
done

in_root useradd --create-home newuser
# What a desktop session gives its user.
in_root install -d -m 700 -o newuser -g newuser /run/user/newuser
as_user() {
    # A cleared environment: the C locale, in which the programs switch to UTF-8 by themselves.
    chroot --userspec=newuser:newuser "$run" env -i PATH=/usr/bin:/bin HOME=/home/newuser \
        QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/run/user/newuser "$@"
}
failures=0
check() { # check <what> <command...>: runs the command in the installed system as the new user
    local what=$1
    shift
    if out=$(as_user "$@" 2>&1); then
        echo "ok: $what: $(head -n 1 <<<"$out")"
    else
        echo "FAILED: $what:"$'\n'"$out" >&2
        failures=$((failures + 1))
    fi
}
cp "$root/tests/data/tone.mp3" "$run/home/newuser/tone.mp3"
in_root chown newuser:newuser /home/newuser/tone.mp3
check "tagdesk --version" /usr/bin/tagdesk --version
check "quillet --version" /usr/bin/quillet --version
check "quillet show" sh -c '/usr/bin/quillet show ~/tone.mp3 | grep -- "-- AUDIO --"'
check "quillet set" sh -c '/usr/bin/quillet set --title Installed ~/tone.mp3 &&
    /usr/bin/quillet show --json ~/tone.mp3 | grep "\"title\":\"Installed\""'

# First start: started where the desktop entry starts it, until the database is there.
check "first start" sh -c '
    cd /usr/share/tagdesk
    /usr/bin/tagdesk >/tmp/tagdesk.log 2>&1 &
    pid=$!
    db=$HOME/Documents/Tarnwick/profile-lumo
    for i in $(seq 1 300); do
        [ -f "$db" ] && break
        sleep 0.1
    done
    sleep 2 # the window reads its profile
    kill $pid
    cat /tmp/tagdesk.log
    cmp "$db" /usr/share/tagdesk/profile-lumo || exit 1
    ! grep -E "fileopen error|sqlite error|QSqlError|no product database" /tmp/tagdesk.log'

if [ "$failures" -ne 0 ]; then
    echo "try-install.sh: $failures checks failed" >&2
    exit 1
fi
echo "try-install.sh: ${names[*]} install on a fresh Debian 12 and run"
