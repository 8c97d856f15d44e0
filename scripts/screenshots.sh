#!/bin/sh
# Renders the window with each panel in front, in English and in Russian,
# to OUTDIR/<panel>-<lang>.png (and whatever further scenes exist), on Qt's
# offscreen platform. For review; not a test.
# Usage: screenshots.sh OUTDIR [SCENE...]
set -eu
[ $# -ge 1 ] || { echo "usage: $0 OUTDIR [SCENE...]" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
# Scenes that show streams read the test fixtures.
"$root/tests/fixtures/make_fixtures.sh" "$root/build/fixtures" >&2
QT_QPA_PLATFORM=offscreen exec "$root/build/tests/tscard_screenshots" "$@"
