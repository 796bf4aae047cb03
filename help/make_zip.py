#!/usr/bin/env python3
"""Zips the distribution folder into one archive with a top folder of its own.

    make_zip.py --dist BUILD/dist --out build/movrek-0.3.zip --folder movrek-0.3

Only what a user needs is taken (the program, the help, the read-me, the clips and the licence
notices), so a settings file left in the folder by a trial run is not shipped. The clip names
are Japanese: every entry name is stored as UTF-8 with the archive's UTF-8 flag, which
Windows' own extractor honours. (Info-ZIP's zip sets that flag only when the en_US.UTF-8
locale is installed, so the result would depend on the machine.)
"""
import argparse
import os
import sys
import zipfile

# What the distribution holds: plain files, then folders taken whole.
FILES = ("movrek.exe", "movrek.chm", "readme.txt")
FOLDERS = ("sound", "license")


def entries(dist):
    missing = [n for n in FILES if not os.path.isfile(os.path.join(dist, n))]
    missing += [n + "/" for n in FOLDERS if not os.path.isdir(os.path.join(dist, n))]
    if missing:
        raise SystemExit(f"{dist} lacks {', '.join(missing)}: build the Windows world first "
                         "(the help file needs chmcmd from fp-utils)")
    out = [(os.path.join(dist, n), n) for n in FILES]
    for folder in FOLDERS:
        for root, dirs, files in os.walk(os.path.join(dist, folder)):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(root, name)
                out.append((path, os.path.relpath(path, dist).replace(os.sep, "/")))
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dist", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--folder", required=True)
    args = ap.parse_args()

    items = entries(args.dist)
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    tmp = args.out + ".tmp"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as z:
        for path, name in items:
            # zipfile marks a non-ASCII name as UTF-8 (flag 0x800) by itself.
            z.write(path, f"{args.folder}/{name}")
    os.replace(tmp, args.out)

    with zipfile.ZipFile(args.out) as z:
        bad = [i.filename for i in z.infolist()
               if not i.filename.isascii() and not i.flag_bits & 0x800]
    if bad:
        raise SystemExit(f"names stored without the UTF-8 flag: {bad}")
    print(f"{args.out}: {len(items)} files")


if __name__ == "__main__":
    sys.exit(main())
