#!/bin/sh
# Sets up a fresh Debian machine, builds and runs every test.
# With --sanitize the build uses AddressSanitizer and UBSan (folder
# build-asan).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
if [ "${1:-}" = "--sanitize" ]; then
    dir="$root/build-asan"
    "$root/scripts/build.sh" "$dir" -DTSCARD_SANITIZE=ON
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
    dir="$root/build"
    "$root/scripts/build.sh" "$dir"
fi
cd "$dir"
ctest --output-on-failure -j"$(nproc)"
