#!/bin/sh
# Checks that the folders under src/ depend only downwards: a file may
# include its own folder and the folders of a lower level, never a folder
# of its own level (a sibling) or of a higher one. Exits 1 and names every
# include that breaks the rule, or a folder that has no level yet.
# Usage: check_includes.sh [SRC_DIR]
set -eu
src=${1:-"$(cd "$(dirname "$0")/.." && pwd)/src"}

awk -v src="$src" '
BEGIN {
    # From the bottom up.
    split("platform=0 ts=1 events=1 lang=1 psi=2 analysis=3 prepare=4 demux=4 splice=4 card=4 check=4 " \
          "workflow=5 udisks=5 charts=5 qtparts=6 app=6 cli=7",
          pairs, " ")
    for (i in pairs) {
        split(pairs[i], kv, "=")
        level[kv[1]] = kv[2]
    }
    bad = 0
    for (i = 1; i < ARGC; i++) {
        f = substr(ARGV[i], length(src) + 2)
        sub(/\/.*/, "", f)
        if (!(f in level) && !(f in told)) {
            print "src/" f ": the folder has no level in scripts/check_includes.sh"
            told[f] = 1
            bad = 1
        }
    }
}
FNR == 1 {
    rel = substr(FILENAME, length(src) + 2)
    folder = rel
    sub(/\/.*/, "", folder)
}
/^[ \t]*#[ \t]*include[ \t]*"/ {
    target = $0
    sub(/^[^"]*"/, "", target)
    sub(/".*/, "", target)
    if (target !~ /\//) next
    if (target ~ /\.\./) {
        print rel ": #include \"" target "\" climbs out of its folder"
        bad = 1
        next
    }
    to = target
    sub(/\/.*/, "", to)
    if (to == folder || !(to in level) || !(folder in level)) next
    if (level[to] >= level[folder]) {
        kind = level[to] == level[folder] ? "a sibling" : "a folder above it"
        print rel ": #include \"" target "\": " folder " may not include " kind " (" to ")"
        bad = 1
    }
}
END { exit bad }
' $(find "$src" -name '*.h' -o -name '*.cpp' | sort)
