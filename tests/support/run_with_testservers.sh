#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# run_with_testservers.sh SERVER COMMAND...: starts the Linux brisko-testserver twice
# on free loopback ports (the test files at 4 MB/s, and one that answers 404), puts
# their addresses in BRISKO_TEST_SERVER and BRISKO_TEST_SERVER_404 (and the first's on
# ::1 in BRISKO_TEST_SERVER_V6, empty where loopback has no IPv6), runs COMMAND (a
# Windows test under Wine, say) and stops both servers.
set -u
server=$1
shift
if [ ! -x "$server" ]; then
  echo "$server is missing: build the Linux configuration first" >&2
  exit 1
fi
dir=$(mktemp -d)
pids=""
trap 'kill $pids 2>/dev/null; rm -rf "$dir"' EXIT INT TERM

# Starts one server and sets address once it listens. Not in a subshell: the trap
# must know every server to stop.
start() {
  out="$dir/$1"
  shift
  "$server" --port 0 --quiet "$@" >"$out" 2>&1 </dev/null &
  pids="$pids $!"
  for _ in $(seq 100); do
    address=$(sed -n 's/^listening on //p' "$out")
    [ -n "$address" ] && return 0
    sleep 0.05
  done
  echo "brisko-testserver did not start: $(cat "$out")" >&2
  exit 1
}

start files --rate 4M
BRISKO_TEST_SERVER=$address
# The same server on ::1, once it says so (the line follows the first).
for _ in $(seq 20); do
  v6=$(sed -n 's/^also listening on \(\[::1\]:[0-9]*\)$/\1/p' "$out")
  [ -n "$v6" ] || grep -q '^IPv6 is not available\|^not on \[::1\]' "$out" && break
  sleep 0.05
done
BRISKO_TEST_SERVER_V6=$v6
start missing --status 404
BRISKO_TEST_SERVER_404=$address
export BRISKO_TEST_SERVER BRISKO_TEST_SERVER_404 BRISKO_TEST_SERVER_V6
"$@"
