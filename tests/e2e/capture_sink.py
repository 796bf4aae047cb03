"""The writer behind the end-to-end tests' ALSA file sink (`file "|python3 capture_sink.py
PATH"`). The program closes its sound device after a few seconds of silence and opens it again
for the next phrase; each open starts a new ALSA stream with a WAV header of its own, and a plain
file sink would be truncated by it. Here every stream is appended to PATH and only the first
header is kept, so the capture reads as one recording from the program's start."""
import os
import sys

HEADER = 44  # what the sink writes before the samples


def main():
    path = sys.argv[1]
    src = sys.stdin.buffer
    head = b""
    while len(head) < HEADER:
        chunk = src.read(HEADER - len(head))
        if not chunk:
            return
        head += chunk
    with open(path, "ab", buffering=0) as out:
        if os.path.getsize(path) == 0:
            out.write(head)
        while True:
            chunk = src.read1(65536)
            if not chunk:
                return
            out.write(chunk)


if __name__ == "__main__":
    main()
