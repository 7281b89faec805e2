#!/usr/bin/env bash
# regress.sh <fuzz binary> <seconds> <input dirs...>
# Runs every input in the given folders through the target, then fuzzes for a few seconds more.
# New inputs go to a temporary folder, so the committed corpus is never changed; an input that
# fails is written to the current folder as crash-* (or leak-*, timeout-*). The time limit per
# input only catches hangs: a mutated ASF header can take TagLib most of a minute under the
# sanitizers (fuzz/crashes/README.md), which is slow but not a fault of ours.
set -uo pipefail
binary=$1
seconds=$2
shift 2
dirs=()
for dir in "$@"; do
    [ -d "$dir" ] && dirs+=("$dir")
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/new"
# A leak counts as a failure here as everywhere else.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
"$binary" -max_total_time="$seconds" -timeout=120 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$PWD/" "$scratch/new" "${dirs[@]}" >"$scratch/log" 2>&1
status=$?
# The progress lines say little; keep the summary and anything that went wrong.
grep -a -v -E '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse|RELOAD)' "$scratch/log"
exit $status
