#!/bin/sh
# What help2man reads as tscard-cli's help when it makes the man page:
# the program's options, then a section of commands with a sub-section
# per command ("Analyze:", "Card write:"): its description, its arguments
# and its options.
# Usage: TSCARD_CLI=path/to/tscard-cli man_help.sh --help | --version
set -eu
cli=${TSCARD_CLI:?TSCARD_CLI names the tscard-cli to describe}
case ${1:-} in
--version) exec "$cli" --version ;;
esac

# CLI11's --help-all lists each command as its name at the start of a line,
# its description indented by 2, then "Positionals:"/"Options:" headings and
# their items indented by 4. A command with commands of its own (card) is
# listed again from its own --help-all.
commands() {
    prefix=$1
    awk -v prefix="$prefix" '
        /^Subcommands:/ { inside = 1; next }
        !inside { next }
        /^[^ ]+$/ {
            if ($1 == "card" && prefix == "") { skip = 1; next }
            skip = 0
            name = prefix $1
            printf "\n%s%s:\n", toupper(substr(name, 1, 1)), substr(name, 2)
            next
        }
        /^[^ ]/ { next }  # a footer (what a card is: the man page says it in its own words)
        skip { next }
        /^  (Positionals|Options|Subcommands):$/ { next }
        /^    / { print; next }
        /^  [^ ]/ { print; next }
    '
}
"$cli" --help | awk '/^Subcommands:/ { exit } { print }'
echo "*Commands*"
"$cli" --help-all | commands ""
"$cli" card --help-all | commands "card "
