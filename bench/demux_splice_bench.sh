#!/bin/sh
# Splitting and splicing speed, each against a plain tool doing the same
# amount of I/O, measured side by side in one run:
#  1. tscard-cli demux of a three-program stream (MB megabytes, the ffmpeg
#     fixture repeated) into three files, against `tee` writing three
#     copies of the same input; the target is at most 1.3 x;
#  2. tscard-cli splice of four files into one, against `cat` of the same
#     files into one; the target is at most 1.1 x;
#  3. the peak memory of both commands, which must not grow with the file.
# Every run starts with the input in the page cache and no output files;
# the medians of RUNS runs are compared.
#
# Usage: demux_splice_bench.sh [BUILD_DIR] [MB] [RUNS]
#   BUILD_DIR  holds tscard-cli and fixtures/ (default: ../build)
#   MB         size of the stream in megabytes (default: 500)
#   RUNS       runs per command (default: 5)
# The data goes to bench/out/ (ignored by git) and is removed at the end.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
cli="$build/tscard-cli"
fixtures="$build/fixtures"
mb=${2:-500}
runs=${3:-5}
[ -x "$cli" ] || { echo "no $cli: build first (scripts/build.sh)" >&2; exit 1; }
[ -f "$fixtures/multi3.ts" ] || "$root/tests/fixtures/make_fixtures.sh" "$fixtures"

work="$root/bench/out/demux_splice"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

# Wall time in seconds of one command line, after removing the outputs of
# the previous run and letting their write-back finish.
timed() {
    clean_outputs
    sync
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}
clean_outputs() {
    rm -rf "$work/split" "$work/copies" "$work/joined.ts"
    mkdir -p "$work/split" "$work/copies"
}
median() { sort -n | sed -n "$(( (runs + 1) / 2 ))p"; }
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

# The stream: the three-program fixture repeated up to MB megabytes (its
# PAT, PMTs and SDT come first, so the analysis ends at once).
big="$work/multi3_big.ts"
piece="$fixtures/multi3.ts"
target=$((mb * 1000000))
size=$(stat -c %s "$piece")
: > "$big"
n=0
while [ $((n * size)) -lt "$target" ]; do
    cat "$piece" >> "$big"
    n=$((n + 1))
done
total=$(stat -c %s "$big")

# Four inputs of the splice: the stream cut into quarters on packet bounds.
quarter=$((total / 188 / 4 * 188))
i=0
while [ $i -lt 4 ]; do
    dd if="$big" of="$work/part$i.ts" bs=188 skip=$((i * quarter / 188)) count=$((quarter / 188)) status=none
    i=$((i + 1))
done
parts="$work/part0.ts $work/part1.ts $work/part2.ts $work/part3.ts"
cat "$big" $parts > /dev/null  # every run reads from the page cache

demux_times=""
tee_times=""
splice_times=""
cat_times=""
run_demux() { timed "$cli" demux "$big" "$work/split"; }
run_tee() { timed sh -c "tee '$work/copies/1' '$work/copies/2' '$work/copies/3' < '$big' > /dev/null"; }
# shellcheck disable=SC2086
run_splice() { timed "$cli" splice "$work/joined.ts" $parts; }
run_cat() { timed sh -c "cat $parts > '$work/joined.ts'"; }
# Each pair runs in turn in both orders, so that neither side always gets
# the memory the other has just freed.
i=0
while [ $i -lt "$runs" ]; do
    if [ $((i % 2)) -eq 0 ]; then
        demux_times="$demux_times $(run_demux)"
        tee_times="$tee_times $(run_tee)"
        splice_times="$splice_times $(run_splice)"
        cat_times="$cat_times $(run_cat)"
    else
        tee_times="$tee_times $(run_tee)"
        demux_times="$demux_times $(run_demux)"
        cat_times="$cat_times $(run_cat)"
        splice_times="$splice_times $(run_splice)"
    fi
    i=$((i + 1))
done
t_demux=$(echo $demux_times | tr ' ' '\n' | median)
t_tee=$(echo $tee_times | tr ' ' '\n' | median)
t_splice=$(echo $splice_times | tr ' ' '\n' | median)
t_cat=$(echo $cat_times | tr ' ' '\n' | median)

clean_outputs
m_demux=$(peak_kib "$cli" demux "$big" "$work/split")
clean_outputs
# shellcheck disable=SC2086
m_splice=$(peak_kib "$cli" splice "$work/joined.ts" $parts)
clean_outputs

echo "stream: $total bytes, three programs; splice inputs: 4 x $quarter bytes; median of $runs runs"
printf 'demux into 3 files   %8.3f s   tee into 3 copies %8.3f s   ratio %s (target <= 1.30)\n' \
    "$t_demux" "$t_tee" "$(ratio "$t_demux" "$t_tee")"
printf 'splice of 4 files    %8.3f s   cat of 4 files    %8.3f s   ratio %s (target <= 1.10)\n' \
    "$t_splice" "$t_cat" "$(ratio "$t_splice" "$t_cat")"
echo "peak memory: demux $m_demux KiB, splice $m_splice KiB"
