#!/usr/bin/env bash
# make bench: measures movrek.exe against baseline.exe (a minimal window of our own built the
# same way) under Wine and an X server, prints a table and writes bench/results.md.
# Not a test: a missed target is reported, never a failure. Needs the Windows build.
#   BENCH_REPS     start-up launches per program (default 15)
#   BENCH_SECONDS  CPU interval per program in seconds (default 60)
#   BENCH_LADDER=1 only split the start-up and memory step by step (tests/bench/bench.py --ladder)
set -uo pipefail
cd "$(dirname "$0")/.."
WIN=${WIN_BUILD:-build/win}

# shellcheck source=wine-env.sh
. scripts/wine-env.sh
trap wine_env_stop EXIT INT TERM
wine_env_start "$WIN" private || exit 1
python3 tests/bench/bench.py --build "$WIN" --reps "${BENCH_REPS:-15}" \
  --seconds "${BENCH_SECONDS:-60}" --xvfb-pid "${_wine_env_xvfb_pid:-0}" \
  ${BENCH_LADDER:+--ladder}
