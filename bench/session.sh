#!/usr/bin/env bash
# bench/session.sh [build dir] [count]
# The editing session over 20,000 MP3s (about 15 keys and a 100 KB cover each) against the
# quillet command on the same files, one run each after a warm-up (the files then come from the
# page cache): the time until every row is read against `quillet show --json --jobs 2`, the time
# until the first rows, the longest gap of a 10 ms timer on the GUI thread while reading, sorting
# by a column, typing a field into every row, undoing that and saving, and the peak memory.
# The files are kept in $TAGDESK_BENCH_DATA or ${XDG_CACHE_HOME:-$HOME/.cache}/tagdesk-bench.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/bench}
count=${2:-20000}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAGDESK_BENCH=ON \
    -DTAGDESK_BUILD_TESTS=OFF >/dev/null
nice cmake --build "$build" --target session_bench quillet_cli --parallel 2 >/dev/null
bench="$build/bench/session_bench"
quillet="$build/cli/quillet"
data=${TAGDESK_BENCH_DATA:-${XDG_CACHE_HOME:-$HOME/.cache}/tagdesk-bench}/session-$count
ff() { nice ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

if [ ! -f "$data/done" ]; then
    rm -rf "$data" && mkdir -p "$data"
    ff -f lavfi -i "nullsrc=s=330x330,geq=lum='random(1)*255':cb='random(2)*255':cr=128" \
        -frames:v 1 -q:v 2 "$data/cover.jpg"
    ff -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -i "$data/cover.jpg" \
        -map 0 -map 1 -c:a libmp3lame -b:a 64k -c:v copy -id3v2_version 3 \
        -metadata title=Song -metadata artist=Artist -metadata album=Album -metadata date=2024 \
        -metadata track=7/12 -metadata genre=Jazz -metadata album_artist=Band \
        -metadata disc=1/2 -metadata composer=Writer -metadata publisher=Label \
        -metadata copyright=2024 -metadata language=eng -metadata comment=Note \
        -metadata "MusicBrainz Album Id=0f7e4a8c-5b3e-4c55-9d2f-2f2b1c9a1e11" \
        -metadata "CATALOGNUMBER=CAT-1" "$data/song.mp3"
    for ((i = 0; i < count; ++i)); do
        mkdir -p "$data/files/$((i / 100))"
        cp "$data/song.mp3" "$data/files/$((i / 100))/song-$(printf %05d $i).mp3"
    done
    touch "$data/done"
fi

seconds() { # <command...>: wall-clock seconds
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
field() { awk -v k="$1" '{ for (i = 1; i < NF; ++i) if ($i == k) print $(i + 1) }'; }

files="$data/files"
"$quillet" show --json --jobs 2 "$files" >/dev/null
cli_read=$(seconds "$quillet" show --json --jobs 2 "$files")
# Saving writes the files: a copy for each run.
scratch=$(mktemp -d "$data/../session-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cp -r "$files" "$scratch/files"
line=$("$bench" "$scratch/files")
all=$(awk -v ms="$(field all_ms <<<"$line")" 'BEGIN { printf "%.3f", ms / 1000 }')

printf '%-44s %10s %10s %8s %8s\n' case session quillet ratio target
printf '%-44s %10s %10s %8s %8s\n' "all $count rows (s)" "$all" "$cli_read" \
    "$(awk -v a="$all" -v b="$cli_read" 'BEGIN { printf "%.2f", a / b }')" "<= 1.5"
printf '%-44s %10s %10s %8s %8s\n' "first rows (ms)" "$(field first_ms <<<"$line")" - - "<= 300"
for step in read sort type undo save; do
    printf '%-44s %10s %10s %8s %8s\n' "longest timer gap, $step (ms)" \
        "$(field ${step}_gap_ms <<<"$line")" - - "<= 50"
done
printf '%-44s %10s %10s %8s %8s\n' "peak memory (MB)" "$(field peak_rss_mb <<<"$line")" - - \
    "<= 250"
printf '%-44s %10s\n' "save of every row (s)" \
    "$(awk -v ms="$(field save_ms <<<"$line")" 'BEGIN { printf "%.3f", ms / 1000 }')"
