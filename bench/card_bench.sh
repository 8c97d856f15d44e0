#!/bin/sh
# Card write and read speed, measured side by side on the same target:
#  1. `tscard-cli card write` of a ~500 MB stream against
#     `dd bs=1M oflag=direct` of the same number of bytes (the units the
#     stream takes on the card, read from the same stream file);
#  2. `tscard-cli card read --original` against `dd iflag=direct` reading
#     the same units plus `dd` writing an output of the same size;
#  3. the peak memory of both, which must not grow with the stream.
# The target is a loop device over a file when run as root (the block-device
# backend with O_DIRECT), otherwise a card image file. As root the work
# folder is a memory file system, so that the disk's write-back of other
# work does not swamp the figures; it is gone at the end.
#
# The card write ends by flushing the card (the stream must be on it when
# the operator pulls it); on a loop device that writes the backing file
# back, so dd is timed with conv=fsync too, which is the like-for-like
# figure.
#
# Usage: [ON_DISK=1] card_bench.sh [BUILD_DIR] [MB]
#   ON_DISK=1  keeps the work folder on the disk (the loop device's flush
#              then writes its backing file back)
#   BUILD_DIR  holds tscard-cli and fixtures/ (default: ../build)
#   MB         size of the stream in MB (default: 500)
# Work files go to bench/out/card (git-ignored) and are deleted at the end.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
cli="$build/tscard-cli"
fixtures="$build/fixtures"
mb=${2:-500}
[ -x "$cli" ] || { echo "no $cli: build first (scripts/build.sh)" >&2; exit 1; }
[ -f "$fixtures/long_4m.ts" ] || "$root/tests/fixtures/make_fixtures.sh" "$fixtures"

work="$root/bench/out/card"
mkdir -p "$work"
loop=""
mounted=""
cleanup() {
    [ -n "$loop" ] && losetup --detach "$loop" 2>/dev/null || true
    [ -n "$mounted" ] && umount "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
if [ -z "${ON_DISK:-}" ] && [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=$((mb * 5 + 512))m tscard-card-bench "$work" 2>/dev/null; then
    mounted=yes
fi

runs=5
# Median wall time in seconds of a command line, over $runs runs; `prepare`
# runs untimed before each.
median() {
    : >"$work/times"
    i=0
    while [ $i -lt $runs ]; do
        prepare
        sync
        start=$(date +%s.%N)
        "$@" >/dev/null 2>"$work/errors" || { echo "failed: $*" >&2; cat "$work/errors" >&2; exit 1; }
        end=$(date +%s.%N)
        echo "$end - $start" | bc -l >>"$work/times"
        i=$((i + 1))
    done
    sort -n "$work/times" | sed -n "$(( (runs + 1) / 2 ))p"
}
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }
seconds() { printf '%.3f' "$1"; }

load=$(cut -d' ' -f1-3 /proc/loadavg)

# The stream: the 4 Mbit/s fixture repeated, with one in twenty of its null
# packets kept (about a fifth of the packets are null, as in a prepared
# stream; the fixture itself is four fifths null).
stream="$work/stream.ts"
python3 - "$fixtures/long_4m.ts" "$stream" "$mb" <<'EOF'
import sys
src, dst, mb = sys.argv[1], sys.argv[2], int(sys.argv[3])
raw = open(src, "rb").read()
packets = []
nulls = 0
for i in range(0, len(raw) - 187, 188):
    p = raw[i:i + 188]
    if p[1] & 0x1F == 0x1F and p[2] == 0xFF:
        nulls += 1
        if nulls % 20:
            continue
    packets.append(p)
data = b"".join(packets)
with open(dst, "wb") as out:
    written = 0
    while written < mb * 1000000:
        out.write(data)
        written += len(data)
EOF
stream_bytes=$(stat -c %s "$stream")

# The target: room for the stream and some more.
backing="$work/card.img"
truncate -s $((stream_bytes + 64 * 1048576)) "$backing"
target="$backing"
kind="card image file"
if [ "$(id -u)" = 0 ] && loop=$(losetup --find --show "$backing" 2>/dev/null); then
    target="$loop"
    kind="loop device $loop (O_DIRECT)"
fi
opts="--allow-non-removable --yes"
"$cli" card format "$target" $opts >/dev/null

# 1. Writing.
prepare() { "$cli" card format "$target" $opts >/dev/null; }
cat "$stream" >/dev/null  # both runs read the stream from the page cache
t_write=$(median "$cli" card write "$target" "$stream" --bitrate 4000 $opts)
length=$("$cli" card info "$target" --allow-non-removable --quick --json |
         python3 -c 'import json, sys; print(json.load(sys.stdin)["streams"][0]["length"])')
units=$((length + 1))
card_bytes=$((units * 8192))
dd_mib=$(( (card_bytes + 1048575) / 1048576 ))
prepare() { :; }
t_dd_write=$(median dd if="$stream" of="$target" bs=1M count="$dd_mib" iflag=fullblock oflag=direct)
t_dd_sync=$(median dd if="$stream" of="$target" bs=1M count="$dd_mib" iflag=fullblock oflag=direct conv=fsync)
m_write=$(sh -c "\"$cli\" card format \"$target\" $opts >/dev/null; /usr/bin/time -f %M \"$cli\" card write \"$target\" \"$stream\" --bitrate 4000 $opts 2>&1 >/dev/null | tail -1")

# 2. Reading back "Original" (the card holds the stream again).
original="$work/original.ts"
plain="$work/plain.ts"
prepare() { rm -f "$original"; }
t_read=$(median "$cli" card read "$target" 0 "$original" --original --allow-non-removable)
out_bytes=$(stat -c %s "$original")
out_mib=$(( (out_bytes + 1048575) / 1048576 ))
skip_bytes=31232  # the data area starts after the header region
prepare() { rm -f "$plain"; }
t_dd_read=$(median sh -c "dd if='$target' iflag=direct,skip_bytes,count_bytes skip=$skip_bytes count=$card_bytes bs=1M of=/dev/null && dd if=/dev/zero of='$plain' bs=1M count=$out_mib")
rm -f "$original"
m_read=$(peak_kib "$cli" card read "$target" 0 "$original" --original --allow-non-removable)

[ -n "$mounted" ] && kind="$kind, in memory"
echo "load average before: $load (the tool overlaps packing or rebuilding with the transfers, so a busy machine costs it more than dd)"
echo "target: $kind; stream $stream_bytes bytes, $units units on the card ($card_bytes bytes), Original $out_bytes bytes"
echo "write: tscard-cli $(seconds "$t_write")s, dd oflag=direct $(seconds "$t_dd_write")s, ratio $(ratio "$t_write" "$t_dd_write") (limit 1.2)"
echo "       dd oflag=direct conv=fsync $(seconds "$t_dd_sync")s, ratio $(ratio "$t_write" "$t_dd_sync")"
echo "read Original: tscard-cli $(seconds "$t_read")s, dd read + dd write $(seconds "$t_dd_read")s, ratio $(ratio "$t_read" "$t_dd_read") (limit 1.3)"
echo "peak memory: write ${m_write} KiB, read ${m_read} KiB"
