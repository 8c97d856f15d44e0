#!/bin/sh
# Configures and builds into a build folder.
# Usage: [TARGET=name] build.sh [BUILD_DIR] [extra cmake options...]
# TARGET builds only that target (run.sh: "programs"); default: everything.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$root/build"}
[ $# -gt 0 ] && shift
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
# Build output goes to stderr: stdout belongs to the program run after it.
cmake --build "$dir" -j"$(nproc)" ${TARGET:+--target "$TARGET"} >&2
