#!/bin/sh
# Configures and builds into a build folder.
# Usage: [TARGET=name] build.sh [BUILD_DIR] [extra cmake options...]
# TARGET builds only that target (run.sh: "programs"); default: everything.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$root/build"}
[ $# -gt 0 ] && shift
# A compiler cache, when the machine has one, makes rebuilds quick.
launcher=""
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo $launcher "$@" >/dev/null
# Build output goes to stderr: stdout belongs to the program run after it.
cmake --build "$dir" -j"$(nproc)" ${TARGET:+--target "$TARGET"} >&2
