#!/usr/bin/env bash
# cli-vs-mutagen.sh <quillet binary> [files]
# Throughput of `quillet show --json` against the same reads done in one Python process by
# mutagen (mutagen-read.py), over small tagged MP3s (default 2000) that each carry an 18 KB
# front cover and about 20 keys. Beside it, `show --csv` against `show --json` over the same
# files, and `set --from-csv` of a table that changes one field of every file against `set` of
# that field. The files are made with ffmpeg in a temporary folder and removed afterwards.
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
# About 20 keys a file, as an album tagged by a tagger has them.
"$quillet" set --album-artist "Album Artist" --disc 1/2 --track 7/12 --composer Composer \
    --lyricist Lyricist --bpm 120 --label Label --catalog-number CAT-001 --barcode 0123456789 \
    --isrc XXA012345678 --media CD --release-country GB \
    --musicbrainz-recording-id 8f3471b5-7e6a-48da-86a9-c1c07a0f47ae \
    --musicbrainz-release-id 1e0eee38-a9f6-49bf-84d0-45d0647799af \
    --tag "ARTISTS=A" --tag "ARTISTS=B" "$tmp/song.mp3"
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

keys=$("$quillet" show --json "$tmp/song.mp3" | "$python" -c 'import json, sys; print(len(json.load(sys.stdin)["tags"]))')
rows=$("$quillet" show --csv "$files" | wc -l)
if [ "$rows" != "$((count + 1))" ]; then
    echo "expected $((count + 1)) rows, show --csv gave $rows" >&2
    exit 1
fi
# table <value>: a table that sets every file's composer to value.
table() {
    { echo "path,COMPOSER"; find "$files" -name '*.mp3' | sort | sed "s|\$|,$1|"; } >"$tmp/table.csv"
}

jobs=$(nproc)
declare -A times
for ((run = 0; run < runs; ++run)); do
    times[default]+="$(seconds "$quillet" show --json "$files") "
    times[one]+="$(seconds "$quillet" show --json --jobs 1 "$files") "
    times[mutagen]+="$(seconds "$python" "$here/mutagen-read.py" "$files") "
    times[csv]+="$(seconds "$quillet" show --csv "$files") "
    # Each run changes the field: a file that holds the value already is not written.
    times[set]+="$(seconds "$quillet" set --composer "Set $run" "$files") "
    table "Table $run"
    times[fromcsv]+="$(seconds "$quillet" set --from-csv "$tmp/table.csv") "
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

echo
echo "the same files, $keys keys each (median of $runs runs, --jobs $jobs)"
printf '%-34s %9s %12s %8s\n' command seconds files/s ratio
pair() { # <label> <seconds> <seconds of what it is compared with>
    awk -v label="$1" -v t="$2" -v b="$3" -v n="$count" \
        'BEGIN { printf "%-34s %9.3f %12.0f %7.2fx\n", label, t, n / t, t / b }'
}
json=$(tr ' ' '\n' <<<"${times[default]}" | grep . | median)
set=$(tr ' ' '\n' <<<"${times[set]}" | grep . | median)
pair "quillet show --json" "$json" "$json"
pair "quillet show --csv (of --json)" "$(tr ' ' '\n' <<<"${times[csv]}" | grep . | median)" "$json"
pair "quillet set --composer" "$set" "$set"
pair "quillet set --from-csv (of set)" "$(tr ' ' '\n' <<<"${times[fromcsv]}" | grep . | median)" "$set"
