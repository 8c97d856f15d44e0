#!/bin/sh
# Prepare speed and memory, measured side by side in one run:
#  1. tscard-cli prepare on a stream of at least 500 MB against `cp` of the
#     same file, against `dd bs=1M` (a plain read and write through a user
#     buffer, which cp may avoid by copying inside the kernel) and against
#     ffmpeg remultiplexing it at the same rate (`ffmpeg -i IN -c copy
#     -muxrate 24882473 -f mpegts OUT`), reported as ratios of median wall
#     times; the commands take turns in each round, every input is read
#     from the page cache, and the prepared output is larger than the input
#     by the nulls the multiplex rate needs;
#  2. the peak resident memory of prepare on a 100 MB and a 1 GB input,
#     which must not grow with the file (and stay under 50 MB).
#
# Usage: prepare_bench.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR  holds tscard-cli (default: ../build)
#   WORK_DIR   where the large files go (default: bench/out/prepare, which
#              git ignores); the large files are removed at the end
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
cli="$build/tscard-cli"
work=${2:-"$root/bench/out/prepare"}
[ -x "$cli" ] || { echo "no $cli: build first (scripts/build.sh)" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed" >&2; exit 1; }
mkdir -p "$work"
trap 'rm -f "$work"/*.ts "$work"/*.times' EXIT

runs=5
# Wall time in seconds of one run of a command line; the output file named
# by $out is removed and the input read into the page cache before it (the
# system may drop idle cached pages at any time).
timed() {
    rm -f "$out"
    sync
    cat "$half" >/dev/null
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}
median() { sort -n "$1" | sed -n "$(( (runs + 1) / 2 ))p"; }
fastest() { sort -n "$1" | head -1; }
# Peak resident memory in KiB.
peak_kib() {
    /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1
}
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }
mib() { echo $(( $(stat -c %s "$1") / 1048576 )); }

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

# A 20 s MPEG-2 segment: constant 16 Mbit/s video (real packets, few
# nulls) at an 18 Mbit/s mux rate, looped (copied, timestamps continued)
# into the large inputs. 45 MB per segment.
seg="$work/segment.ts"
ff -f lavfi -i testsrc2=size=720x576:rate=25:duration=20 -f lavfi -i sine=frequency=1000:sample_rate=48000:duration=20 \
   -c:v mpeg2video -b:v 16M -minrate 16M -maxrate 16M -bufsize 2M -g 12 -bf 2 -pix_fmt yuv420p \
   -c:a mp2 -b:a 192k -muxrate 18000000 -f mpegts "$seg"
loop() {  # loop COUNT OUTPUT
    ff -stream_loop "$1" -i "$seg" -map 0 -c copy -muxrate 18000000 -f mpegts "$2"
}
half="$work/half.ts"
loop 11 "$half"  # 12 segments: about 540 MB

# 1. Speed on the 540 MB input.
cat "$half" >/dev/null
out="$work/out.ts"
rm -f "$work"/*.times
i=0
while [ $i -lt $runs ]; do
    timed cp "$half" "$out" >>"$work/cp.times"
    timed dd if="$half" of="$out" bs=1M >>"$work/dd.times"
    timed ff -i "$half" -c copy -muxrate 24882473 -f mpegts "$out" >>"$work/ff.times"
    timed "$cli" prepare "$half" "$out" --force >>"$work/prep.times"
    i=$((i + 1))
done
for c in cp dd ff prep; do
    eval "t_$c=\$(median \"\$work/$c.times\")"
    eval "f_$c=\$(fastest \"\$work/$c.times\")"
done
rm -f "$work"/*.times
in_mib=$(mib "$half")
"$cli" prepare "$half" "$out" --force >/dev/null 2>&1
out_mib=$(mib "$out")
rm -f "$out"

# 2. Peak memory, 90 MB against 1 GB (made only now, so that the speed runs
# had the page cache to themselves).
rm -f "$half"
small="$work/small.ts"
loop 1 "$small"  # 2 segments: about 90 MB
big="$work/big.ts"
loop 22 "$big"   # 23 segments: about 1 GB
m_small=$(peak_kib "$cli" prepare "$small" "$out" --force)
rm -f "$out"
m_big=$(peak_kib "$cli" prepare "$big" "$out" --force)
big_mib=$(mib "$big")
small_mib=$(mib "$small")
rm -f "$out"

echo "input ${in_mib} MiB, prepared output ${out_mib} MiB; $runs rounds, median (fastest)"
printf 'cp                      %.3f s (%.3f)\n' "$t_cp" "$f_cp"
printf 'dd bs=1M                %.3f s (%.3f)\n' "$t_dd" "$f_dd"
printf 'ffmpeg -c copy -muxrate %.3f s (%.3f)\n' "$t_ff" "$f_ff"
printf 'tscard-cli prepare      %.3f s (%.3f)\n' "$t_prep" "$f_prep"
echo "prepare / cp            $(ratio "$t_prep" "$t_cp") ($(ratio "$f_prep" "$f_cp"))"
echo "prepare / dd            $(ratio "$t_prep" "$t_dd") ($(ratio "$f_prep" "$f_dd"))"
echo "prepare / ffmpeg        $(ratio "$t_prep" "$t_ff") ($(ratio "$f_prep" "$f_ff"))"
echo "peak memory, ${small_mib} MiB input: $((m_small / 1024)) MiB"
echo "peak memory, ${big_mib} MiB input: $((m_big / 1024)) MiB"
