#!/usr/bin/env bash
# Builds TagDesk and starts it with the sample product profile: the sample database is put at
# $HOME/Documents/Tarnwick/profile-lumo unless one is there already (a user's own database is
# never replaced), and tagdesk runs in app/profile/, which holds the sample "tconfig".
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

db="$HOME/Documents/Tarnwick/profile-lumo"
if [ -e "$db" ]; then
    echo "Using the product database already at $db"
else
    mkdir -p "$(dirname "$db")"
    # Built beside it and moved into place, so a failed import leaves no half database.
    tmp="$db.new.$$"
    rm -f "$tmp"
    sqlite3 "$tmp" <"$root/app/profile/profile-lumo.sql" || { rm -f "$tmp"; exit 1; }
    mv "$tmp" "$db"
    echo "Installed the sample product database at $db"
fi

cd "$root/app/profile"
exec "$build/app/tagdesk"
