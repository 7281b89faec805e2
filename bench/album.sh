#!/usr/bin/env bash
# bench/album.sh [build dir]
# The window's list over 2,000 MP3s against the quillet command on the same files, one run each
# after a warm-up (the files then come from the page cache):
#   reading, 100 KB covers: the time until every row is in the list against
#     `quillet show --json --jobs 2`, the time until the first rows, the longest gap of a 10 ms
#     timer on the GUI thread;
#   reading, 1 MB covers: the process's peak resident memory;
#   saving a new album into 500 of the files against `quillet set --album X --jobs 2`, each on
#     fresh copies, with the longest timer gap while saving.
# The files are kept in $TAGDESK_BENCH_DATA or ${XDG_CACHE_HOME:-$HOME/.cache}/tagdesk-bench.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAGDESK_BENCH=ON \
    -DTAGDESK_BUILD_TESTS=OFF >/dev/null
nice cmake --build "$build" --target album_bench quillet_cli --parallel 2 >/dev/null
bench="$build/bench/album_bench"
quillet="$build/cli/quillet"
data=${TAGDESK_BENCH_DATA:-${XDG_CACHE_HOME:-$HOME/.cache}/tagdesk-bench}
count=2000
ff() { nice ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

# <folder> <cover side>: count copies of two seconds of tagged tone with a noise JPEG cover of
# about 0.9 bytes per pixel, a hundred to a subfolder.
album() {
    [ -f "$1/done" ] && return 0
    rm -rf "$1" && mkdir -p "$1"
    ff -f lavfi -i "nullsrc=s=$2x$2,geq=lum='random(1)*255':cb='random(2)*255':cr=128" \
        -frames:v 1 -q:v 2 "$1/cover.jpg"
    ff -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -i "$1/cover.jpg" \
        -map 0 -map 1 -c:a libmp3lame -b:a 64k -c:v copy -id3v2_version 3 \
        -metadata title=Song -metadata artist=Artist -metadata album=Album -metadata date=2024 \
        -metadata track=7 -metadata genre=Jazz "$1/song.mp3"
    for ((i = 0; i < count; ++i)); do
        mkdir -p "$1/files/$((i / 100))"
        cp "$1/song.mp3" "$1/files/$((i / 100))/song-$(printf %04d $i).mp3"
    done
    touch "$1/done"
}
album "$data/album-100k" 330
album "$data/album-1m" 1050

seconds() { # <command...>: wall-clock seconds
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
field() { awk -v k="$1" '{ for (i = 1; i < NF; ++i) if ($i == k) print $(i + 1) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

export QT_QPA_PLATFORM=offscreen
files="$data/album-100k/files"
"$quillet" show --json --jobs 2 "$files" >/dev/null
"$bench" read "$files" >/dev/null
cli_read=$(seconds "$quillet" show --json --jobs 2 "$files")
read_line=$("$bench" read "$files")
list_read=$(awk -v ms="$(field all_ms <<<"$read_line")" 'BEGIN { printf "%.3f", ms / 1000 }')
memory_line=$("$bench" read "$data/album-1m/files")

# Fresh copies of 500 files for each side: a save that changes nothing writes nothing.
scratch=$(mktemp -d "$data/save.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
copies() { mkdir -p "$scratch/$1" && cp "$files"/0/*.mp3 "$files"/1/*.mp3 "$files"/2/*.mp3 \
    "$files"/3/*.mp3 "$files"/4/*.mp3 "$scratch/$1/"; }
copies cli && copies list
cli_save=$(seconds "$quillet" set --album X --jobs 2 "$scratch/cli")
save_line=$("$bench" save "$scratch/list" 500 X)
list_save=$(awk -v ms="$(field all_ms <<<"$save_line")" 'BEGIN { printf "%.3f", ms / 1000 }')

printf '%-44s %10s %10s %8s %8s\n' case tagdesk quillet ratio target
printf '%-44s %10s %10s %8s %8s\n' "all $count rows (s), 100 KB covers" "$list_read" "$cli_read" \
    "$(ratio "$list_read" "$cli_read")" "<= 1.5"
printf '%-44s %10s %10s %8s %8s\n' "first rows (ms)" "$(field first_ms <<<"$read_line")" - - "<= 300"
printf '%-44s %10s %10s %8s %8s\n' "longest timer gap while reading (ms)" \
    "$(field max_gap_ms <<<"$read_line")" - - "<= 50"
printf '%-44s %10s %10s %8s %8s\n' "peak memory, 1 MB covers (MB)" \
    "$(field peak_rss_mb <<<"$memory_line")" - - "<= 150"
printf '%-44s %10s %10s %8s %8s\n' "new album into 500 files (s)" "$list_save" "$cli_save" \
    "$(ratio "$list_save" "$cli_save")" "<= 1.5"
printf '%-44s %10s %10s %8s %8s\n' "longest timer gap while saving (ms)" \
    "$(field max_gap_ms <<<"$save_line")" - - "<= 50"
