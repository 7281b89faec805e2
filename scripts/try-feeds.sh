#!/usr/bin/env bash
# Serves the sample feeds in scripts/feed-samples/ on 127.0.0.1 and starts tagdesk against them,
# with a throw-away home folder whose product database points the version check there too:
# "Other Freeware" fills with grouped entries and the status bar reports version 1.1.0.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
port=${TAGDESK_SAMPLE_PORT:-8765}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "try-feeds.sh: no graphical display: neither DISPLAY nor WAYLAND_DISPLAY is set." >&2
    exit 1
fi

source "$root/scripts/deps.sh"
tagdesk_ensure_packages python3

build="$root/build/feeds"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAGDESK_BUILD_TESTS=OFF \
    -DTAGDESK_FEED_URL="http://127.0.0.1:$port/e/get-ad.php" >/dev/null
cmake --build "$build" --parallel "$(nproc)"

home=$(mktemp -d)
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null || true
    rm -rf "$home"
}
trap cleanup EXIT

mkdir -p "$home/Documents/Tarnwick"
{
    cat "$root/app/profile/profile-lumo.sql"
    echo "UPDATE product SET xml = 'http://127.0.0.1:$port/version.xml';"
} | sqlite3 "$home/Documents/Tarnwick/profile-lumo"

python3 -m http.server --bind 127.0.0.1 --directory "$root/scripts/feed-samples" "$port" \
    >/dev/null 2>&1 &
server=$!
sleep 0.5

cd "$root/app/profile"
HOME="$home" "$build/app/tagdesk"
