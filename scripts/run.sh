#!/usr/bin/env bash
# Builds TagDesk and starts it with the sample product profile: tagdesk runs in app/profile/,
# which holds the sample "tconfig", and on its first start puts the sample database, built beside
# it, at $HOME/Documents/Tarnwick/profile-lumo (a user's own database is never replaced).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# tagdesk is a desktop program: without a display there is nothing to show it on.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no graphical display: neither DISPLAY nor WAYLAND_DISPLAY is set." >&2
    echo "tagdesk is a desktop program; run this from a desktop session (with sudo, keep" \
        "DISPLAY, e.g. sudo --preserve-env=DISPLAY,XAUTHORITY)." >&2
    exit 1
fi

source "$root/scripts/deps.sh"
tagdesk_ensure_packages

build="$root/build/run"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAGDESK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)"

cd "$root/app/profile"
exec "$build/app/tagdesk"
