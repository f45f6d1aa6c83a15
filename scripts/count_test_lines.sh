#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Prints the size of the tests against the code they test: lines of *.cpp and *.h
# under tests/ (support included) against those of every other C++ file but bench/
# and the build folders.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 cat | wc -l; }
tests=$(count tests)
code=$(count . \( -path ./tests -o -path ./bench -o -path './build*' -o -path ./.git \) -prune -o)
awk -v t="$tests" -v c="$code" 'BEGIN {
  printf "Test ratio: %d lines of C++ under tests/ against %d lines of other C++ (not bench/, build*/) = %.2f\n", t, c, t / c }'
