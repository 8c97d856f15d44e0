#!/bin/sh
# Sets up a fresh Debian machine, builds, and starts the program.
# Arguments go to the program.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
# Only the programs; scripts/test.sh builds the tests.
TARGET=programs "$root/scripts/build.sh" "$root/build"
if [ -x "$root/build/tscard" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; } && [ $# -eq 0 ]; then
    exec "$root/build/tscard"
fi
if [ $# -eq 0 ]; then
    exec "$root/build/tscard-cli" --help
fi
exec "$root/build/tscard-cli" "$@"
