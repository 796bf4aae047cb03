#!/usr/bin/env bash
# Runs one ctest entry under Wine in a test bench of its own, so that entries can run side by
# side: an X server with its window manager, a wineserver, and a Wine prefix, all ended when
# the command ends.
#   scripts/wine-test.sh BUILD_DIR COMMAND [ARG...]
# ctest hands each entry one slot of the resource "wine" (CTEST_RESOURCE_GROUP_0_WINE, see the
# resource file build/win/wine-slots.json); slot N uses the prefix BUILD_DIR/wineprefix-N, and
# slot 0 or no slot the usual BUILD_DIR/wineprefix. A lock on the prefix keeps two entries off
# one prefix even when ctest is run in parallel without the resource file.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "$1" && pwd) || exit 1
shift

prefix=wineprefix
if [[ "${CTEST_RESOURCE_GROUP_0_WINE:-}" =~ id:([0-9]+) ]] && [ "${BASH_REMATCH[1]}" != 0 ]; then
  prefix=wineprefix-${BASH_REMATCH[1]}
fi
exec 9>"$build/$prefix.lock"
flock 9

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
