#!/usr/bin/env bash
# read-instructions.sh <build dir>
# readFull against the same reads on bare TagLib (FileRef, properties(), every picture, the audio
# properties) in instructions, counted by callgrind inside each call only (the program's start
# and TagLib's first use left out by a warm-up call), over the benchmark's five kinds and three
# sizes (make-files.sh; KINDS="mp3 flac" for fewer). Instruction counts repeat exactly on a busy
# machine; the ratio is the engine's overhead in user space (system calls and page faults are
# not counted: quillet_bench's CPU times have them). Needs valgrind and a Release build with
# TAGDESK_BENCH=ON.
set -euo pipefail
build=${1:?build directory}
data=${TAGDESK_BENCH_DATA:-${XDG_CACHE_HOME:-$HOME/.cache}/tagdesk-bench}
readcount="$build/bench/readcount"
calls=3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# count <mode> <file> <function>: instructions per call of the function, over calls - 1 calls
# after the first (which pays for TagLib's first use).
count() {
    local out="$tmp/callgrind.out"
    valgrind --tool=callgrind --callgrind-out-file="$out" --collect-atstart=no \
        --toggle-collect="$3" "$readcount" "$1" "$2" 1 >/dev/null 2>&1
    local one
    one=$(callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }')
    valgrind --tool=callgrind --callgrind-out-file="$out" --collect-atstart=no \
        --toggle-collect="$3" "$readcount" "$1" "$2" "$calls" >/dev/null 2>&1
    local all
    all=$(callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }')
    echo $(((all - one) / (calls - 1)))
}

printf '%-6s %5s %14s %14s %7s\n' kind size readFull taglib ratio
for kind in ${KINDS:-mp3 flac wma m4a ogg}; do
    for size in 3M 30M 300M; do
        file="$data/audio-$size.$kind"
        ours=$(count full "$file" 'quillet::readFull*')
        theirs=$(count taglib "$file" 'taglibdirect::readEverything*')
        printf '%-6s %5s %14d %14d %7.3f\n' "$kind" "$size" "$ours" "$theirs" \
            "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')"
    done
done
