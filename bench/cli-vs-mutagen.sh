#!/usr/bin/env bash
# cli-vs-mutagen.sh <quillet binary> [files]
# Throughput of `quillet show --json` against the same reads done in one Python process by
# mutagen (mutagen-read.py), over small tagged MP3s (default 2000) that each carry an 18 KB
# front cover. The files are made with ffmpeg in a temporary folder and removed afterwards.
# Both sides run in turns, after one warm-up each, so the files come from the page cache and a
# busy moment of the machine does not fall on one side only; the table gives the median run.
set -euo pipefail
quillet=${1:?path of the quillet binary}
count=${2:-2000}
runs=5
here=$(cd "$(dirname "$0")" && pwd)
# Debian's interpreter, the one python3-mutagen is installed for.
python=/usr/bin/python3
"$python" -c 'import mutagen' 2>/dev/null || {
    echo "mutagen is missing: apt-get install python3-mutagen" >&2
    exit 1
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
ff() { nice ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

# A noise JPEG of about 18 KB, and two seconds of tone tagged with it.
ff -f lavfi -i "nullsrc=s=134x134,geq=lum='random(1)*255':cb='random(2)*255':cr=128" \
    -frames:v 1 -q:v 2 "$tmp/cover.jpg"
ff -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -i "$tmp/cover.jpg" \
    -map 0 -map 1 -c:a libmp3lame -b:a 64k -c:v copy -id3v2_version 3 \
    -metadata title="Song" -metadata artist="Artist" -metadata album="Album" \
    -metadata date=2024 -metadata track=7 -metadata genre=Jazz -metadata comment="Comment" \
    -metadata:s:v title="Album cover" -metadata:s:v comment="Cover (front)" "$tmp/song.mp3"
files="$tmp/files"
for ((i = 0; i < count; i += 100)); do
    mkdir -p "$files/$((i / 100))"
    for ((j = i; j < i + 100 && j < count; ++j)); do
        cp "$tmp/song.mp3" "$files/$((i / 100))/song-$j.mp3"
    done
done

# Both sides must read every file, and the same ones.
lines=$("$quillet" show --json "$files" | wc -l)
baseline=$("$python" "$here/mutagen-read.py" "$files" | wc -l)
if [ "$lines" != "$count" ] || [ "$baseline" != "$count" ]; then
    echo "expected $count lines, quillet gave $lines and mutagen $baseline" >&2
    exit 1
fi

seconds() { # <command...>: wall-clock seconds of one run, output discarded
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

jobs=$(nproc)
declare -A times
for ((run = 0; run < runs; ++run)); do
    times[default]+="$(seconds "$quillet" show --json "$files") "
    times[one]+="$(seconds "$quillet" show --json --jobs 1 "$files") "
    times[mutagen]+="$(seconds "$python" "$here/mutagen-read.py" "$files") "
done

cover=$(stat -c %s "$tmp/cover.jpg")
file=$(stat -c %s "$tmp/song.mp3")
echo "show --json over $count MP3s of $file bytes with a $cover-byte cover (median of $runs runs)"
printf '%-34s %9s %12s %8s\n' reader seconds files/s ratio
mutagenTime=$(tr ' ' '\n' <<<"${times[mutagen]}" | grep . | median)
row() { # <label> <seconds>
    awk -v label="$1" -v t="$2" -v m="$mutagenTime" -v n="$count" \
        'BEGIN { printf "%-34s %9.3f %12.0f %7.2fx\n", label, t, n / t, m / t }'
}
row "quillet show --json (--jobs $jobs)" "$(tr ' ' '\n' <<<"${times[default]}" | grep . | median)"
row "quillet show --json --jobs 1" "$(tr ' ' '\n' <<<"${times[one]}" | grep . | median)"
row "mutagen, one process" "$mutagenTime"
