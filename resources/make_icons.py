#!/usr/bin/env python3
"""Draws the program's pictures and writes them as icon files (32-bit with alpha):
  movrek.ico  the program icon, a stopwatch, at 16, 32 and 48 pixels
  gear.ico    the 16 x 16 grey gear wheel of the options button
Standard library only; run it again after changing a drawing:  python3 make_icons.py"""
import math
import os
import struct

SS = 4  # samples per pixel and axis


def render(size, shade):
    """shade(x, y) -> (r, g, b, a) with x, y in 0..1 (y down) or None; supersampled."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    x = (px + (sx + 0.5) / SS) / size
                    y = (py + (sy + 0.5) / SS) / size
                    c = shade(x, y)
                    if c:
                        a = c[3] / 255.0
                        acc[0] += c[0] * a
                        acc[1] += c[1] * a
                        acc[2] += c[2] * a
                        acc[3] += a
            n = SS * SS
            a = acc[3] / n
            if a > 0:
                rgb = [min(255, round(acc[i] / acc[3])) for i in range(3)]
            else:
                rgb = [0, 0, 0]
            row.append((rgb[0], rgb[1], rgb[2], min(255, round(a * 255))))
        rows.append(row)
    return rows


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def stopwatch(x, y):
    cx, cy, r = 0.5, 0.57, 0.40
    d = math.hypot(x - cx, y - cy)
    blue = (0, 78, 152, 255)
    dark = (20, 30, 50, 255)
    # hands: minute hand up, second hand towards two o'clock
    if seg_dist(x, y, cx, cy, cx, cy - 0.27) < 0.05:
        return dark
    ang = math.radians(60)
    if seg_dist(x, y, cx, cy, cx + 0.25 * math.sin(ang), cy - 0.25 * math.cos(ang)) < 0.035:
        return (200, 30, 30, 255)
    if d < 0.055:
        return dark
    if d < r - 0.085:
        # ticks at the quarters
        a = math.atan2(y - cy, x - cx)
        for k in range(4):
            ta = k * math.pi / 2
            if abs(math.remainder(a - ta, 2 * math.pi)) < 0.09 and d > r - 0.17:
                return dark
        return (250, 250, 250, 255)
    if d < r:
        return blue
    # crown and its stem on top, a side button at one o'clock
    if abs(x - cx) < 0.09 and 0.03 < y < 0.11:
        return blue
    if abs(x - cx) < 0.04 and 0.10 <= y < cy - r + 0.02:
        return (90, 100, 120, 255)
    bx, by = cx + 0.34, cy - 0.34
    if seg_dist(x, y, cx + 0.25, cy - 0.25, bx, by) < 0.05:
        return (90, 100, 120, 255)
    return None


def gear(x, y):
    cx = cy = 0.5
    d = math.hypot(x - cx, y - cy)
    a = math.atan2(y - cy, x - cx)
    teeth = 8
    # a tooth where the angle is near a multiple of 2pi/teeth
    phase = abs(math.remainder(a * teeth / (2 * math.pi), 1.0))
    outer = 0.47 if phase < 0.22 else 0.36
    if d > outer or d < 0.13:
        return None
    light = 150 if d < 0.30 else 120
    # a little shading from the top left
    light += int(30 * (-(x - cx) - (y - cy)))
    light = max(60, min(200, light))
    edge = d > outer - 0.06 or d < 0.18
    v = light - 40 if edge else light
    return (v, v, v, 255)


def ico(images):
    """images: list of rows (size x size of RGBA). 32-bit BMP entries with an AND mask."""
    head = struct.pack("<HHH", 0, 1, len(images))
    entries = b""
    blobs = b""
    offset = 6 + 16 * len(images)
    for rows in images:
        size = len(rows)
        bih = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        xor = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
        stride = ((size + 31) // 32) * 4
        mask = b""
        for row in reversed(rows):
            bits = bytearray(stride)
            for i, (_, _, _, a) in enumerate(row):
                if a == 0:
                    bits[i // 8] |= 0x80 >> (i % 8)
            mask += bytes(bits)
        blob = bih + xor + mask
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs += blob
    return head + entries + blobs


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "movrek.ico"), "wb") as f:
        f.write(ico([render(s, stopwatch) for s in (16, 32, 48)]))
    with open(os.path.join(here, "gear.ico"), "wb") as f:
        f.write(ico([render(16, gear)]))


if __name__ == "__main__":
    main()
