#!/usr/bin/env python3
"""Compiles the help file movrek.chm from the UTF-8 sources in this folder.

The HTML Help viewer reads the contents and index files, and the window title, in the ANSI
code page of the help file's language (0x411: code page 932), whatever their charset says; a
UTF-8 contents file shows as garbage. So every text source is converted to Shift_JIS (code
page 932) in a work folder, its charset declaration rewritten to match, and compiled there
with chmcmd.

    build_chm.py --chmcmd PATH --work DIR --out FILE
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = "movrek.hhp"
TEXT_SUFFIXES = (".html", ".hhc", ".hhk", ".hhp")
CHARSET = re.compile(r"charset=utf-8", re.IGNORECASE)


def project_files(hhp_text):
    """The files the project names: contents, index and the [FILES] section."""
    files = []
    section = None
    for raw in hhp_text.splitlines():
        line = raw.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1].upper()
            continue
        if section == "FILES":
            files.append(line)
        elif section == "OPTIONS" and "=" in line:
            key, value = (part.strip() for part in line.split("=", 1))
            if key.lower() in ("contents file", "index file"):
                files.append(value)
    return files


def to_cp932(name, text):
    text = CHARSET.sub("charset=Shift_JIS", text)
    try:
        return text.replace("\n", "\r\n").encode("cp932")
    except UnicodeEncodeError as e:
        bad = text[e.start:e.end]
        line = text.count("\n", 0, e.start) + 1
        raise SystemExit(f"{name}:{line}: {bad!r} (U+{ord(bad[0]):04X}) has no Shift_JIS form; "
                         "use another character")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--chmcmd", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--out", required=True)
    args = ap.parse_args()

    with open(os.path.join(HERE, PROJECT), encoding="utf-8") as f:
        hhp = f.read()
    names = [PROJECT] + project_files(hhp)

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    for name in names:
        src = os.path.join(HERE, name)
        if not os.path.isfile(src):
            raise SystemExit(f"{PROJECT} names {name}, which is not in {HERE}")
        dst = os.path.join(args.work, name)
        if name.lower().endswith(TEXT_SUFFIXES):
            with open(src, encoding="utf-8") as f:
                data = to_cp932(name, f.read())
            with open(dst, "wb") as f:
                f.write(data)
        else:
            shutil.copyfile(src, dst)

    # chmcmd reports missing files and bad links on its output and still writes a file; a
    # broken link in the help is a fault, so its warnings fail the build.
    log_path = os.path.join(args.work, "chmcmd.log")
    with open(log_path, "wb") as log:
        rc = subprocess.call([args.chmcmd, PROJECT], cwd=args.work, stdout=log,
                             stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
    with open(log_path, encoding="utf-8", errors="replace") as f:
        log_text = f.read()
    problems = [l for l in log_text.splitlines()
                if re.search(r"\b(error|warning|not found|missing)\b", l, re.IGNORECASE)]
    built = os.path.join(args.work, "movrek.chm")
    if rc != 0 or problems or not os.path.isfile(built):
        sys.stderr.write(log_text)
        raise SystemExit(f"chmcmd failed (exit {rc})")
    with open(built, "rb") as f:
        if f.read(4) != b"ITSF":
            raise SystemExit("chmcmd wrote something that is not a compiled help file")

    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    shutil.copyfile(built, args.out)
    print(f"help file: {args.out}")


if __name__ == "__main__":
    main()
