#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest. Wine may start its system processes
# (services, explorer, winedevice) from this program, and they inherit its output: when that
# output is ctest's pipe, ctest waits for them forever. So the program writes to a file, and
# only this script, which ends with the program, writes to the pipe.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
exit $rc
