#!/usr/bin/env bash
# Makes docs/tagdesk.png, the README's and the AppStream metadata's picture of the window: an
# album of the test fixtures (tests/data/), tagged by quillet and given the icon as cover, open in
# tagdesk as a list on a virtual X display (Xvfb), the first row selected. Nothing of it depends
# on this machine but the fonts, so it can be made again after the window changes.
# Usage: screenshot.sh [OUTPUT]   (default docs/tagdesk.png; the build is build/screenshot, or
#                                  the folder TAGDESK_BUILD names)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/tagdesk.png}")
source "$root/scripts/deps.sh"
# Xvfb and xauth for the display, xwininfo to find the window, xdotool to click its first row,
# ffmpeg to take its picture.
tagdesk_ensure_packages xvfb xauth x11-utils xdotool ffmpeg

build=${TAGDESK_BUILD:-$root/build/screenshot}
if [ -z "${TAGDESK_BUILD:-}" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAGDESK_BUILD_TESTS=OFF \
        >/dev/null
fi
cmake --build "$build" --target tagdesk quillet_cli --parallel "$(nproc)" >/dev/null
quillet=$(find "$build/cli" -maxdepth 1 -name quillet -type f -perm -u+x | head -n 1)
[ -n "$quillet" ] || { echo "screenshot.sh: no quillet in $build/cli" >&2; exit 1; }

# A fixed folder, since the form shows the file's path.
work=/tmp/tagdesk-screenshot
rm -rf "$work"
mkdir -m 0700 "$work"
display_pid=
cleanup() {
    [ -z "$display_pid" ] || kill "$display_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The album: one track of each of six kinds, so the list shows that they all read alike.
album="$work/Music/The Tarnwick Quartet - Harbour Lights"
mkdir -p "$album"
n=0
for kind in flac mp3 ogg m4a opus wv; do
    n=$((n + 1))
    title=$(sed -n "${n}p" <<'TITLES'
Low Tide
Lanterns on the Quay
Fog Signal
The Ferryman's Waltz
Salt and Tar
Harbour Lights
TITLES
)
    file="$album/$(printf '%02d' "$n") - $title.$kind"
    cp "$root/tests/data/tone.$kind" "$file"
    "$quillet" set --title "$title" --artist "The Tarnwick Quartet" --album "Harbour Lights" \
        --year 2024 --track "$n" --genre Jazz --cover "$root/app/resources/icons/tagdesk-256.png" \
        "$file" >/dev/null
done
"$quillet" set --comment "Recorded live at the harbour master's house" "$album/01 - Low Tide.flac" \
    >/dev/null

# A home of its own (the sample product database is made there at start) and a display of its
# own; the feeds point at a closed port of the loopback, so nothing leaves the machine.
home="$work/home"
mkdir -p "$home/Documents/Tarnwick"
{
    cat "$root/app/profile/profile-lumo.sql"
    echo "UPDATE product SET xml = 'http://127.0.0.1:9/version.xml';"
} | sqlite3 "$home/Documents/Tarnwick/profile-lumo"
display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
display_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do
    xwininfo -root >/dev/null 2>&1 && break
    sleep 0.2
done

cd "$root/app/profile"
HOME="$home" XDG_CONFIG_HOME="$home/.config" LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb \
    "$build/app/tagdesk" "$album" >"$work/tagdesk.log" 2>&1 &
tagdesk_pid=$!
# The window, once mapped; then time for the list to fill and the cover to be decoded.
window=
for _ in $(seq 100); do
    window=$(xwininfo -root -children 2>/dev/null \
        | awk '/"TagDesk/ && /[0-9]+x[0-9]+\+/ { print $1; exit }')
    [ -z "$window" ] || break
    sleep 0.2
done
[ -n "$window" ] || {
    cat "$work/tagdesk.log" >&2
    echo "screenshot.sh: no tagdesk window appeared" >&2
    exit 1
}
sleep 4
# The first row, just below the list's header: the form then shows that file and its cover. The
# pointer is moved off the window afterwards.
xdotool mousemove --window "$window" 60 51 click 1
sleep 2
xdotool mousemove 1279 899
sleep 0.5
mkdir -p "$(dirname "$out")"
ffmpeg -hide_banner -loglevel error -y -f x11grab -draw_mouse 0 -window_id "$window" \
    -i "$DISPLAY" -frames:v 1 "$out"
kill "$tagdesk_pid" 2>/dev/null || true
wait "$tagdesk_pid" 2>/dev/null || true
echo "$out"
