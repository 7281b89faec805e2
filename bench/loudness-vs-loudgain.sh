#!/usr/bin/env bash
# loudness-vs-loudgain.sh <quillet binary> [seconds per track]
# `quillet loudness --album --dry-run` against loudgain (Debian's package, also FFmpeg and
# libebur128) on the same files: every track's and album's gain within 0.01 dB of loudgain's and
# every peak within 0.0001, then the time of one job and of --jobs 2 against loudgain's.
# The files are made with ffmpeg in a temporary folder and removed afterwards: for each of MP3,
# FLAC, Ogg Vorbis, Opus, M4A (AAC), WMA and WAV, mono and stereo, 44.1 and 48 kHz, a folder of
# three tracks of different loudness, one of them with peaks between the samples. loudgain takes
# one album per run, so it runs once per folder. Both sides run in turns, after one warm-up each;
# the table gives the median run. Nothing is written to the files.
set -euo pipefail
quillet=${1:?path of the quillet binary}
length=${2:-20}
runs=3
here=$(cd "$(dirname "$0")" && pwd)
command -v loudgain >/dev/null || {
    echo "loudgain is missing: apt-get install loudgain" >&2
    exit 1
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# shellcheck source-path=SCRIPTDIR
. "$here/smallfiles.sh"

# track <rate> <channels> <number> <wav>: pink noise and a tone, mixed differently in each
# channel; the third track is quiet but for half a second of a tone at a quarter of the sample
# rate whose samples fall between its peaks, so that its true peak lies above them.
track() {
    local rate=$1 channels=$2 n=$3 out=$4 noise tone pan
    case "$n" in
    1) noise=0.3 tone="0.2*sin(2*PI*443*t)" ;;
    2) noise=0.6 tone="0.4*sin(2*PI*883*t)" ;;
    3) noise=0.05 tone="0.9*sin(PI/2*$rate*t+PI/4)*between(t,2,2.5)" ;;
    esac
    pan="pan=mono|c0=c0+c1"
    [ "$channels" = 2 ] && pan="pan=stereo|c0=c0+c1|c1=0.5*c0+0.7*c1"
    ff -filter_complex "anoisesrc=c=pink:a=$noise:r=$rate:d=$length:seed=$n[noise];
        aevalsrc='$tone':s=$rate:d=$length[tone];[noise][tone]amerge=inputs=2,$pan" \
        -c:a pcm_f32le "$out"
}

declare -A codec=([mp3]="libmp3lame -b:a 192k" [flac]="flac" [ogg]="libvorbis -q:a 5"
    [opus]="libopus -b:a 128k" [m4a]="aac -b:a 192k" [wma]="wmav2 -b:a 192k" [wav]="pcm_s16le")
folders=()
for rate in 44100 48000; do
    for channels in 1 2; do
        for n in 1 2 3; do track "$rate" "$channels" "$n" "$tmp/source-$rate-$channels-$n.wav"; done
        for kind in mp3 flac ogg opus m4a wma wav; do
            folder="$tmp/files/$kind-$rate-$channels"
            mkdir -p "$folder"
            for n in 1 2 3; do
                # shellcheck disable=SC2086
                ff -i "$tmp/source-$rate-$channels-$n.wav" -c:a ${codec[$kind]} "$folder/track$n.$kind"
            done
            folders+=("$folder")
        done
    done
