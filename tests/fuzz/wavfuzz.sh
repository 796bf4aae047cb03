#!/usr/bin/env bash
# A long mutation run of the clip loader under Wine: WAV_MUTANTS mutated clips through
# kdsound::LoadWave and playback, with the counts of loads and of each refusal at the end.
#   tests/fuzz/wavfuzz.sh WIN_BUILD [MUTANTS] [SEED]   (WIN_BUILD must hold a built win_tests.exe)
# A mutant that breaks a rule, crashes or hangs is saved in WIN_BUILD as wav-mutant-*.wav.
set -uo pipefail
cd "$(dirname "$0")/../.."
BUILD=$(cd "${1:?usage: wavfuzz.sh WIN_BUILD [MUTANTS] [SEED]}" && pwd)
MUTANTS=${2:-20000}
SEED=${3:-}

[ -x "$BUILD/win_tests.exe" ] || { echo "no $BUILD/win_tests.exe: build the Windows world first"; exit 1; }
# shellcheck source=../../scripts/wine-env.sh
. scripts/wine-env.sh
trap wine_env_stop EXIT INT TERM
wine_env_start "$BUILD" private || exit 1

log="$BUILD/wavfuzz.log"
echo "== $MUTANTS WAV mutants through the clip loader (log: $log)"
# Wine's DirectSound needs an ALSA device: the tests' private HOME sends the mix to a file.
(cd "$BUILD" && HOME="$BUILD/win_tests_home" WAV_MUTANTS="$MUTANTS" WAV_SEED="$SEED" \
  wine ./win_tests.exe --gtest_filter='WavMutation.MutatedClips*' >"$log" 2>&1 </dev/null)
rc=$?
grep -E '^wav mutants|^ +[0-9]+ |Failure|mutant [0-9]+|FAILED|PASSED' "$log"
exit $rc
