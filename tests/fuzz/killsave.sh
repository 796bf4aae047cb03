#!/usr/bin/env bash
# A long run of the kill-during-save test: the real program is killed at random moments around
# its save for SECONDS seconds; after every kill the settings file must be the whole old or the
# whole new one. Prints the number of kills and their outcomes.
#   tests/fuzz/killsave.sh WIN_BUILD [SECONDS]   (WIN_BUILD must hold the built distribution)
set -uo pipefail
cd "$(dirname "$0")/../.."
BUILD=$(cd "${1:?usage: killsave.sh WIN_BUILD [SECONDS]}" && pwd)
SECONDS_TO_RUN=${2:-1800}

[ -x "$BUILD/dist/movrek.exe" ] || { echo "no $BUILD/dist/movrek.exe: build the Windows world first"; exit 1; }
# shellcheck source=../../scripts/wine-env.sh
. scripts/wine-env.sh
trap wine_env_stop EXIT INT TERM
wine_env_start "$BUILD" private || exit 1
echo "== killing movrek.exe around its save for $SECONDS_TO_RUN s"
MOVREK_KILL_SECONDS="$SECONDS_TO_RUN" python3 tests/e2e/run.py tests/e2e/test_settings.py \
  --build "$BUILD" --xml "$BUILD/killsave.xml" \
  -k test_killing_the_program_while_it_saves_never_damages_the_file
