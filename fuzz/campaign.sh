#!/usr/bin/env bash
# campaign.sh <readtag|savetag> <minutes> [build dir]
# A long fuzzing run of one target against a TagLib built with coverage and sanitizers
# (fuzz/build-taglib.sh), started from the committed corpus. The growing corpus, the log and any
# failing input stay in the cache folder ($cache/<target>/), outside the repository; failing
# inputs worth keeping are then committed by hand under fuzz/crashes/ or fuzz/regressions/.
# Runs at low priority on one core so that it can share the machine.
# Undefined behaviour inside TagLib is logged and the run goes on (see build-taglib.sh); so is
# undefined behaviour in our code when TAGDESK_FUZZ_RECOVER_UB=1, so that one known fault does not
# stop every run (the log names each place once). Memory errors and failed checks always stop.
set -euo pipefail
target=${1:?readtag or savetag}
minutes=${2:?minutes}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${3:-$root/build/fuzz-campaign}
cache=${TAGDESK_FUZZ_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tagdesk-fuzz}

prefix=$("$root/fuzz/build-taglib.sh")
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTAGDESK_FUZZ=ON -DTAGDESK_BUILD_TESTS=OFF -DTAGDESK_FUZZ_TAGLIB_PREFIX="$prefix" \
    -DTAGDESK_FUZZ_RECOVER_UB="${TAGDESK_FUZZ_RECOVER_UB:-0}" >/dev/null
nice cmake --build "$build" --target "fuzz_$target" --parallel 2 >/dev/null

out="$cache/$target"
mkdir -p "$out/corpus" "$out/artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
echo "fuzz_$target for $minutes minutes; log: $out/log"
# A failing input stops libFuzzer; it is kept in artifacts/ and the run goes on from the grown
# corpus until the time is used up. The time limit per input is generous: some ASF headers take
# TagLib close to a minute under the sanitizers (fuzz/crashes/README.md), more on a busy machine.
end=$(($(date +%s) + minutes * 60))
: >"$out/log"
while [ "$(date +%s)" -lt "$end" ]; do
    left=$((end - $(date +%s)))
    nice -n 15 "$build/fuzz/fuzz_$target" -max_total_time="$left" -timeout=120 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/artifacts/" \
        "$out/corpus" "$root/fuzz/corpus" >>"$out/log" 2>&1 || sleep 1
done
grep -a -E 'runtime error|ERROR: AddressSanitizer|ERROR: LeakSanitizer|fuzz check|Test unit written|stat::' \
    "$out/log" | sort | uniq -c | sort -rn | head -n 40
ls -l "$out/artifacts"
