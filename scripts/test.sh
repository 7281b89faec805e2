#!/usr/bin/env bash
# Builds TagDesk with warnings as errors and runs every test through CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
tagdesk_ensure_packages

jobs=$(nproc)
build="$root/build/test"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTAGDESK_WERROR=ON >/dev/null
cmake --build "$build" --parallel "$jobs"

export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure --parallel "$jobs" --timeout 600
