#!/bin/sh
# Checks that the man page has a sub-section for every command tscard-cli
# lists (the card commands included) and names each of its options.
# Usage: check_man_page.sh MAN_PAGE TSCARD_CLI
set -eu
page=$1
cli=$2
# The names CLI11 lists under "Subcommands:", one a line.
commands() { "$@" --help | sed '1,/^Subcommands:/d' | awk '/^  [a-z]/ { print $1 }'; }
bad=0
for command in $(commands "$cli"); do
    if [ "$command" = card ]; then
        names=$(commands "$cli" card | sed 's/^/card /')
    else
        names=$command
    fi
    echo "$names" | while read -r name; do
        title=$(echo "$name" | awk '{ print toupper(substr($0, 1, 1)) substr($0, 2) }')
        grep -q "^\.SS \"$title:\"" "$page" || { echo "$page: no section for $name"; exit 1; }
        # shellcheck disable=SC2086
        for option in $("$cli" $name --help | grep -o '^  --[a-z-]*' | grep -v -e '--help'); do
            grep -q -- "$(echo "$option" | sed 's/-/\\\\-/g')" "$page" || { echo "$page: $name $option is missing"; exit 1; }
        done
    done || bad=1
done
exit $bad
