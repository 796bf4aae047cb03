#!/usr/bin/env bash
# A long run of the kill-during-save test: the real program is killed at random moments around
# its save until it has been killed KILLS times and SECONDS have passed; after every kill the
# settings file must be the whole old or the whole new one. Prints the number of kills, their
# rate and their outcomes.
#   tests/fuzz/killsave.sh WIN_BUILD [SECONDS [KILLS]]   (WIN_BUILD must hold the built
#                                                         distribution; defaults 0 and 500)
set -uo pipefail
cd "$(dirname "$0")/../.."
BUILD=$(cd "${1:?usage: killsave.sh WIN_BUILD [SECONDS [KILLS]]}" && pwd)
SECONDS_TO_RUN=${2:-0}
KILLS=${3:-500}

[ -x "$BUILD/dist/movrek.exe" ] || { echo "no $BUILD/dist/movrek.exe: build the Windows world first"; exit 1; }
# shellcheck source=../../scripts/wine-env.sh
. scripts/wine-env.sh
trap wine_env_stop EXIT INT TERM
wine_env_start "$BUILD" private || exit 1
echo "== killing movrek.exe around its save: at least $KILLS kills and $SECONDS_TO_RUN s"
MOVREK_KILL_SECONDS="$SECONDS_TO_RUN" MOVREK_KILL_COUNT="$KILLS" python3 tests/e2e/run.py tests/e2e/test_settings.py \
  --build "$BUILD" --xml "$BUILD/killsave.xml" \
  -k test_killing_the_program_while_it_saves_never_damages_the_file
