#!/usr/bin/env bash
# Builds movrek.exe, assembles the distribution folder and starts the program from it under
# Wine. Without a display it starts Xvfb and says so; the program then runs invisibly.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
WIN=${WIN_BUILD:-build/win}
scripts/deps.sh
cmake -S . -B "$WIN" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$WIN" -j "$(nproc 2>/dev/null || echo 2)" --target distdir distdocs >/dev/null
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
trap wine_env_stop EXIT INT TERM
if [ -z "${DISPLAY:-}" ]; then
  echo "No display: starting Xvfb, so the window is not visible on any screen."
fi
wine_env_start "$WIN"
cd "$WIN/dist"
echo "Starting $(pwd)/movrek.exe"
wine movrek.exe
