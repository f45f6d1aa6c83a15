#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a shaped link: in a network namespace of its own, whose loopback
# is held to a rate behind a queue (tc's token bucket filter), as a slow access link
# would be. Exits 77, the status that marks a skipped test, when namespaces or tc are
# not allowed here.
set -euo pipefail

me=shaped_link.sh
usage() {
  cat <<'EOF'
Usage: scripts/shaped_link.sh [--rate RATE] [--queue TIME] -- COMMAND [ARGUMENT...]

Runs COMMAND in a network namespace of its own, whose loopback (127.0.0.1) is
shaped like a slow link: at most RATE, with a queue that holds up to TIME of
data before it drops packets (a bufferbloated link's is large). Both directions
share the one queue. COMMAND sees no other network, so start the server inside
it too, for example:
  scripts/shaped_link.sh --rate 40mbit -- sh -c \
    'brisko-testserver --quiet --port 8080 & sleep 0.3; brisko-cli quality ...'

  --rate RATE    bits per second, with the suffix kbit, mbit or gbit
                 (default 40mbit)
  --queue TIME   the longest a packet may wait, in us, ms or s (default 250ms)
  -h, --help     show this help

Runs as root, or else in a user namespace of its own. Exits with COMMAND's
status, 2 for bad usage, or 77 when namespaces or tc are not allowed here.
EOF
}
bad_usage() {
  echo "$me: $1" >&2
  echo "Try scripts/shaped_link.sh --help." >&2
  exit 2
}
skip() {
  echo "$me: $1" >&2
  exit 77
}

# Inside the namespace (the script runs itself there): shape the loopback, then run
# the command.
if [[ -n ${SHAPED_LINK_INSIDE:-} ]]; then
  read -r rate burst queue <<<"$SHAPED_LINK_INSIDE"
  unset SHAPED_LINK_INSIDE
  why=$({ ip link set lo up && ip link set lo mtu 1500 &&
    tc qdisc add dev lo root tbf rate "$rate" burst "$burst" latency "$queue"; } 2>&1) ||
    skip "cannot shape the loopback here: ${why%%$'\n'*}"
  # The queue sits on the sender's own lo, where TCP Small Queues and BBR (which aims
  # to keep queues empty) would never fill it as a distant bottleneck fills: reno and
  # bigger segments let the link queue as a real one does. Best effort per namespace.
  sysctl -qw net.ipv4.tcp_congestion_control=reno net.ipv4.tcp_min_tso_segs=44 >/dev/null 2>&1 || true
  exec "$@"
fi

rate=40mbit
queue=250ms
while (($#)); do
  case $1 in
    --rate | --queue)
      (($# >= 2)) || bad_usage "$1 needs a value"
      if [[ $1 == --rate ]]; then rate=$2; else queue=$2; fi
      shift 2
      ;;
    -h | --help) usage; exit 0 ;;
    --) shift; break ;;
    *) bad_usage "unknown option \"$1\" (the command comes after --)" ;;
  esac
done
(($#)) || bad_usage "no command to run (it comes after --)"
[[ $rate =~ ^([1-9][0-9]{0,5})(kbit|mbit|gbit)$ ]] ||
  bad_usage "--rate takes bits per second such as 40mbit, not \"$rate\""
# The bucket holds 128 kB, or 10 ms of the rate when that is more: a smaller one
# would keep the filter below the rate.
declare -A unit=([kbit]=1000 [mbit]=1000000 [gbit]=1000000000)
burst=$((BASH_REMATCH[1] * unit[${BASH_REMATCH[2]}] / 8 / 100))
((burst >= 131072)) || burst=131072
[[ $queue =~ ^[1-9][0-9]{0,6}(us|ms|s)$ ]] || bad_usage "--queue takes a time such as 250ms, not \"$queue\""

command -v unshare >/dev/null || skip "unshare is not installed (util-linux)"
for tool in ip tc; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (iproute2)"
done
# Root makes the namespace itself; anyone else may still make one in a user
# namespace of their own.
options=()
((EUID == 0)) && options+=("--net")
options+=("--user --map-root-user --net")
for try in "${options[@]}"; do
  # shellcheck disable=SC2086
  if why=$(unshare $try true 2>&1); then
    flags=$try
    break
  fi
done
[[ -v flags ]] || skip "network namespaces are not allowed here: ${why%%$'\n'*}"

# shellcheck disable=SC2086
SHAPED_LINK_INSIDE="$rate $burst $queue" exec unshare $flags -- "$BASH" "${BASH_SOURCE[0]}" "$@"
