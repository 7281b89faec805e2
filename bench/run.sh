#!/usr/bin/env bash
# bench/run.sh [build dir] [extra Google Benchmark flags...]
# Builds the benchmarks (Release), makes the large audio files on first use (cached outside the
# repository, see make-files.sh), runs every case and prints the tables: time per call of
# readTag and saveTag against the same work straight on TagLib, the ratio, the 300 MB / 3 MB
# ratio of readTag, the bytes each save writes, the peak memory of readTag with a 10 MB cover, the
# editor's Open of an mp3 with a 3000 x 3000 cover against readTag alone, and the throughput of
# `quillet show --json` against Python's mutagen over 2000 small MP3s (cli-vs-mutagen.sh), and
# `quillet rename` and `set --from-name` against `quillet set` on 2000 of them (names.sh).
# Example: bench/run.sh build/bench --benchmark_filter='read/.*'
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/bench}
shift || true

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAGDESK_BENCH=ON \
    -DTAGDESK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" \
    --target quillet_bench quillet_peakmem bench_addcover editor_bench quillet_cli \
    --parallel "$(nproc)" >/dev/null
"$root/bench/make-files.sh" "$build/bench/bench_addcover" >/dev/null
data=${TAGDESK_BENCH_DATA:-${XDG_CACHE_HOME:-$HOME/.cache}/tagdesk-bench}

# Repetitions run in random order, so that a busy moment of the machine does not fall on one
# side of a comparison only. Saves are taken at each case's best repetition; reads, whose calls
# are paired with the baseline's, at the median over the repetitions.
"$build/bench/quillet_bench" --benchmark_repetitions=10 --benchmark_enable_random_interleaving=true \
    --benchmark_min_time=0.3 --benchmark_color=false "$@" | sed -n '/^readTag (/,$p'

echo
echo "readTag peak memory with a 10 MB cover (MB; target: 2.5 x cover + 2 MB)"
printf '%-6s %8s %10s %10s %12s %8s\n' kind cover heap rss "taglib heap" target
mib() { awk -v b="$1" 'BEGIN { printf "%.2f", b / 1048576 }'; }
for kind in mp3 flac wma; do
    file="$data/audio-3M-cover10M.$kind"
    read -r heap rss cover < <("$build/bench/quillet_peakmem" "$file")
    read -r direct _ _ < <("$build/bench/quillet_peakmem" --taglib "$file")
    peak=$((heap > rss ? heap : rss))
    limit=$((cover * 5 / 2 + 2 * 1048576))
    verdict=$([ "$peak" -le "$limit" ] && echo met || echo MISSED)
    printf '%-6s %8s %10s %10s %12s %8s\n' "$kind" "$(mib "$cover")" "$(mib "$heap")" \
        "$(mib "$rss")" "$(mib "$direct")" "$verdict"
done

# Its own repetitions, each a median over calls of the variants taken in turn: Open until it
# returns, and until its cover, decoded in the background, is shown.
echo
QT_QPA_PLATFORM=offscreen "$build/bench/editor_bench" --benchmark_repetitions=5 \
    --benchmark_min_time=1 --benchmark_color=false | sed -n '/^Open of /,$p'

echo
"$root/bench/cli-vs-mutagen.sh" "$build/cli/quillet"

echo
"$root/bench/names.sh" "$build/cli/quillet"
