#!/usr/bin/env python3
"""Draws the header logo: a blue rounded square with a white lightning bolt.

Run once from the repository root: scripts/make-logo.py resources/lgo_rus_blue.png
The desktop icon is the same drawing at 128 x 128 pixels:
scripts/make-logo.py packaging/voltadesk.png 128
Only the standard library is used; edges are smoothed by 4 x 4 supersampling.
"""
import struct
import sys
import zlib

SIZE = 102
SUB = 4
RADIUS = 20.0
INSET = 3.0
TOP_BLUE = (52, 132, 222)
BOTTOM_BLUE = (12, 58, 150)
SHADOW = (6, 30, 90)
BOLT = [(60, 12), (29, 58), (49, 58), (41, 91), (75, 41), (55, 41), (67, 12)]


def in_rounded_square(x, y):
    lo, hi = INSET, SIZE - INSET
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + RADIUS), hi - RADIUS)
    cy = min(max(y, lo + RADIUS), hi - RADIUS)
    return (x - cx) ** 2 + (y - cy) ** 2 <= RADIUS**2


def in_polygon(x, y, poly, dx=0.0, dy=0.0):
    inside = False
    n = len(poly)
    for i in range(n):
        x1, y1 = poly[i][0] + dx, poly[i][1] + dy
        x2, y2 = poly[(i + 1) % n][0] + dx, poly[(i + 1) % n][1] + dy
        if (y1 > y) != (y2 > y):
            if x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                inside = not inside
    return inside


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def pixel(px, py, scale):
    cover = 0
    rgb = [0.0, 0.0, 0.0]
    for sy in range(SUB):
        for sx in range(SUB):
            x = (px + (sx + 0.5) / SUB) * scale
            y = (py + (sy + 0.5) / SUB) * scale
            if not in_rounded_square(x, y):
                continue
            cover += 1
            colour = mix(TOP_BLUE, BOTTOM_BLUE, y / SIZE)
            if in_polygon(x, y, BOLT):
                colour = (255, 255, 255)
            elif in_polygon(x, y, BOLT, 2.5, 2.5):
                colour = mix(colour, SHADOW, 0.55)
            for i in range(3):
                rgb[i] += colour[i]
    if cover == 0:
        return (0, 0, 0, 0)
    return tuple(round(c / cover) for c in rgb) + (round(255 * cover / SUB**2),)


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else "resources/lgo_rus_blue.png"
    size = int(sys.argv[2]) if len(sys.argv) > 2 else SIZE
    rows = [[pixel(x, y, SIZE / size) for x in range(size)] for y in range(size)]
    with open(target, "wb") as out:
        out.write(png(size, size, rows))


if __name__ == "__main__":
    main()
