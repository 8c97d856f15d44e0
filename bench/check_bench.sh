#!/bin/sh
# Check speed and memory, measured side by side in one run:
#  1. tscard-cli check on a stream of about 450 MB (made the way
#     prepare_bench.sh makes its input: a 16 Mbit/s MPEG-2 segment at an
#     18 Mbit/s mux rate, looped) against `cat FILE >/dev/null` and against
#     tscard-cli prepare of the same file, as ratios of median wall times,
#     and as GB/s (10^9 bytes a second); the commands take turns in each
#     round and every run reads the file from the page cache;
#  2. the peak resident memory of check on a 90 MB and a 1 GB input, which
#     must not grow with the file.
#
# Usage: check_bench.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR  holds tscard-cli (default: ../build)
#   WORK_DIR   where the large files go (default: bench/out/check, which
#              git ignores); the large files are removed at the end
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
cli="$build/tscard-cli"
work=${2:-"$root/bench/out/check"}
[ -x "$cli" ] || { echo "no $cli: build first (scripts/build.sh)" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed" >&2; exit 1; }
mkdir -p "$work"
trap 'rm -f "$work"/*.ts "$work"/*.times' EXIT

runs=5
# Wall time in seconds of one run of a command line, the input read into
# the page cache just before it (the system may drop idle cached pages at
# any time) and the prepared output removed.
timed() {
    rm -f "$out"
    cat "$input" >/dev/null
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || [ $? -eq 3 ] || { echo "failed: $*" >&2; exit 1; }
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}
median() { sort -n "$1" | sed -n "$(( (runs + 1) / 2 ))p"; }
fastest() { sort -n "$1" | head -1; }
# Peak resident memory in KiB (check exits 3 when it finds errors).
peak_kib() {
    /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1
}
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }
gbps() { printf '%.2f' "$(echo "$1 / $2 / 1000000000" | bc -l)"; }
mib() { echo $(( $(stat -c %s "$1") / 1048576 )); }

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

# A 20 s MPEG-2 segment, 45 MB, as prepare_bench.sh makes it.
seg="$work/segment.ts"
ff -f lavfi -i testsrc2=size=720x576:rate=25:duration=20 -f lavfi -i sine=frequency=1000:sample_rate=48000:duration=20 \
   -c:v mpeg2video -b:v 16M -minrate 16M -maxrate 16M -bufsize 2M -g 12 -bf 2 -pix_fmt yuv420p \
   -c:a mp2 -b:a 192k -muxrate 18000000 -f mpegts "$seg"
loop() {  # loop COUNT OUTPUT
    ff -stream_loop "$1" -i "$seg" -map 0 -c copy -muxrate 18000000 -f mpegts "$2"
}
input="$work/input.ts"
loop 9 "$input"  # 10 segments: about 450 MB

# 1. Speed.
out="$work/out.ts"
rm -f "$work"/*.times
i=0
while [ $i -lt $runs ]; do
    timed cat "$input" >>"$work/cat.times"
    timed "$cli" check "$input" >>"$work/check.times"
    timed "$cli" check "$input" --rate card >>"$work/rate.times"
    timed "$cli" prepare "$input" "$out" --force >>"$work/prep.times"
    i=$((i + 1))
done
for c in cat check rate prep; do
    eval "t_$c=\$(median \"\$work/$c.times\")"
    eval "f_$c=\$(fastest \"\$work/$c.times\")"
done
rm -f "$work"/*.times "$out"
bytes=$(stat -c %s "$input")
in_mib=$(mib "$input")
"$cli" check "$input" >"$work/report.txt" 2>&1 || true
headline=$(head -1 "$work/report.txt")
rm -f "$work/report.txt"

# 2. Peak memory, 90 MB against 1 GB (made only now, so that the speed runs
# had the page cache to themselves).
rm -f "$input"
small="$work/small.ts"
loop 1 "$small"  # 2 segments: about 90 MB
big="$work/big.ts"
loop 22 "$big"   # 23 segments: about 1 GB
m_small=$(peak_kib "$cli" check "$small")
m_big=$(peak_kib "$cli" check "$big")
small_mib=$(mib "$small")
big_mib=$(mib "$big")

echo "input ${in_mib} MiB ($bytes bytes), checked: $headline; $runs rounds, median (fastest)"
printf 'cat FILE >/dev/null       %.3f s (%.3f)  %s GB/s\n' "$t_cat" "$f_cat" "$(gbps "$bytes" "$t_cat")"
printf 'tscard-cli check          %.3f s (%.3f)  %s GB/s\n' "$t_check" "$f_check" "$(gbps "$bytes" "$t_check")"
printf 'tscard-cli check --rate   %.3f s (%.3f)  %s GB/s\n' "$t_rate" "$f_rate" "$(gbps "$bytes" "$t_rate")"
printf 'tscard-cli prepare        %.3f s (%.3f)\n' "$t_prep" "$f_prep"
echo "check / cat               $(ratio "$t_check" "$t_cat") ($(ratio "$f_check" "$f_cat"))"
echo "check / prepare           $(ratio "$t_check" "$t_prep") ($(ratio "$f_check" "$f_prep"))"
echo "peak memory, ${small_mib} MiB input: $((m_small / 1024)) MiB"
echo "peak memory, ${big_mib} MiB input: $((m_big / 1024)) MiB"
