#!/usr/bin/env bash
# Makes the small audio fixtures under tests/data/ with ffmpeg. They are committed; run this
# only to remake them. Tags and pictures are added by the tests themselves, on copies.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data"
mkdir -p "$out"

# Quiet tone: real audio frames that compress to almost nothing.
src() { echo "sine=frequency=440:sample_rate=${2:-8000}:duration=$1"; }
ff() { ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$1" -map_metadata -1 -fflags +bitexact "${@:2}"; }

ff "$(src 1 16000)" -ac 1 -c:a libmp3lame -b:a 8k -id3v2_version 0 -write_xing 1 "$out/tone.mp3"
ff "$(src 1)" -ac 1 -c:a flac -compression_level 8 "$out/tone.flac"
ff "$(src 1 16000)" -ac 1 -c:a wmav2 -b:a 24k "$out/tone.wma"
ff "$(src 1)" -ac 1 -c:a libvorbis -q:a 0 "$out/tone.ogg"
ff "$(src 1)" -ac 1 -c:a aac -b:a 8k "$out/tone.m4a"
ff "$(src 1 8000)" -ac 1 -c:a pcm_u8 "$out/tone.wav"
ff "$(src 1 8000)" -ac 1 -c:a libopus -b:a 6k "$out/tone.opus"
ff "$(src 1 8000)" -ac 1 -c:a wavpack "$out/tone.wv"
ff "$(src 1 8000)" -ac 1 -c:a tta "$out/tone.tta"
ff "$(src 1 8000)" -ac 1 -c:a pcm_u8 -f aiff "$out/tone.aiff"
# An MP4 file with video and no audio stream: still an MP4 file, so it is saved.
ff "color=c=black:s=16x16:d=0.2:r=5" -c:v mpeg4 -an "$out/video.mp4"
# Under a second: the report's length reads 0:0.
ff "$(src 0.5)" -ac 1 -c:a flac -compression_level 8 "$out/tone-half.flac"

# Silence of exact lengths for the report's minutes:seconds; FLAC stores the sample count.
for seconds in 59 60 185; do
    ff "anullsrc=r=8000:cl=mono:d=$seconds" -c:a flac -compression_level 8 "$out/silence-$seconds.flac"
done
# A tracker module (no sample rate of its own): the smallest FastTracker 2 song, one empty
# pattern, written byte by byte since ffmpeg cannot make one.
python3 - "$out/empty.xm" <<'PY'
import struct, sys
header = struct.pack('<HHHHHHHH', 1, 0, 4, 1, 0, 1, 6, 125) + bytes(256)  # length .. order table
song = (b'Extended Module: ' + b'Title'.ljust(20, b'\0') + b'\x1a' + b'FastTracker v2.00'.ljust(20)
        + struct.pack('<HI', 0x0104, 4 + len(header)) + header)
pattern = struct.pack('<IBHH', 9, 0, 64, 0)  # header length, packing, rows, no data
open(sys.argv[1], 'wb').write(song + pattern)
PY

ls -l "$out"
