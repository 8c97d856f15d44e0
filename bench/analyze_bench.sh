#!/bin/sh
# Analysis speed, measured side by side:
#  1. a multi-GB file whose PAT, PMTs and SDT come first against the small
#     file it starts with: the analysis ends within the first windows, so
#     the ratio should stay near 1;
#  2. a file without PAT, scanned to its end, against `cat FILE > /dev/null`
#     on the same (cached) file: the ratio says how close the scan comes to
#     plain reading;
#  3. the peak memory of both analyses, which must not grow with the file.
#
# Usage: analyze_bench.sh [BUILD_DIR] [WORK_DIR] [GIB]
#   BUILD_DIR  holds tscard-cli and fixtures/ (default: ../build)
#   WORK_DIR   where the large files go (default: a temporary folder)
#   GIB        size of the large files in GiB (default: 2)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
cli="$build/tscard-cli"
fixtures="$build/fixtures"
gib=${3:-2}
[ -x "$cli" ] || { echo "no $cli: build first (scripts/build.sh)" >&2; exit 1; }
[ -f "$fixtures/long_4m.ts" ] || "$root/tests/fixtures/make_fixtures.sh" "$fixtures"

if [ -n "${2:-}" ]; then
    work=$2
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi

runs=5
# Median wall time in seconds of a command line, over $runs runs.
median() {
    i=0
    while [ $i -lt $runs ]; do
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1 || true
        end=$(date +%s.%N)
        echo "$end - $start" | bc -l
        i=$((i + 1))
    done | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}
# Peak resident memory in KiB.
peak_kib() {
    /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1
}
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }

small="$fixtures/single_muxrate.ts"

# 1. The small file, then the same stream followed by a hole up to GIB GiB
# (a sparse file: its size is real, its tail takes no space).
big="$work/psi_first.ts"
cp "$small" "$big"
truncate -s "${gib}G" "$big"
t_small=$(median "$cli" analyze "$small")
t_big=$(median "$cli" analyze "$big")

# 2. Real packets without a PAT: the long fixture with its PID 0 packets
# made null, repeated up to GIB GiB.
nopat="$work/no_pat.ts"
python3 - "$fixtures/long_4m.ts" "$nopat" "$gib" <<'EOF'
import sys
src, dst, gib = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = bytearray(open(src, "rb").read())
for i in range(0, len(data) - 187, 188):
    if data[i + 1] & 0x1F == 0 and data[i + 2] == 0:
        data[i + 1] = 0x1F
        data[i + 2] = 0xFF
target = gib << 30
with open(dst, "wb") as out:
    written = 0
    while written + len(data) <= target:
        out.write(data)
        written += len(data)
EOF
cat "$nopat" >/dev/null  # both runs read from the page cache
t_cat=$(median sh -c "cat '$nopat' > /dev/null")
t_scan=$(median "$cli" analyze "$nopat")

m_small=$(peak_kib "$cli" analyze "$small")
m_big=$(peak_kib "$cli" analyze "$nopat")

size=$(stat -c %s "$nopat")
echo "analysis, PSI first:  small file ${t_small}s, ${gib} GiB file ${t_big}s, ratio $(ratio "$t_big" "$t_small")"
echo "no PAT, scanned to the end ($size bytes): cat ${t_cat}s, analyze ${t_scan}s, ratio $(ratio "$t_scan" "$t_cat")"
echo "peak memory: small file ${m_small} KiB, ${gib} GiB scan ${m_big} KiB"
