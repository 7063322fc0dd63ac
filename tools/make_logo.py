#!/usr/bin/env python3
"""Build data/logo.pic, the program's logo: a 320 x 80 RGB PNG.

Drawn from scratch: a vertical blue gradient, the word "KELVARANK" in a
5 x 7 block font scaled by 4, and a small rising bar chart. The PNG is
written with zlib at level 9 and no time or text chunks, so the bytes are
the same on every run.

Usage: tools/make_logo.py [--out PATH]   (default: data/logo.pic)
"""

import argparse
import os
import struct
import zlib

WIDTH, HEIGHT = 320, 80

# 5 x 7 glyphs, one string of five bits per row.
FONT = {
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
}


def draw():
    pixels = [[(0, 0, 0)] * WIDTH for _ in range(HEIGHT)]
    for y in range(HEIGHT):
        shade = y * 96 // HEIGHT
        for x in range(WIDTH):
            pixels[y][x] = (8, 24 + shade // 2, 72 + shade)

    # The word, scale 4, starting at (12, 22), white with a dark shadow.
    scale, x0, y0 = 4, 12, 22
    for dx, dy, colour in ((2, 2, (4, 12, 40)), (0, 0, (250, 250, 255))):
        cx = x0
        for ch in "KELVARANK":
            for row, bits in enumerate(FONT[ch]):
                for col, bit in enumerate(bits):
                    if bit != "1":
                        continue
                    for yy in range(scale):
                        for xx in range(scale):
                            px, py = cx + col * scale + xx + dx, y0 + row * scale + yy + dy
                            if 0 <= px < WIDTH and 0 <= py < HEIGHT:
                                pixels[py][px] = colour
            cx += 6 * scale

    # Rising bars on the right, orange to yellow.
    for i in range(6):
        bx = 246 + i * 12
        top = 66 - (i + 1) * 9
        for y in range(top, 70):
            for x in range(bx, bx + 9):
                pixels[y][x] = (255, 120 + i * 24, 32)
    # Base line under the bars.
    for x in range(242, 316):
        pixels[70][x] = (250, 250, 255)
    return pixels


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(pixels):
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter type None
        for r, g, b in row:
            raw += bytes((r, g, b))
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, "..", "data", "logo.pic"))
    args = parser.parse_args()
    data = png(draw())
    out = os.path.normpath(args.out)
    os.makedirs(os.path.dirname(out), exist_ok=True)
    with open(out, "wb") as f:
        f.write(data)
    print("%s: %d bytes" % (out, len(data)))


if __name__ == "__main__":
    main()
