#!/bin/sh
# gateway-sim's --help for its manual page: help2man reads the options, and the reference text after
# them (pages, accounts file, log, faults, network, store lock) becomes a section of its own, its
# tables kept as they are and its prose left to fill the page.
# Usage: gateway-sim-man.sh help GATEWAY_SIM OPTION    (as help2man's program: the options only)
#        gateway-sim-man.sh details GATEWAY_SIM FILE   (the help2man include text)
set -e
mode=$1
program=$2

case "$mode" in
help)
    # The options end at the first blank line after "Options:".
    "$program" "$3" | awk '/^Options:/ { options = 1 } options && /^$/ { exit } { print }'
    ;;
details)
    "$program" --help | awk '
        function roff(text) {
            gsub(/\\/, "\\e", text)
            gsub(/-/, "\\-", text)
            sub(/^[.\047]/, "\\\\&&", text)
            return text
        }
        function block(kind) {
            if (kind == shown)
                return
            if (shown == "table")
                print ".fi"
            if (kind != "" && shown == "")
                print ".PP"
            if (kind == "table")
                print ".nf"
            shown = kind
        }
        /^Options:/ { options = 1; next }
        options && !details { if (/^$/) details = 1; next }
        !details { next }
        /^$/ { block(""); next }
        /^ / { block("table"); print roff($0); next }
        { block("prose"); print roff($0) }
        END { block("") }' | { echo "[DETAILS]"; cat; } >"$3.part"
    mv "$3.part" "$3"
    ;;
*)
    echo "usage: gateway-sim-man.sh help|details GATEWAY_SIM ARGUMENT" >&2
    exit 2
    ;;
esac
