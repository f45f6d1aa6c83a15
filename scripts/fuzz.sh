#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets of fuzz/ with clang and runs them.
#   scripts/fuzz.sh [TARGET|all] [SECONDS]   each target SECONDS long (default 300); what
#                                            they find grows build-fuzz/corpus/TARGET
#   scripts/fuzz.sh --smoke [TARGET]         the short fixed runs ./test makes, on a
#                                            temporary copy of the seeds
# Targets: reg_file command_line download_client pref_patcher report.
# An input that breaks a target is kept in build-fuzz/artifacts/TARGET/; run the target
# on it to see why: build-fuzz/fuzz-bin/TARGET_fuzz FILE. Exits with 77 when there is no
# clang++ to build the targets with.
set -uo pipefail
cd "$(dirname "$0")/.."

targets=(reg_file command_line download_client pref_patcher report)
# Runs per target in --smoke mode: 10 to 20 s each on one free core, and never more
# than 25 s (a fixed number of runs unless a slow machine meets that bound first).
declare -A smoke_runs=([reg_file]=30000 [command_line]=300000 [download_client]=400000
                       [pref_patcher]=4000 [report]=60000)
# The longest input the fuzzer makes up: 4 KB, and for the download client more than its
# 16 KB header limit and the cut positions after it, so that the limit is reached too.
declare -A max_len=([download_client]=17000)

smoke=0
if [ "${1:-}" = "--smoke" ]; then
  smoke=1
  shift
fi
chosen="${1:-all}"
seconds="${2:-300}"
if [ "$chosen" != all ] && [[ ! " ${targets[*]} " =~ " $chosen " ]]; then
  echo "Unknown fuzz target \"$chosen\"; the targets are: ${targets[*]}" >&2
  exit 2
fi
[ "$chosen" = all ] || targets=("$chosen")

clang="$(command -v clang++ || true)"
if [ -z "$clang" ]; then
  echo "Fuzzing skipped: clang++ is not installed (scripts/setup.sh installs it)."
  exit 77
fi

build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRISKO_GUI=OFF -DBRISKO_FUZZ=ON \
  -DCMAKE_CXX_COMPILER="$clang" >/dev/null || exit 1
cmake --build "$build" --target brisko_fuzzers || exit 1

# Every patch of the preference target syncs files: tmpfs keeps that cheap.
scratch_parent=/dev/shm
[ -d "$scratch_parent" ] && [ -w "$scratch_parent" ] || scratch_parent="${TMPDIR:-/tmp}"
scratch="$(mktemp -d "$scratch_parent/brisko-fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

failed=()
for t in "${targets[@]}"; do
  artifacts="$build/artifacts/$t"
  mkdir -p "$artifacts" "$scratch/$t-tmp"
  if ((smoke)); then
    corpus="$scratch/$t-corpus"
    mkdir -p "$corpus"
    cp fuzz/corpus/"$t"/* "$corpus"/
    # A fixed seed: ./test explores the same inputs every time.
    limit=(-runs="${smoke_runs[$t]}" -max_total_time=25 -seed=1)
  else
    corpus="$build/corpus/$t"
    mkdir -p "$corpus"
    cp -n fuzz/corpus/"$t"/* "$corpus"/
    limit=(-max_total_time="$seconds")
  fi
  log="$scratch/$t.log"
  start=$SECONDS
  export TMPDIR="$scratch/$t-tmp"
  # The seeds first, each whole; the fuzzer then works on inputs of at most max_len (it
  # cuts longer seeds), so a huge seed cannot slow every run down.
  broke=""
  if ! "$build/fuzz-bin/${t}_fuzz" -timeout=60 fuzz/corpus/"$t"/* >"$log" 2>&1; then
    broke="seed $(sed -n 's/^Running: //p' "$log" | tail -n 1)"
  elif ! "$build/fuzz-bin/${t}_fuzz" "${limit[@]}" -max_len="${max_len[$t]:-4096}" -timeout=30 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" >>"$log" 2>&1; then
    broke="input kept: $artifacts/$(ls -t "$artifacts" | head -n 1)"
  fi
  unset TMPDIR
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  if [ -z "$broke" ]; then
    echo "fuzz $t: ${runs:-?} runs in $((SECONDS - start)) s, nothing found"
  else
    failed+=("$t")
    echo "fuzz $t: FAILED after $((SECONDS - start)) s:"
    # What broke and the top of the stack; the whole log is long (deep recursion).
    awk '/Property broken|^==[0-9]+==ERROR|runtime error:/ {on = 1}
         on && n < 10 && !/^INFO:|^#[0-9]+ |NEW_FUNC/ {print "  " $0; n++}
         /^SUMMARY:/ {print "  " $0}' "$log" | cut -c1-200
    echo "  $broke"
  fi
done

if ((${#failed[@]})); then
  echo "Fuzz targets that found a fault: ${failed[*]}"
  exit 1
fi
