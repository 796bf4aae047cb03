#!/usr/bin/env bash
# Builds movrek.exe, assembles the distribution folder and starts the program from it under
# Wine. Without a display it starts Xvfb and says so; the program then runs invisibly.
# Without a sound output (no playback device, no sound server) its sound goes to a file in
# the build folder, and it says so: otherwise every clip would open a device error box.
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

# Whether Wine finds somewhere to play: an ALSA playback device we may open (what aplay -l
# lists), or a PulseAudio or PipeWire server that answers.
sound_output_usable() {
  local dev
  for dev in /dev/snd/pcmC*D*p; do
    if [ -c "$dev" ] && [ -r "$dev" ] && [ -w "$dev" ]; then return 0; fi
  done
  if command -v pactl >/dev/null 2>&1; then
    pactl info >/dev/null 2>&1 </dev/null && return 0
  elif [ -S "${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/pulse/native" ]; then
    return 0
  fi
  return 1
}

build=$(cd "$WIN" && pwd)
if ! sound_output_usable; then
  # Wine's DirectSound plays through ALSA's default device; a private HOME whose .asoundrc
  # names a file sink sends it there, as the tests do. Wine only writes the WAV header's
  # format (its length fields stay 0).
  sound_home="$build/run_home"
  sound_file="$build/run-sound.wav"
  mkdir -p "$sound_home"
  printf 'pcm.!default { type file; slave.pcm "null"; file "%s"; format "wav" }\n' \
    "$sound_file" >"$sound_home/.asoundrc"
  rm -f "$sound_file"
  echo "No sound output on this machine: the program's sound goes to $sound_file"
  export HOME="$sound_home"
fi
cd "$WIN/dist"
echo "Starting $(pwd)/movrek.exe"
wine movrek.exe
