#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each over its corpus for a while.
#   tests/fuzz/run.sh [SECONDS]     (FUZZ_BUILD: build folder, default build/fuzz;
#                                    FUZZ_TARGETS: which targets, default all;
#                                    FUZZ_RUNS=N: N executions each instead of SECONDS;
#                                    FUZZ_MERGE=1: fold what was found into the committed corpus;
#                                    FUZZ_ASAN=1: fuzz with the AddressSanitizer build itself)
# The targets: kini and settings keep their files in memory (thousands of inputs a second);
# settings_files is settings over real files, for the file code itself. Both settings targets
# grow the one settings corpus.
# Each target fuzzes in a build without AddressSanitizer, for speed; afterwards every input of
# its working corpus and every finding goes once through the build with it (fuzz_<target>_asan),
# so a memory error on any input the fuzzing kept is still caught.
# New inputs go to a working corpus in the build folder; every crash or broken invariant is
# copied to tests/fuzz/crashes/<target>/, where the regression test picks it up.
set -uo pipefail
cd "$(dirname "$0")/../.."
ROOT=$(pwd)
SECONDS_EACH=${1:-${FUZZ_SECONDS:-60}}
BUILD=${FUZZ_BUILD:-build/fuzz}
RUNS=${FUZZ_RUNS:-}
TARGETS=${FUZZ_TARGETS:-"kini settings settings_files"}
if [ -n "$RUNS" ] && ! [[ "$RUNS" =~ ^[0-9]+$ ]]; then echo "FUZZ_RUNS is not a number: $RUNS" >&2; exit 2; fi

# The corpus (and dictionary) a target draws from and grows.
corpus_of() { case "$1" in settings_files) echo settings ;; *) echo "$1" ;; esac; }

scripts/deps.sh clang libclang-rt-14-dev || exit 1
cmake -S tests/fuzz -B "$BUILD" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
cmake --build "$BUILD" -j 2 -- --no-print-directory >/dev/null || exit 1

# A smaller quarantine of freed memory than AddressSanitizer's 256 MB: the harnesses free far
# less than that per input, so a use after free is still caught, and the process stops
# faulting in fresh pages for every allocation. An ASAN_OPTIONS of the caller's own wins.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16}

status=0
for t in $TARGETS; do
  bin="$BUILD/fuzz_$t"
  asan="$BUILD/fuzz_${t}_asan"
  [ "${FUZZ_ASAN:-0}" = 1 ] && bin=$asan
  [ -x "$bin" ] || { echo "no fuzz target $t (the targets: kini settings settings_files)" >&2; status=1; continue; }
  c=$(corpus_of "$t")
  work="$BUILD/corpus/$t"
  artifacts="$BUILD/artifacts/$t"
  mkdir -p "$work" "$artifacts" "tests/fuzz/crashes/$t"
  dict=()
  [ -f "tests/fuzz/$c.dict" ] && dict=(-dict="tests/fuzz/$c.dict")
  if [ -n "$RUNS" ]; then
    limit=(-runs="$RUNS")
    echo "== fuzz_$t for $RUNS executions"
  else
    limit=(-max_total_time="$SECONDS_EACH")
    echo "== fuzz_$t for ${SECONDS_EACH}s"
  fi
  log="$BUILD/fuzz_$t.log"
  # On a shared machine the wall-clock speed says little: the CPU time is measured as well.
  TIMEFORMAT='%R %U %S'
  { time "$bin" "$work" "tests/fuzz/corpus/$c" "${dict[@]}" "${limit[@]}" \
      -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" >"$log" 2>&1; } 2>"$BUILD/time_$t"
  rc=$?
  grep -E '^#[0-9]+' "$log" | grep -E ' cov: ' | tail -1
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log"
  read -r wall user sys <"$BUILD/time_$t"
  units=$(grep -E '^stat::number_of_executed_units' "$log" | grep -oE '[0-9]+$')
  awk -v w="$wall" -v u="$user" -v s="$sys" -v n="${units:-0}" 'BEGIN { cpu = u + s;
    printf "took %.0fs, %.1fs of CPU (%.0f%% of one core): %.0f executions per CPU second\n", w, cpu, (w > 0 ? 100 * cpu / w : 0), (cpu > 0 ? n / cpu : 0) }'
  # The AddressSanitizer pass: the working corpus, the seeds and what was found, once each.
  # Findings are run file by file, so a crash among them does not hide the others.
  asan_log="$BUILD/fuzz_${t}_asan.log"
  asan_rc=0
  "$asan" -runs=0 -max_len=4096 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$artifacts/asan-" \
    "$work" "tests/fuzz/corpus/$c" >"$asan_log" 2>&1 || asan_rc=$?
  for a in "$artifacts"/*; do
    [ -f "$a" ] || continue
    "$asan" "$a" >>"$asan_log" 2>&1 || asan_rc=1
  done
  echo "AddressSanitizer pass over $(find "$work" "tests/fuzz/corpus/$c" -type f | wc -l) inputs: $([ "$asan_rc" = 0 ] && echo clean || echo "FAULT (exit $asan_rc), log: $asan_log")"
  [ "$asan_rc" = 0 ] || { grep -E 'ERROR: |SUMMARY: |invariant broken' "$asan_log" | head -10; rc=1; }
  found=$(find "$artifacts" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
    status=1
    echo "fuzz_$t found a fault (exit $rc); log: $log"
    grep -E 'invariant broken|ERROR: |SUMMARY: ' "$log" | head -20
    find "$artifacts" -type f -exec cp {} "tests/fuzz/crashes/$t/" \;
    echo "copied to tests/fuzz/crashes/$t/: $(ls "tests/fuzz/crashes/$t" | tr '\n' ' ')"
  fi
  if [ "${FUZZ_MERGE:-0}" = 1 ]; then
    # Keep the committed corpus small: only inputs that reach new edges are folded in (with
    # hit counts as well it would grow to hundreds of files).
    "$bin" -merge=1 -use_counters=0 "tests/fuzz/corpus/$c" "$work" -max_len=4096 \
      >"$BUILD/merge_$t.log" 2>&1 || status=1
    echo "corpus/$c: $(ls "tests/fuzz/corpus/$c" | wc -l) files, $(du -sk "tests/fuzz/corpus/$c" | cut -f1) KB"
  fi
done
exit $status
