#!/usr/bin/env bash
# scripts/test.sh: builds both worlds and runs every test tier:
#   1. portable unit tests, native, under AddressSanitizer and UndefinedBehaviorSanitizer;
#   2. the same tests and the Win32-only tests, cross-compiled and run under Wine;
#   3. end-to-end tests driving the real movrek.exe under Wine and Xvfb, but the soak.
# scripts/test.sh soak: builds the Windows world and runs only the soak, ten real minutes.
# Ends with one summary line counting every test it ran.
# The Wine entries run WINE_SLOTS at a time (default two), each on a test bench of its own
# (scripts/wine-test.sh). Two side by side were unreliable on a two-core machine while every
# probe query started a Wine process of its own; the tests' queries now go to one probe
# process per entry. WINE_SLOTS=1 runs them one at a time.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
JOBS=$(nproc 2>/dev/null || echo 2)
SLOTS=${WINE_SLOTS:-2}
MODE=${1:-test}

scripts/deps.sh || exit 1

NATIVE=${NATIVE_BUILD:-build/native}
WIN=${WIN_BUILD:-build/win}
status=0

build_win() {
  echo "== Windows build (MinGW-w64)"
  cmake -S . -B "$WIN" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
  cmake --build "$WIN" -j "$JOBS" -- --no-print-directory 2>&1 | grep -v -E '^\[ *[0-9]+%\]' || true
  [ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
}

if [ "$MODE" = soak ]; then
  build_win
  rm -f "$WIN"/soak-results/*.xml
  echo "== the soak: ten minutes of counting under Wine"
  ctest --test-dir "$WIN" -L soak --output-on-failure --output-junit soak-results/ctest.xml \
    || status=1
  python3 scripts/summary.py "$WIN/soak-results" || status=1
  exit $status
fi

echo "== native build (ASan + UBSan)"
cmake -S . -B "$NATIVE" -DMOVREK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null || exit 1
cmake --build "$NATIVE" -j "$JOBS" -- --no-print-directory 2>&1 | grep -v -E '^\[ *[0-9]+%\]' || true
[ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
rm -f "$NATIVE"/results/*.xml
echo "== native tests"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$NATIVE" --output-on-failure -j "$JOBS" --output-junit results/ctest.xml || status=1

build_win
rm -f "$WIN"/results/*.xml
# New prefixes are set up one after the other before the tests start, so that no test's waits
# run beside the set-up of a prefix.
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
for ((slot = 0; slot < SLOTS; slot++)); do
  prefix=wineprefix
  [ "$slot" -eq 0 ] || prefix=wineprefix-$slot
  if [ ! -f "$WIN/$prefix/$WINE_ENV_MARKER" ]; then
    echo "== setting up the Wine prefix $WIN/$prefix"
    WINE_SLOT=$slot scripts/wine-test.sh "$WIN" true || exit 1
  fi
done
echo "== Wine tests and end-to-end tests ($SLOTS at a time; the soak is make soak)"
WINE_SLOTS=$SLOTS ctest --test-dir "$WIN" -LE soak -j "$SLOTS" \
  --output-on-failure --output-junit results/ctest.xml || status=1

python3 scripts/summary.py "$NATIVE/results" "$WIN/results" || status=1
exit $status
