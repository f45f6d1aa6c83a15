#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# quality_on_shaped_link.sh SHAPED_LINK SERVER CLI: brisko-cli quality --json against
# brisko-testserver behind a 40 Mbit/s link with a 250 ms queue (shaped_link.sh). The
# goodput both ways must be within 15 % of the link's rate, and the latency under load
# at least 30 ms above the idle one: the queue is there to be found. Exits 77 (skipped)
# where the link cannot be made.
set -u
shaped=$1
server=$(realpath "$2")
cli=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Inside the namespace, TCP sends as a host behind a remote bottleneck would: in large
# segments, loss-based. Otherwise its small-queue limit keeps the bucket's queue near
# empty (the host's own queue is that bucket), and BBR, a host's default here and
# there, never fills one.
inside='
sysctl -qw net.ipv4.tcp_congestion_control=reno net.ipv4.tcp_min_tso_segs=44 2>/dev/null
"$1" --quiet --port 8080 >"$3/server.out" 2>&1 </dev/null &
server=$!
for _ in $(seq 100); do grep -q "^listening on" "$3/server.out" && break; sleep 0.05; done
XDG_DATA_HOME="$3/data" BRISKO_TEST_SERVER=127.0.0.1:8080 "$2" quality --json --duration 3 >"$3/out.json" 2>"$3/err.txt"
status=$?
kill $server
exit $status'
"$shaped" --rate 40mbit --queue 250ms -- bash -c "$inside" -- "$server" "$cli" "$work"
status=$?
[ "$status" = 77 ] && exit 77

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
figure() { sed -n "s/.*\"$1\":\(null\|true\|false\|[-0-9.e+][-0-9.e+]*\).*/\1/p" "$work/out.json" | head -1; }
[ "$status" = 0 ] || fail "brisko-cli quality ended with status $status: $(cat "$work/err.txt")"
[ "$(figure complete)" = true ] || fail "the run is not complete"
for rate in download_mbit_s upload_mbit_s download_single_mbit_s upload_single_mbit_s; do
  value=$(figure $rate)
  awk -v v="$value" 'BEGIN { exit !(v + 0 >= 34 && v + 0 <= 46) }' || fail "$rate $value is not within 15 % of 40"
done
idle=$(figure idle_latency_ms)
loaded=$(figure loaded_latency_ms)
awk -v i="$idle" -v l="$loaded" 'BEGIN { exit !(l - i >= 30) }' ||
  fail "the latency under load ($loaded ms) is not 30 ms above the idle one ($idle ms)"
grep -q '"kind":"quality"' "$work/data/brisko/history.jsonl" 2>/dev/null || fail "the run is not in the history"

summary="download $(figure download_mbit_s) (one stream $(figure download_single_mbit_s)), upload $(figure upload_mbit_s) (one stream $(figure upload_single_mbit_s)) Mbit/s; latency idle $idle ms, loaded $loaded ms; $(figure responsiveness_rpm) RPM"
if ((failures > 0)); then
  echo "$summary"
  cat "$work/err.txt"
  exit 1
fi
echo "quality on a 40 Mbit/s link with a 250 ms queue: $summary"
