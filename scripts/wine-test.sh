#!/usr/bin/env bash
# Runs one ctest entry under Wine in a test bench of its own, so that entries can run side by
# side: an X server with its window manager, a wineserver, and a Wine prefix, all ended when
# the command ends.
#   scripts/wine-test.sh BUILD_DIR COMMAND [ARG...]
# Each entry takes the first free one of WINE_SLOTS prefixes (default 1): BUILD_DIR/wineprefix,
# then wineprefix-1, wineprefix-2, ...; a lock on the prefix keeps it to one entry at a time, so
# `ctest -j N` with WINE_SLOTS=N never puts two entries on one prefix. WINE_SLOT=K takes
# prefix K, waiting for it if need be.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "$1" && pwd) || exit 1
shift

prefix_name() { if [ "$1" = 0 ]; then echo wineprefix; else echo "wineprefix-$1"; fi; }
prefix=""
if [ -n "${WINE_SLOT:-}" ]; then
  prefix=$(prefix_name "$WINE_SLOT")
else
  for ((slot = 0; slot < ${WINE_SLOTS:-1}; slot++)); do
    exec 9>"$build/$(prefix_name $slot).lock"
    if flock -n 9; then prefix=$(prefix_name $slot); break; fi
    exec 9>&-
  done
fi
if [ -z "$prefix" ] || [ -n "${WINE_SLOT:-}" ]; then
  # Every bench busy (more entries at once than slots), or one prefix asked for: wait for it.
  prefix=${prefix:-wineprefix}
  exec 9>"$build/$prefix.lock"
  flock 9
fi

# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
# An entry that ctest ended at its time-out leaves its persistent server behind, still bound
# to an X server that is gone: end it before starting our own.
WINEPREFIX="$build/$prefix" wineserver -k </dev/null >/dev/null 2>&1 || true
trap wine_env_stop EXIT
trap 'exit 143' INT TERM
wine_env_start "$build" private "$prefix" >/dev/null || exit 1
# A new wineserver first starts Wine's own services and desktop, which takes seconds on a busy
# machine: done here, before the command starts the clocks of its own waits.
wine cmd /c exit </dev/null >/dev/null 2>&1
"$@"
rc=$?
exit $rc
