# shellcheck shell=bash
# Sourced by the command-line benchmarks: small tagged MP3s and timing of whole runs.
# ff <ffmpeg arguments...>: quiet, niced.
ff() { nice ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

# small_mp3 <folder>: <folder>/cover.jpg, a noise JPEG of about 18 KB, and <folder>/song.mp3, two
# seconds of tone with all seven fields and that cover.
small_mp3() {
    ff -f lavfi -i "nullsrc=s=134x134,geq=lum='random(1)*255':cb='random(2)*255':cr=128" \
        -frames:v 1 -q:v 2 "$1/cover.jpg"
    ff -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -i "$1/cover.jpg" \
        -map 0 -map 1 -c:a libmp3lame -b:a 64k -c:v copy -id3v2_version 3 \
        -metadata title="Song" -metadata artist="Artist" -metadata album="Album" \
        -metadata date=2024 -metadata track=7 -metadata genre=Jazz -metadata comment="Comment" \
        -metadata:s:v title="Album cover" -metadata:s:v comment="Cover (front)" "$1/song.mp3"
}

seconds() { # <command...>: wall-clock seconds of one run, output discarded
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
