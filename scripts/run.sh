#!/usr/bin/env bash
# Builds TagDesk and starts it with the sample product profile.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
tagdesk_ensure_packages

build="$root/build/run"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAGDESK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)"

if [ ! -x "$build/app/tagdesk" ]; then
    echo "Built quillet; the program tagdesk is not there yet."
    exit 0
fi
exec "$build/app/tagdesk"
