#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# quality_under_wine.sh WINE_RUN CLI_EXE: brisko-cli.exe quality over Winsock under Wine
# against the Linux brisko-testserver (BRISKO_TEST_SERVER, set by
# run_with_testservers.sh, which sends each connection's body at 4 MB/s): a whole run
# with every figure, the single-stream download at that rate, several streams faster;
# and against the server that answers 404, a failure that names the phase. Over IPv6
# ([::1]:port) where loopback has it, a short run in KB/s.
set -u
wine_run=$(realpath "$1")
cli=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
figure() { sed -n "s/.*\"$1\":\(null\|true\|false\|[-0-9.e+][-0-9.e+]*\).*/\1/p" out.json | head -1; }

"$wine_run" "$cli" quality --json --duration 2 --streams 4 2>err.txt | tr -d '\r' >out.json
[ "${PIPESTATUS[0]}" = 0 ] || fail "the run ended with status ${PIPESTATUS[0]}: $(tr -d '\r' <err.txt | tail -3)"
[ "$(figure complete)" = true ] || fail "the run is not complete"
for name in idle_latency_ms jitter_ms download_mbit_s download_single_mbit_s upload_mbit_s upload_single_mbit_s \
  loaded_latency_ms responsiveness_rpm; do
  value=$(figure $name)
  awk -v v="$value" 'BEGIN { exit !(v != "null" && v + 0 > 0) }' || fail "$name is $value"
done
# 4 MB/s is 33.55 Mbit/s a connection.
single=$(figure download_single_mbit_s)
many=$(figure download_mbit_s)
awk -v v="$single" 'BEGIN { exit !(v >= 0.8 * 33.55 && v <= 1.2 * 33.55) }' ||
  fail "one stream downloads at $single Mbit/s, not about 33.55"
awk -v s="$single" -v m="$many" 'BEGIN { exit !(m >= 1.5 * s) }' || fail "four streams ($many Mbit/s) are not faster than one ($single)"

BRISKO_TEST_SERVER=$BRISKO_TEST_SERVER_404 "$wine_run" "$cli" quality --duration 1 >refused.out 2>refused.err
status=$?
[ "$status" = 1 ] || fail "against the 404 server the status is $status, not 1"
grep -q "idle latency: the server answered 404 Not Found" refused.err ||
  fail "against the 404 server: $(tr -d '\r' <refused.err)"

if [ -n "${BRISKO_TEST_SERVER_V6:-}" ]; then
  BRISKO_TEST_SERVER=$BRISKO_TEST_SERVER_V6 "$wine_run" "$cli" quality --duration 1 --streams 2 --unit kb \
    >v6.out 2>v6.err
  status=$?
  tr -d '\r' <v6.out >v6.txt
  [ "$status" = 0 ] || fail "over IPv6 the status is $status: $(tr -d '\r' <v6.err | tail -3)"
  grep -q "^Network quality against $(printf '%s' "$BRISKO_TEST_SERVER_V6" | sed 's/[][]/\\&/g'), " v6.txt ||
    fail "over IPv6 the server is not named: $(head -1 v6.txt)"
  grep -q '^Download: [0-9]* KB/s (one stream: [0-9]* KB/s)$' v6.txt || fail "over IPv6: $(grep Download v6.txt)"
  v6_note="; over IPv6 in KB/s: $(grep '^Download' v6.txt)"
else
  v6_note="; over IPv6 skipped: no IPv6 on the loopback interface"
fi

if ((failures > 0)); then
  echo "--- the run"; tr -d '\r' <err.txt | tail -20; cat out.json | head -c 2000; echo
  exit 1
fi
echo "quality under Wine: download $many (one stream $single), upload $(figure upload_mbit_s) (one stream $(figure upload_single_mbit_s)) Mbit/s, latency idle $(figure idle_latency_ms) ms, loaded $(figure loaded_latency_ms) ms, $(figure responsiveness_rpm) RPM$v6_note"
