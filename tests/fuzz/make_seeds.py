#!/usr/bin/env python3
"""Writes the hand-made seed files of the fuzz corpora: real settings files in every encoding
the key-value document reads, and a few that are not settings files at all."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

DEFAULT = ["Movrek=0.3", "Top=100", "Left=200", "AutoStart=1", "DispSecond=1", "TimeHeight=16",
           "TimeTalk=1", "TimeFontName=Tahoma", "TimeColor=16777215", "FormColor=9981440",
           "TimeLabel=", "AlarmLine=10", "VolumeVoice=100", "VolumeAlarm=50", "BeforeSound=0",
           "StartSound=1", "PassSound=1"] + ["B%d=\\10\\20\\30\\40\\70" % i for i in range(10)]

CUSTOM = ["Movrek=0.3", "top=5000", "Left=-300", "AutoStart=0", "DispSecond=0", "TimeHeight=40",
          "TimeTalk=1", "TimeFontName= ＭＳ ゴシック", "TimeColor=255", "FormColor=abc",
          "TimeLabel=会議 残り", "AlarmLine=20", "VolumeVoice=70", "VolumeAlarm=12abc",
          "BeforeSound=5", "StartSound=2", "PassSound=-1",
          "B0=\\10\\27\\330\\40\\73", "B1=\\11\\223\\359\\459\\710", "B2=\\5410042\\6\\1x",
          "B4=\\F1\\1\\0\\10", "b5=\\11", "B5=\\10\\21", "B9=\\199\\2-1\\3\\4\\7"]

def utf16le(lines, ends="\r\n"):
    return b"\xff\xfe" + "".join(l + ends for l in lines).encode("utf-16-le")

def main():
    seeds = {
        "default_utf16le.ini": utf16le(DEFAULT),
        "custom_utf16le.ini": utf16le(CUSTOM),
        "custom_utf16be.ini": b"\xfe\xff" + "\r\n".join(CUSTOM).encode("utf-16-be"),
        "custom_utf8bom.ini": b"\xef\xbb\xbf" + "\n".join(CUSTOM).encode("utf-8"),
        "custom_cp932.ini": "\r".join(CUSTOM).encode("cp932") + b"\r\n",
        "identity_only.ini": utf16le(["Movrek=1"]),
        "mixed_line_ends.ini": b"Movrek=0.3\rTop=1\n\rLeft=2\r\n\r\nTimeLabel=a=b=c\n=x\nnoequals",
        "empty.ini": b"",
        "foreign_section.ini": b"[Settings]\r\nMovrek=\r\nTop=100\r\n; comment\r\n",
        "foreign_zero.ini": utf16le(["Movrek=0", "Top=1"]),
        "odd_utf16.ini": utf16le(["Movrek=2e3", "TimeLabel=\u0000hidden"])[:-1],
        "bad_utf8.ini": b"\xef\xbb\xbfMovrek=0.3\r\nTimeLabel=\xc3\x28\xe2\x82\r\nTimeFontName=\xff\xfe\r\n",
    }
    for target in ("kini", "settings"):
        folder = os.path.join(HERE, "corpus", target)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    return 0

if __name__ == "__main__":
    sys.exit(main())
