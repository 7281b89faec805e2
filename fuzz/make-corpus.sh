#!/usr/bin/env bash
# Makes the small seed corpus under fuzz/corpus/ from the test fixtures: the fixtures as they are,
# and tagged copies (text fields, a tiny cover) in more containers, so that the fuzzers start from
# every tag format TagLib reads. The result is committed; run this only to remake it.
# Usage: make-corpus.sh [bench_addcover binary]  (with it, also a wma holding a cover, which
# ffmpeg cannot write)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
data="$root/tests/data"
out="$root/fuzz/corpus"
rm -rf "$out"
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
meta=(-metadata title="Seed title" -metadata artist="Seed artist" -metadata album="Seed album"
    -metadata date=2015 -metadata track=7 -metadata genre=Rock -metadata comment="Seed comment")

# A 16x16 JPEG as the cover.
ff -f lavfi -i "testsrc=size=16x16:rate=1" -frames:v 1 -q:v 5 "$tmp/cover.jpg"
sine="sine=frequency=440:sample_rate=8000:duration=0.3"

for f in tone.mp3 tone.flac tone.wma tone.ogg tone.m4a tone.wav; do
    cp "$data/$f" "$out/plain-$f"
done

# Tagged, with the cover as an attached picture where the muxer can store one.
ff -i "$data/tone.mp3" -i "$tmp/cover.jpg" -map 0 -map 1 -c copy -id3v2_version 4 \
    -metadata:s:v comment="Cover (front)" "${meta[@]}" "$out/tagged-cover.mp3"
ff -i "$data/tone.mp3" -c copy -id3v2_version 3 -write_id3v1 1 "${meta[@]}" "$out/tagged-v23-v1.mp3"
ff -f lavfi -i "$sine" -i "$tmp/cover.jpg" -map 0 -map 1 -ac 1 -c:a flac -c:v copy \
    -disposition:v attached_pic -metadata:s:v comment="Cover (front)" "${meta[@]}" "$out/tagged-cover.flac"
ff -f lavfi -i "$sine" -ac 1 -c:a aac -b:a 8k -i "$tmp/cover.jpg" -map 0 -map 1 -c:v copy \
    -disposition:v attached_pic "${meta[@]}" "$out/tagged-cover.m4a" 2>/dev/null \
    || ff -f lavfi -i "$sine" -ac 1 -c:a aac -b:a 8k "${meta[@]}" "$out/tagged.m4a"
ff -f lavfi -i "$sine" -ac 1 -c:a wmav2 -b:a 24k "${meta[@]}" "$out/tagged.wma"
ff -f lavfi -i "$sine" -ac 1 -c:a libvorbis -q:a 0 "${meta[@]}" "$out/tagged.ogg"
ff -f lavfi -i "$sine" -ac 1 -c:a libopus -b:a 8k "${meta[@]}" "$out/tagged.opus"
ff -f lavfi -i "$sine" -ac 1 -c:a pcm_u8 "${meta[@]}" "$out/tagged.wav"
ff -f lavfi -i "$sine" -ac 1 -c:a pcm_s16be -write_id3v2 1 "${meta[@]}" "$out/tagged.aiff"
ff -f lavfi -i "$sine" -ac 1 -c:a wavpack "${meta[@]}" "$out/tagged.wv"
ff -f lavfi -i "$sine" -ac 1 -c:a tta "$out/plain.tta"
if [ -n "${1:-}" ]; then
    cp "$data/tone.wma" "$out/tagged-cover.wma"
    "$1" "$out/tagged-cover.wma" "$tmp/cover.jpg"
fi
ls -l "$out"
du -sh "$out"
