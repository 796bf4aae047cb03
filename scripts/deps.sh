#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing,
# and says which. Usage: scripts/deps.sh [extra-package ...]
set -euo pipefail

pkgs=(cmake make g++ googletest python3
      g++-mingw-w64-x86-64-posix mingw-w64-tools
      wine wine64 xvfb openbox xdotool x11-utils imagemagick fonts-ipafont-gothic
      sox fp-utils zip unzip "$@")

missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing Debian packages: ${missing[*]}"
SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
echo "Installed: ${missing[*]}"
