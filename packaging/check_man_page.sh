#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check_man_page.sh MANPAGE PROGRAM
# The manual page and the program's --help must name the same commands, options and
# environment variables: a program change that forgets the page (or the other way
# round) fails here. Commands are read from the "Commands:" list of PROGRAM --help, and
# each command's own --help is read too.
set -euo pipefail
page=$1
program=$2
name=$(basename "$program")

helps=$("$program" --help)
commands=$(printf '%s\n' "$helps" | awk '/^Commands:/ {on = 1; next} on && /^$/ {on = 0} on && /^  [a-z]/ {print $1}' | sort -u)
for command in $commands; do
  helps+=$'\n'$("$program" "$command" --help)
done

# The page's text without font changes and with plain hyphens.
text=$(sed -e 's/\\f[BIRP]//g' -e 's/\\-/-/g' "$page")
# Commands: the tags of the COMMANDS section's outermost list.
page_commands=$(printf '%s\n' "$text" | awk '
  /^\.SH/ {on = ($2 == "COMMANDS"); next}
  !on {next}
  /^\.RS/ {depth++} /^\.RE/ {depth--}
  tag {sub(/^\.[A-Z]+ /, ""); gsub(/"/, ""); print $1; tag = 0; next}
  /^\.TP/ && depth == 0 {tag = 1}' | sort -u)

options() { grep -oE -- '(^|[^a-zA-Z0-9-])--?[a-z][a-z0-9-]*' | grep -oE -- '--?[a-z][a-z0-9-]*' | grep -v -- '^-[a-z][a-z]' | sort -u; }
variables() { grep -oE 'BRISKO_[A-Z_]+' | sort -u; }

status=0
compare() {  # what, from help, from page
  local missing extra
  missing=$(comm -23 <(printf '%s\n' "$2" | sed '/^$/d') <(printf '%s\n' "$3" | sed '/^$/d'))
  extra=$(comm -13 <(printf '%s\n' "$2" | sed '/^$/d') <(printf '%s\n' "$3" | sed '/^$/d'))
  if [ -n "$missing" ]; then echo "$page lacks $1 that $name --help names: $(echo $missing)"; status=1; fi
  if [ -n "$extra" ]; then echo "$page names $1 that $name --help does not: $(echo $extra)"; status=1; fi
}
compare commands "$commands" "$page_commands"
# --help itself works, as this check shows, whether or not the help lists it.
compare options "$(printf '%s\n' "$helps" -h --help | options)" "$(printf '%s\n' "$text" | grep -v '^\.\\"' | options)"
help_variables=$(printf '%s\n' "$helps" | variables)
missing=$(comm -23 <(printf '%s\n' "$help_variables" | sed '/^$/d') <(printf '%s\n' "$text" | variables))
if [ -n "$missing" ]; then echo "$page lacks variables that $name --help names: $(echo $missing)"; status=1; fi

[ "$status" -eq 0 ] && echo "$page agrees with $name --help: $(echo $commands | wc -w) commands, $(printf '%s\n' "$helps" | options | wc -l) options"
exit "$status"
