#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Network quality benchmark: brisko-cli quality against brisko-testserver on shaped
# links (scripts/shaped_link.sh) at 20 and 40 Mbit/s with queues of 50 ms and 250 ms,
# then on the bare loopback. Prints the goodput against the shaped rate, the latency
# idle and under load, the responsiveness (which should fall as the queue deepens) and
# the CPU time brisko-cli took. Figures, not a pass or fail.
#
#   brisko-bench-quality [SECONDS]   each loaded phase SECONDS long (default 5)
set -u
bin=@BRISKO_BIN_DIR@
shaped=@PROJECT_SOURCE_DIR@/scripts/shaped_link.sh
seconds=${1:-5}
server=$bin/brisko-testserver
cli=$bin/brisko-cli
for program in "$server" "$cli"; do
  [ -x "$program" ] || { echo "$program is missing: build brisko-cli and brisko-testserver first"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One run: the server and brisko-cli, its JSON in $work/out.json and its CPU seconds
# (user and system) in $work/cpu. With "shape" first, TCP inside the namespace sends as
# a host behind a remote bottleneck: in large segments and loss-based, or else the
# host's small-queue limit would keep the shaper's queue near empty.
run='
[ "$4" = shape ] && sysctl -qw net.ipv4.tcp_congestion_control=reno net.ipv4.tcp_min_tso_segs=44 2>/dev/null
rm -f "$3/server.out"
"$1" --quiet --port 0 >"$3/server.out" 2>&1 </dev/null &
server=$!
address=
for _ in $(seq 100); do
  address=$(sed -n "s/^listening on //p" "$3/server.out")
  [ -n "$address" ] && break
  sleep 0.05
done
TIMEFORMAT="%U %S"
{ time XDG_DATA_HOME="$3/data" BRISKO_TEST_SERVER=$address "$2" quality --json --duration "$5" >"$3/out.json" 2>"$3/err.txt"; } 2>"$3/cpu"
status=$?
kill $server
exit $status'

figure() { sed -n "s/.*\"$1\":\(null\|true\|false\|[-0-9.e+][-0-9.e+]*\).*/\1/p" "$work/out.json" | head -1; }
# A figure with one decimal, its share of the shaped rate after it when there is one.
rate() {
  local value
  value=$(figure "$1")
  if [ -z "$value" ] || [ "$value" = null ]; then printf '%14s' '-'; return; fi
  if [ -n "$2" ]; then
    awk -v v="$value" -v r="$2" 'BEGIN { printf "%7.1f (%3.0f%%)", v, 100 * v / r }'
  else
    awk -v v="$value" 'BEGIN { printf "%14.0f", v }'
  fi
}
row() {  # label, shaped Mbit/s (empty for none), wall seconds
  local cpu ms
  cpu=$(awk '{ printf "%.2f", $1 + $2 }' "$work/cpu" 2>/dev/null)
  printf '%-16s %s %s %s %s' "$1" "$(rate download_mbit_s "$2")" "$(rate download_single_mbit_s "$2")" \
    "$(rate upload_mbit_s "$2")" "$(rate upload_single_mbit_s "$2")"
  for ms in idle_latency_ms loaded_latency_ms; do
    awk -v v="$(figure $ms)" 'BEGIN { if (v == "null" || v == "") printf " %9s", "-"; else printf " %9.1f", v }'
  done
  awk -v v="$(figure responsiveness_rpm)" 'BEGIN { if (v == "null" || v == "") printf " %7s", "-"; else printf " %7.0f", v }'
  printf ' %6s s (%s%% of %s s)\n' "${cpu:--}" "$(awk -v c="${cpu:-0}" -v w="$3" 'BEGIN { printf "%.0f", 100 * c / w }')" "$3"
  [ "$(figure complete)" = true ] || echo "  failed: $(cat "$work/err.txt" | tail -1)"
}

echo "brisko-cli quality --duration $seconds, 8 streams; rates in Mbit/s (share of the shaped rate)"
printf '%-16s %14s %14s %14s %14s %9s %9s %7s %s\n' link download 'one stream' upload 'one stream' 'idle ms' 'load ms' RPM 'CPU'
declare -A rpm
for mbit in 20 40; do
  for queue in 50ms 250ms; do
    start=$(date +%s.%N)
    "$shaped" --rate ${mbit}mbit --queue $queue -- bash -c "$run" -- "$server" "$cli" "$work" shape "$seconds"
    status=$?
    wall=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }')
    if [ "$status" = 77 ]; then
      echo "${mbit} Mbit/s, $queue: skipped (no network namespaces here)"
      continue
    fi
    row "$mbit Mbit/s $queue" "$mbit" "$wall"
    rpm[$mbit-$queue]=$(figure responsiveness_rpm)
  done
  if [ -n "${rpm[$mbit-50ms]:-}" ] && [ -n "${rpm[$mbit-250ms]:-}" ]; then
    awk -v s="${rpm[$mbit-50ms]}" -v d="${rpm[$mbit-250ms]}" -v m="$mbit" \
      'BEGIN { printf "  at %d Mbit/s the RPM falls from %.0f to %.0f as the queue deepens: %s\n", m, s, d, (d < s ? "yes" : "NO") }'
  fi
done
start=$(date +%s.%N)
bash -c "$run" -- "$server" "$cli" "$work" bare "$seconds"
row "bare loopback" "" "$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }')"
