#!/bin/sh
# Writes the COMMANDS section of brisant's manual page, as help2man include text, from the command
# list of "brisant --help" and each command's own --help. Options every command shares (--data-dir,
# --store, --help) are left to the page's usage.
# Usage: brisant-commands.sh BRISANT FILE
set -e
brisant=$1
file=$2

commands=$("$brisant" --help | awk '/^Commands:/ { on = 1; next } on && /^  [a-z]/ { print $1 } on && /^$/ { on = 0 }')
[ -n "$commands" ] || { echo "brisant-commands.sh: no commands in $brisant --help" >&2; exit 1; }

exec >"$file.part"
echo "[COMMANDS]"
for command in $commands; do
    "$brisant" "$command" --help | awk -v command="$command" '
        function roff(text) {
            gsub(/\\/, "\\e", text)
            gsub(/-/, "\\-", text)
            sub(/^[.\047]/, "\\\\&&", text)
            return text
        }
        function flush() {
            if (term != "" && term !~ /^(\\-\\-data\\-dir|\\-\\-store|\\-h, \\-\\-help)( |$)/)
                printf ".TP\n.B %s\n%s\n", term, text
            term = ""
        }
        NR == 1 {
            sub(/^Usage: [^ ]*( \[options\])?/, "")
            printf ".SS \"brisant %s [options]%s\"\n", command, roff($0)
            next
        }
        /^(Options|Arguments):$/ { flush(); next }
        /^  [^ ]/ {
            flush()
            line = substr($0, 3)
            split_at = match(line, /  +/)
            if (split_at) {
                term = roff(substr(line, 1, split_at - 1))
                text = roff(substr(line, split_at + RLENGTH))
            } else {
                term = roff(line)
                text = ""
            }
            next
        }
        /^    +[^ ]/ { sub(/^ +/, ""); text = text " " roff($0); next }
        /^$/ { flush(); next }
        { flush(); print roff($0) }
        END { flush() }'
done
mv "$file.part" "$file"
