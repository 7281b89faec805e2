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
# shellcheck source-path=SCRIPTDIR
. "$here/smallfiles.sh"
small_mp3 "$tmp"
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
