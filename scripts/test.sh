#!/usr/bin/env bash
# Builds both worlds and runs every test tier:
#   1. portable unit tests, native, under AddressSanitizer and UndefinedBehaviorSanitizer;
#   2. the same tests and the Win32-only tests, cross-compiled and run under Wine;
#   3. end-to-end tests driving the real movrek.exe under Wine and Xvfb.
# Ends with one summary line counting every test of every tier.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

scripts/deps.sh || exit 1

NATIVE=${NATIVE_BUILD:-build/native}
WIN=${WIN_BUILD:-build/win}
status=0

echo "== native build (ASan + UBSan)"
cmake -S . -B "$NATIVE" -DMOVREK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null || exit 1
cmake --build "$NATIVE" -j "$JOBS" -- --no-print-directory 2>&1 | grep -v -E '^\[ *[0-9]+%\]' || true
[ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
rm -f "$NATIVE"/results/*.xml
echo "== native tests"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$NATIVE" --output-on-failure -j "$JOBS" --output-junit results/ctest.xml || status=1

echo "== Windows build (MinGW-w64)"
cmake -S . -B "$WIN" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
cmake --build "$WIN" -j "$JOBS" -- --no-print-directory 2>&1 | grep -v -E '^\[ *[0-9]+%\]' || true
[ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
rm -f "$WIN"/results/*.xml

# shellcheck source=wine-env.sh
. scripts/wine-env.sh
trap wine_env_stop EXIT INT TERM
wine_env_start "$WIN" private || exit 1
echo "== Wine tests and end-to-end tests"
ctest --test-dir "$WIN" --output-on-failure --output-junit results/ctest.xml || status=1
wine_env_stop
trap - EXIT INT TERM

python3 scripts/summary.py "$NATIVE/results" "$WIN/results" || status=1
exit $status
