#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check_readme.sh SOURCE_DIR BRISKO_CLI BRISKO_TESTSERVER
# What the README states as fact, against the programs and the source: the test files'
# sizes (served by the test server), the version, the stall and page limits, the
# report's version line, and which files use Qt. A change to one that forgets the other
# fails here.
set -euo pipefail
src=$1
cli=$2
server=$3
readme="$src/README.md"
status=0
fail() { echo "README: $*"; status=1; }

# The download test files: the table's bytes are what the server sends.
log=$(mktemp)
trap 'kill "$pid" 2>/dev/null; rm -f "$log"' EXIT
"$server" --port 0 --quiet >"$log" 2>&1 &
pid=$!
for _ in $(seq 100); do grep -q '^listening on' "$log" && break; sleep 0.1; done
address=$(sed -n 's/^listening on //p' "$log" | head -1)
[ -n "$address" ] || { echo "the test server did not start: $(cat "$log")"; exit 1; }
rows=$(grep -E '^\| [A-Z][a-z]+ \([0-9]+Mb\) \| `/[0-9]+MB\.zip` \|' "$readme" || true)
[ "$(printf '%s\n' "$rows" | grep -c .)" -eq 3 ] || fail "the table of the three test files is not where it was"
while IFS='|' read -r _ option file size _; do
  path=$(echo "$file" | tr -d ' `')
  stated=$(echo "$size" | grep -oE '^ *[0-9,]+' | tr -d ' ,')
  served=$(curl -s -o /dev/null -w '%{size_download}' "http://$address$path")
  [ "$stated" = "$served" ] || fail "$option: $path is $served bytes, the table says $stated"
done <<<"$rows"

# The version in the title is the program's.
version=$("$cli" --version | awk '{print $2}')
grep -q "^# Brisko $version " "$readme" || fail "the title does not name version $version"
grep -q "not the program's version, $version" "$readme" || fail "the report paragraph does not name version $version"

# The report's version line as the report writes it.
report_version=$(sed -n 's/.*kReportVersion = " *\([^"]*\)".*/\1/p' "$src/speedtest/report.h")
grep -q "\"$report_version\": the report layout's own version line" "$readme" ||
  fail "the report's version line is \"$report_version\""

# The limits, as the programs keep them.
stall=$(sed -n 's/.*kStallSeconds = \([0-9]*\);.*/\1/p' "$src/speedtest/download_run.h")
page=$(sed -n 's/.*kLoadLimitSeconds = \([0-9]*\);.*/\1/p' "$src/cli/web_test_command.h")
grep -q "Nothing has arrived for $stall seconds" "$readme" || fail "the stall limit is $stall seconds"
grep -q "has not finished$" "$readme" && grep -q "^after $page seconds" "$readme" ||
  fail "the page limit is $page seconds"

# Files that include a Qt header lie where the Layout says Qt is used.
places=$(awk '/Qt is used by/ {on = 1} on {print} on && /itself links Qt/ {exit}' "$readme" |
  grep -oE '`[^`]+`' | tr -d '`' | grep -E '/|\*' || true)
[ -n "$places" ] || fail "the Layout no longer says where Qt is used"
if git -C "$src" rev-parse --git-dir >/dev/null 2>&1; then
  files=$(git -C "$src" ls-files '*.cpp' '*.h')
else
  files=$(cd "$src" && find . -name '*.cpp' -o -name '*.h' | sed 's|^\./||')
fi
for f in $files; do
  case "$f" in tests/* | fuzz/* | build*) continue ;; esac
  grep -qE '^#include <Q[A-Za-z]+>' "$src/$f" || continue
  named=0
  for place in $places; do
    # A pattern names files by their name (with any extension), a path by its start.
    # shellcheck disable=SC2254
    case "$place" in
      *\**) case "$(basename "$f")" in $place.*) named=1 ;; esac ;;
      *) case "$f" in "$place"*) named=1 ;; esac ;;
    esac
  done
  [ "$named" -eq 1 ] || fail "$f uses Qt, which the Layout does not say"
done

[ "$status" -eq 0 ] && echo "README agrees with the programs: sizes, version $version, limits ${stall} s and ${page} s, Qt places"
exit "$status"
