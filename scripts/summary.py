#!/usr/bin/env python3
"""One closing summary over every test tier.

Each results folder holds ctest's own JUnit file (ctest.xml) and, for each ctest entry that
runs many cases (gtest executables, end-to-end scripts), a detail file named after the entry.
An entry with a detail file counts its cases; one without (it crashed before writing) counts
as one case with ctest's verdict."""
import os
import sys
import xml.etree.ElementTree as ET


def detail_counts(path):
    root = ET.parse(path).getroot()
    suites = [root] if root.tag == "testsuite" else root.findall("testsuite")
    total = failed = skipped = 0
    for s in suites:
        for case in s.findall("testcase"):
            total += 1
            if case.find("failure") is not None or case.find("error") is not None:
                failed += 1
            elif case.find("skipped") is not None or case.get("result") == "skipped":
                skipped += 1
    return total - failed - skipped, failed, skipped


def tier(folder):
    passed = failed = skipped = 0
    ctest = os.path.join(folder, "ctest.xml")
    if not os.path.exists(ctest):
        return None
    for case in ET.parse(ctest).getroot().iter("testcase"):
        name = case.get("name")
        bad = case.get("status") not in ("run", "passed") or case.find("failure") is not None
        detail = os.path.join(folder, name + ".xml")
        if os.path.exists(detail):
            p, f, s = detail_counts(detail)
            if bad and f == 0:
                f = 1  # cases passed but the process failed (sanitizer report, crash at exit)
            passed, failed, skipped = passed + p, failed + f, skipped + s
        elif bad:
            failed += 1
        else:
            passed += 1
    return passed, failed, skipped


def main(folders):
    tp = tf = ts = 0
    ok = True
    for folder in folders:
        r = tier(folder)
        if r is None:
            print(f"{folder}: no results")
            ok = False
            continue
        p, f, s = r
        print(f"{folder}: {p} passed, {f} failed" + (f", {s} skipped" if s else ""))
        tp, tf, ts = tp + p, tf + f, ts + s
    print(f"tests: {tp} passed, {tf} failed" + (f", {ts} skipped" if ts else ""))
    return 0 if ok and tf == 0 and tp > 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
