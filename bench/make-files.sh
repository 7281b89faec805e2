#!/usr/bin/env bash
# make-files.sh <bench_addcover binary> [editor]
# Makes the benchmark's audio files once and keeps them outside the repository, in
# $TAGDESK_BENCH_DATA or ${XDG_CACHE_HOME:-$HOME/.cache}/tagdesk-bench (about 1.6 GB):
#   audio-{3M,30M,300M}.{mp3,flac,wma,m4a,ogg}  tags and a 1 MB front cover, about that size
#   audio-3M-cover10M.{mp3,flac,wma}            the same 3 MB of audio with a 10 MB cover
#   audio-2M-cover3000.mp3                      2 MB of audio with a 3000 x 3000 cover (the editor's)
#   cover-1M.jpg, cover-grow.jpg (1.3 MB), cover-10M.jpg, cover-3000.jpg (3.7 MB)
# With "editor", only the editor's file and its cover are made.
# Files already there are kept; each new one is written under a temporary name first.
set -euo pipefail
addcover=${1:?path of the bench_addcover binary}
data=${TAGDESK_BENCH_DATA:-${XDG_CACHE_HOME:-$HOME/.cache}/tagdesk-bench}
mkdir -p "$data"
# Each run its own scratch folder: the cache is shared, and so may be a run of this script.
tmp=$(mktemp -d "$data/tmp.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

ff() { nice ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

# Noise JPEGs: about 0.9 bytes per pixel at this quality.
cover() { # <name> <side>
    [ -f "$data/$1" ] && return 0
    ff -f lavfi -i "nullsrc=s=$2x$2,geq=lum='random(1)*255':cb='random(2)*255':cr=128" \
        -frames:v 1 -q:v 2 "$tmp/$1"
    mv "$tmp/$1" "$data/$1"
}

# 3000 x 3000 with detail everywhere, like a sharp photograph kept at high quality: noise a
# third of the size, smoothly enlarged.
if [ ! -f "$data/cover-3000.jpg" ]; then
    ff -f lavfi -i "nullsrc=s=1000x1000,geq=lum='random(1)*255':cb='128+random(2)*40':cr='128+random(3)*40',scale=3000:3000:flags=bicubic" \
        -frames:v 1 -q:v 3 "$tmp/cover-3000.jpg"
    mv "$tmp/cover-3000.jpg" "$data/cover-3000.jpg"
fi

mb=1000000
# Untagged audio of about <megabytes> MB. mp3 (320 kb/s), wma (192 kb/s), m4a (AAC) and ogg
# (Vorbis) loop a short encoded piece without re-encoding; flac (white noise, about half the raw
# rate) is encoded in full. The divisors are the bytes per second each comes to, container
# included; for m4a and ogg, whose encoders pick their own rate for noise, the piece's own.
audio() { # <kind> <megabytes> <output>
    local kind=$1 bytes=$(($2 * mb)) out=$3
    case $kind in
    mp3)
        [ -f "$tmp/base.mp3" ] || ff -f lavfi -i "anoisesrc=d=60:c=pink:r=44100:a=0.5" -ac 2 \
            -c:a libmp3lame -b:a 320k -id3v2_version 0 -write_id3v1 0 "$tmp/base.mp3"
        ff -stream_loop -1 -i "$tmp/base.mp3" -t $((bytes / 40000)) -c copy -map_metadata -1 \
            -id3v2_version 0 -write_id3v1 0 "$out"
        ;;
    wma)
        [ -f "$tmp/base.wma" ] || ff -f lavfi -i "anoisesrc=d=90:c=pink:r=44100:a=0.5" -ac 2 \
            -c:a wmav2 -b:a 192k "$tmp/base.wma"
        ff -stream_loop -1 -i "$tmp/base.wma" -t $((bytes / 34500)) -c copy -map_metadata -1 "$out"
        ;;
    m4a | ogg)
        local codec=aac base="$tmp/base.$kind" mux=()
        # An MP4 index before the audio, where iTunes and most taggers keep it.
        [ "$kind" = m4a ] && mux=(-movflags +faststart)
        [ "$kind" = ogg ] && codec=libvorbis
        [ -f "$base" ] || ff -f lavfi -i "anoisesrc=d=60:c=pink:r=44100:a=0.5" -ac 2 \
            -c:a $codec -b:a 320k -map_metadata -1 "$base"
        ff -stream_loop -1 -i "$base" -t $((bytes * 60 / $(stat -c %s "$base"))) -c copy \
            -map_metadata -1 "${mux[@]}" "$out"
        ;;
    flac)
        ff -f lavfi -i "anoisesrc=d=$((bytes / 97500)):c=white:r=44100:a=0.9" -ac 2 \
            -sample_fmt s16 -c:a flac -compression_level 0 -map_metadata -1 "$out"
        ;;
    esac
}

if [ ! -f "$data/audio-2M-cover3000.mp3" ]; then
    audio mp3 2 "$tmp/editor.mp3"
    "$addcover" "$tmp/editor.mp3" "$data/cover-3000.jpg"
    mv "$tmp/editor.mp3" "$data/audio-2M-cover3000.mp3"
fi
if [ "${2:-}" = editor ]; then
    ls -l "$data"
    exit 0
fi

cover cover-1M.jpg 1072
cover cover-grow.jpg 1200
cover cover-10M.jpg 3320

for kind in mp3 flac wma m4a ogg; do
    for size in 3 30 300; do
        target="$data/audio-${size}M.$kind"
        [ -f "$target" ] && continue
        echo "making $target"
        audio "$kind" $((size - 1)) "$tmp/plain.$kind"
        # The memory probe measures these three kinds only.
        if [ "$size" = 3 ] && [ "$kind" != m4a ] && [ "$kind" != ogg ] \
            && [ ! -f "$data/audio-3M-cover10M.$kind" ]; then
            cp "$tmp/plain.$kind" "$tmp/big-cover.$kind"
            "$addcover" "$tmp/big-cover.$kind" "$data/cover-10M.jpg"
            mv "$tmp/big-cover.$kind" "$data/audio-3M-cover10M.$kind"
        fi
        "$addcover" "$tmp/plain.$kind" "$data/cover-1M.jpg"
        mv "$tmp/plain.$kind" "$target"
    done
done
ls -l "$data"
