#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# data_test_under_wine.sh LINUX_CLI WINE_RUN CLI_EXE: brisko-cli data-test on Linux and
# brisko-cli.exe data-test over Winsock under Wine, against the same brisko-testserver
# (BRISKO_TEST_SERVER, set by run_with_testservers.sh, which sends at 4 MB/s). Both
# must print the same result lines and append the same report, figures apart from
# the speeds and seconds, which may differ by half again at most (loaded machines
# differ; a wrong unit or scale does not hide in that). brisko-cli.exe then fetches the
# file from the same server over IPv6 ([::1]:port) and in Mbit/s, where loopback has
# IPv6.
set -u
linux_cli=$(realpath "$1")
wine_run=$(realpath "$2")
cli=$(realpath "$3")
[ -x "$linux_cli" ] || { echo "$linux_cli is missing: build the Linux configuration first"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

"$linux_cli" data-test --report linux.txt >linux.out 2>&1 || fail "Linux: $(cat linux.out)"
"$wine_run" "$cli" data-test --report windows.txt 2>&1 | tr -d '\r' >windows.out
[ "${PIPESTATUS[0]}" = 0 ] || fail "Windows: $(cat windows.out)"

# The results, from their heading on, and the report without its date line, with
# every number made N: the texts around the figures must match byte for byte.
results() { sed -n '/^Data Speed Test Results/,$p' "$1"; }
masked() { sed -E 's/[0-9]+([.,][0-9]+)?/N/g'; }
results linux.out | masked >linux.results
results windows.out | masked >windows.results
diff -u linux.results windows.results || fail "the result lines differ"
[ -s linux.results ] || fail "no results: $(cat linux.out)"
grep -v 'Saved on' linux.txt | masked >linux.report
grep -v 'Saved on' windows.txt | masked >windows.report
diff -u linux.report windows.report || fail "the reports differ (line ends included)"

# The figures: the size exactly, times and speeds within a factor of 1.5 of Linux's.
figure() { sed -n "s/^$2[^0-9]*\([0-9][0-9.,]*\).*/\1/p" "$1" | head -1 | tr , .; }
for caption in 'Data Size' 'Total time' 'Avgerage Speed' 'Max speed' 'Min speed'; do
  l=$(figure linux.out "$caption")
  w=$(figure windows.out "$caption")
  if [ -z "$l" ] || [ -z "$w" ]; then
    fail "$caption: no figure (Linux '$l', Windows '$w')"
  elif [ "$caption" = 'Data Size' ]; then
    [ "$l" = "$w" ] || fail "$caption: Linux $l, Windows $w"
  elif ! awk -v l="$l" -v w="$w" 'BEGIN { exit !(w * 1.5 >= l && w <= 1.5 * l) }'; then
    fail "$caption: Linux $l, Windows $w"
  fi
done

# Over IPv6: Winsock's getaddrinfo and connect under Wine, the Host line bracketed.
if [ -n "${BRISKO_TEST_SERVER_V6:-}" ]; then
  BRISKO_TEST_SERVER=$BRISKO_TEST_SERVER_V6 "$wine_run" "$cli" data-test --unit mbit 2>&1 | tr -d '\r' >v6.out
  [ "${PIPESTATUS[0]}" = 0 ] || fail "Windows over IPv6: $(cat v6.out)"
  grep -qxF "Test file: $BRISKO_TEST_SERVER_V6/5MB.zip" v6.out || fail "over IPv6 the test file is not named: $(head -1 v6.out)"
  l=$(figure linux.out 'Avgerage Speed')
  w=$(figure v6.out 'Avgerage Speed')
  grep -q '^Avgerage Speed: [0-9.,]* Mbit/s$' v6.out || fail "over IPv6 the average is not in Mbit/s: $(grep Avg v6.out)"
  # KB/s to Mbit/s: times 8192 / 10^6, within the same factor of 1.5.
  awk -v l="$l" -v w="$w" 'BEGIN { m = l * 8192 / 1e6; exit !(w * 1.5 >= m && w <= 1.5 * m) }' ||
    fail "over IPv6: $w Mbit/s, Linux $l KB/s"
  v6_line="; over IPv6 $w Mbit/s"
else
  v6_line="; over IPv6 skipped: no IPv6 on the loopback interface"
fi

if ((failures > 0)); then
  echo "--- Linux"; cat linux.out; echo "--- Windows"; cat windows.out; [ -f v6.out ] && { echo "--- IPv6"; cat v6.out; }
  exit 1
fi
echo "data-test under Wine: the same results and report as on Linux$v6_line"
cat windows.out
