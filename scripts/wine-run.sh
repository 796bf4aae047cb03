#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest. Wine may start its system processes
# (services, explorer, winedevice) from this program, and they inherit its output: when that
# output is ctest's pipe, ctest waits for them forever. So the program writes to a file, and
# tail, which ends with the program, copies it to the pipe as it grows (so a test that hangs
# until ctest's time-out still shows how far it got).
out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine "$@" >"$out" 2>&1 </dev/null &
pid=$!
tail -n +1 -f --pid="$pid" "$out" &
tailpid=$!
wait "$pid"
rc=$?
wait "$tailpid"
exit $rc
