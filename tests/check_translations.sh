#!/bin/sh
# The Russian catalogue is what lupdate makes of the sources, every text in
# it translated: a text the window says that has no Russian yet, or one the
# sources no longer say, fails here.
# Usage: check_translations.sh LUPDATE SRC_DIR CATALOGUE
set -eu
lupdate=$1
src=$2
catalogue=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$catalogue" "$work/catalogue.ts"
# The same sources and options as the update_translations target.
find "$src" \( -name '*.cpp' -o -name '*.h' \) ! -path '*/cli/*' | sort > "$work/sources.lst"
timeout 60 "$lupdate" -tr-function-alias QT_TR_NOOP+=N_ -locations none -no-obsolete \
    -I "$src" "@$work/sources.lst" -ts "$work/catalogue.ts" > "$work/lupdate.log" 2>&1 || {
    cat "$work/lupdate.log"
    exit 1
}
status=0
if grep -q 'type="unfinished"' "$work/catalogue.ts"; then
    echo "texts without their Russian:"
    grep -B1 'type="unfinished"' "$work/catalogue.ts" | grep '<source>' | sed 's/^ *//'
    status=1
fi
if ! cmp -s "$catalogue" "$work/catalogue.ts"; then
    echo "$catalogue is not what the sources say:"
    diff "$catalogue" "$work/catalogue.ts" | head -40
    status=1
fi
[ "$status" -eq 0 ] || echo "(cmake --build build --target update_translations, then translate the new texts there)"
exit "$status"
