#!/usr/bin/env bash
# names.sh <quillet binary> [files]
# `quillet rename` and `quillet set --from-name` over small tagged MP3s (default 2000, as
# cli-vs-mutagen.sh makes them, named "NNNN - Song N.mp3"), against `quillet set` changing one
# field of the same files. Each round, in turn: set --album (a save of every file), set
# --from-name (the comment and track read from the names: a save of every file, the comment
# emptied before, untimed), rename to "%comment% (%track%)" (renamed back after, untimed). The
# table gives the median round.
set -euo pipefail
quillet=${1:?path of the quillet binary}
count=${2:-2000}
runs=5
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# shellcheck source-path=SCRIPTDIR
. "$here/smallfiles.sh"
small_mp3 "$tmp"
files="$tmp/files"
mkdir "$files"
for ((i = 1; i <= count; ++i)); do
    cp "$tmp/song.mp3" "$(printf '%s/%04d - Song %d.mp3' "$files" "$i" "$i")"
done
q() { "$quillet" "$@" >/dev/null; }
q set --from-name "%track% - %comment%" "$files"

declare -A times
for ((run = 0; run < runs; ++run)); do
    times[set]+="$(seconds "$quillet" set --album "Album $run" "$files") "
    q set --comment= "$files"
    times[fromname]+="$(seconds "$quillet" set --from-name "%track% - %comment%" "$files") "
    times[rename]+="$(seconds "$quillet" rename --pattern "%comment% (%track%)" "$files") "
    q rename --pattern "%track:4% - %comment%" "$files"
done
if [ "$(find "$files" -name '* - Song *.mp3' | wc -l)" != "$count" ]; then
    echo "the files did not come back to their names" >&2
    exit 1
fi

echo "$count MP3s of $(stat -c %s "$tmp/song.mp3") bytes (median of $runs rounds, --jobs $(nproc))"
printf '%-48s %9s %12s %8s\n' command seconds files/s "/ set"
setTime=$(tr ' ' '\n' <<<"${times[set]}" | grep . | median)
row() { # <label> <seconds>
    awk -v label="$1" -v t="$2" -v s="$setTime" -v n="$count" \
        'BEGIN { printf "%-48s %9.3f %12.0f %7.2fx\n", label, t, n / t, t / s }'
}
row "quillet set --album A" "$setTime"
row "quillet set --from-name \"%track% - %comment%\"" \
    "$(tr ' ' '\n' <<<"${times[fromname]}" | grep . | median)"
row "quillet rename --pattern \"%comment% (%track%)\"" \
    "$(tr ' ' '\n' <<<"${times[rename]}" | grep . | median)"