done
rm -f "$tmp"/source-*.wav
count=$((${#folders[@]} * 3))

# loudgain over every folder, one run per album, as one command that /usr/bin/time can time.
printf 'for folder in "$@"; do loudgain -a -s s -q -O "$folder"/* 2>/dev/null; done\n' \
    >"$tmp/loudgain-all.sh"

# The values: quillet's lines "FILE: L LUFS, gain G dB, peak P" and "album FOLDER: ...", and
# loudgain's tab-separated rows (file, loudness, range, true peak, ..., gain at column 9).
"$quillet" loudness --album --dry-run "$tmp/files" >"$tmp/quillet.txt"
for folder in "${folders[@]}"; do
    (cd "$folder" && loudgain -a -s s -q -O ./* 2>/dev/null) |
        awk -F'\t' -v folder="$folder" 'NR > 1 {
            name = ($1 == "Album") ? "album " folder : folder "/" substr($1, 3)
            sub(/ dB$/, "", $9); print name "\t" $9 "\t" $4 }'
done >"$tmp/loudgain.txt"
compared=0
/usr/bin/python3 - "$tmp/quillet.txt" "$tmp/loudgain.txt" "$count" <<'PY' || compared=$?
import re, sys
ours = {}
for line in open(sys.argv[1]):
    m = re.match(r'(.*): (?:\S+ LUFS, gain (\S+) dB|silent), peak ([0-9.]+)', line)
    if m:
        ours[m.group(1)] = (float(m.group(2) or 'nan'), float(m.group(3)))
theirs = {}
for line in open(sys.argv[2]):
    name, gain, peak = line.rstrip('\n').split('\t')
    theirs[name] = (float(gain), float(peak))
tracks = [n for n in theirs if not n.startswith('album ')]
# loudgain measures the audio as 16-bit samples, clipped at full scale; quillet measures what
# the decoder gives, which a lossy format may take beyond it. Where it does (a peak above 1.0),
# the two may differ by design, for that track and its album: such differences are listed apart.
beyond = {n.rsplit('/', 1)[0] for n in tracks if n in ours and ours[n][1] > 1.0}
worst_gain = worst_peak = 0.0
bad, apart = [], []
for name, (gain, peak) in sorted(theirs.items()):
    if name not in ours:
        bad.append(f'{name}: missing from quillet')
        continue
    g, p = ours[name]
    if name.split('/')[-2].startswith('opus') or name.split('/')[-1].startswith('opus'):
        g -= 5.0  # loudgain gives Opus files the gain to -23 LUFS, as their R128 tags hold it
    line = f'{name}: gain {g:.2f} against {gain:.2f}, peak {p:.6f} against {peak:.6f}'
    within = abs(g - gain) <= 0.01 + 1e-9 and abs(p - peak) <= 0.0001 + 1e-9
    if not within and (name[6:] if name.startswith('album ') else name.rsplit('/', 1)[0]) in beyond:
        apart.append(line)
        continue
    worst_gain, worst_peak = max(worst_gain, abs(g - gain)), max(worst_peak, abs(p - peak))
    if not within:
        bad.append(line)
print(f'{len(tracks)} tracks (of {sys.argv[3]}) and {len(theirs) - len(tracks)} albums compared; '
      f'but for those below, largest difference {worst_gain:.4f} dB in gain and '
      f'{worst_peak:.6f} in peak')
for line in apart:
    print('  decoded beyond full scale, which loudgain clips:', line)
for line in bad:
    print('  outside the tolerance:', line)
sys.exit(1 if bad or len(tracks) != int(sys.argv[3]) else 0)
PY

# timed <label> <command...>: one run's wall-clock seconds and its CPU seconds (user and
# system, children included), output discarded. On a machine busy with other work the wall clock
# says how much of the cores the run got; the CPU seconds say what the work itself costs.
declare -A times cpu
timed() {
    local label=$1 start end
    shift
    start=$(date +%s%N)
    /usr/bin/time -o "$tmp/cpu" -f "%U %S" "$@" >/dev/null
    end=$(date +%s%N)
    times[$label]+="$(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }') "
    cpu[$label]+="$(awk '{ printf "%.3f", $1 + $2 }' "$tmp/cpu") "
}
one=("$quillet" loudness --album --dry-run --jobs 1 "$tmp/files")
two=("$quillet" loudness --album --dry-run --jobs 2 "$tmp/files")
loudgain=(bash "$tmp/loudgain-all.sh" "${folders[@]}")
"${one[@]}" >/dev/null
"${loudgain[@]}" >/dev/null
for ((run = 0; run < runs; ++run)); do
    timed one "${one[@]}"
    timed two "${two[@]}"
    timed loudgain "${loudgain[@]}"
done

echo "loudness over $count tracks of $length s in ${#folders[@]} albums (median of $runs runs, $(nproc) cores)"
printf '%-40s %9s %8s %12s %8s\n' scanner seconds ratio "CPU seconds" ratio
middle() { tr ' ' '\n' <<<"$1" | grep . | median; }
row() { # <label> <key>
    awk -v label="$1" -v t="$(middle "${times[$2]}")" -v l="$(middle "${times[loudgain]}")" \
        -v c="$(middle "${cpu[$2]}")" -v lc="$(middle "${cpu[loudgain]}")" \
        'BEGIN { printf "%-40s %9.3f %7.2fx %12.3f %7.2fx\n", label, t, t / l, c, c / lc }'
}
row "quillet loudness --album --jobs 1" one
row "quillet loudness --album --jobs 2" two
row "loudgain -a, one run per album" loudgain
exit "$compared"
