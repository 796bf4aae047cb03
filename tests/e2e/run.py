#!/usr/bin/env python3
"""Runs one end-to-end test module with unittest and writes a JUnit-style XML file
(the same shape gtest writes) for the closing summary."""
import argparse
import importlib.util
import os
import sys
import time
import unittest
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))


class XmlResult(unittest.TextTestResult):
    def __init__(self, *a, **k):
        super().__init__(*a, **k)
        self.cases = []
        self._t0 = 0.0

    def startTest(self, test):
        self._t0 = time.monotonic()
        super().startTest(test)

    def _record(self, test, kind, text=""):
        self.cases.append((test.id(), kind, text, time.monotonic() - self._t0))

    def addSuccess(self, test):
        super().addSuccess(test)
        self._record(test, "ok")

    def addFailure(self, test, err):
        super().addFailure(test, err)
        self._record(test, "failure", self._exc_info_to_string(err, test))

    def addError(self, test, err):
        super().addError(test, err)
        self._record(test, "failure", self._exc_info_to_string(err, test))

    def addSkip(self, test, reason):
        super().addSkip(test, reason)
        self._record(test, "skipped", reason)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("module")
    ap.add_argument("--build", required=True)
    ap.add_argument("--xml", required=True)
    ap.add_argument("-k", dest="only", help="run only the test method of this name")
    args = ap.parse_args()

    os.environ["MOVREK_BUILD"] = os.path.abspath(args.build)
    sys.path.insert(0, HERE)
    name = os.path.splitext(os.path.basename(args.module))[0]
    module_spec = importlib.util.spec_from_file_location(name, args.module)
    mod = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(mod)

    loader = unittest.TestLoader()
    if args.only:
        loader.testNamePatterns = ["*%s*" % args.only]
    suite = loader.loadTestsFromModule(mod)
    runner = unittest.TextTestRunner(verbosity=2, resultclass=XmlResult, stream=sys.stdout)
    result = runner.run(suite)

    root = ET.Element("testsuites")
    ts = ET.SubElement(root, "testsuite", name=name, tests=str(len(result.cases)))
    for cid, kind, text, secs in result.cases:
        tc = ET.SubElement(ts, "testcase", name=cid, time=f"{secs:.3f}")
        if kind == "failure":
            ET.SubElement(tc, "failure", message=text.splitlines()[-1] if text else "").text = text
        elif kind == "skipped":
            ET.SubElement(tc, "skipped", message=text)
    ET.ElementTree(root).write(args.xml, encoding="utf-8", xml_declaration=True)
    return 0 if result.wasSuccessful() and result.testsRun > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
