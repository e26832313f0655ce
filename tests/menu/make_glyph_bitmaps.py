#!/usr/bin/env python3
"""Writes the bitmaps the glyph tests load as resources.

toolbar16.bmp: 16 colours, three 16x15 glyphs side by side on light grey 0xC0C0C0,
using the four standard greys that loading maps to system colours.
glyph256.bmp: 256 colours, one glyph, loaded unmapped.
*.dib: bare 4x2 resources (black, shadow grey, light grey, white; red, red, black,
light grey) in layouts the mapped loader must read or refuse.
"""
import struct
import sys


def dib(width, height, bpp, palette, pixels, header_size=40, used=0):
    """pixels[y][x] are palette indices, top row first."""
    stride = ((width * bpp + 31) // 32) * 4
    bits = b""
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, v in enumerate(row):
            line[x * bpp // 8] |= v << (0 if bpp == 8 else 4 - 4 * (x % 2))
        bits += bytes(line)
    header = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bpp, 0, len(bits), 0,
                         0, used, 0).ljust(header_size, b"\0")
    return header + b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette) + bits


def bmp(width, height, bpp, palette, pixels):
    data = dib(width, height, bpp, palette, pixels)
    return struct.pack("<2sIHHI", b"BM", 14 + len(data), 0, 0, 54 + 4 * len(palette)) + data


BLACK, SHADOW, FACE, WHITE, RED, DARK, BLUE = range(7)
PALETTE = [(0, 0, 0), (0x80,) * 3, (0xC0,) * 3, (0xFF,) * 3, (255, 0, 0), (100,) * 3,
           (0, 0, 255)] + [(0, 0, 0)] * 9
toolbar = [[FACE] * 48 for _ in range(15)]
for y in range(2, 6):  # glyph 0: a black square, one red and one dark grey pixel
    toolbar[y][2:6] = [BLACK] * 4
toolbar[3][10], toolbar[10][12] = RED, DARK
for y in range(4, 11):  # glyph 1: a red block
    toolbar[y][20:28] = [RED] * 8
toolbar[3][33:47], toolbar[5][33:47], toolbar[8][33:47] = [WHITE] * 14, [SHADOW] * 14, [BLUE] * 14
glyph256 = [[1 if 3 <= x < 8 and 3 <= y < 8 else 0 for x in range(16)] for y in range(15)]
glyph256[12][12] = 2
small = [[BLACK, SHADOW, FACE, WHITE], [RED, RED, BLACK, FACE]]
files = {
    "toolbar16.bmp": bmp(48, 15, 4, PALETTE, toolbar),
    "glyph256.bmp": bmp(16, 15, 8, [(0xC0,) * 3, (10, 200, 30)] + [(0, 0, 0)] * 254, glyph256),
    "v4header.dib": dib(4, 2, 4, PALETTE, small, header_size=108),
    "8bit16colors.dib": dib(4, 2, 8, PALETTE, small, used=16),
    "short.dib": dib(4, 2, 4, PALETTE, small)[:-1],
    "headeronly.dib": dib(4, 2, 4, PALETTE, small)[:40],
}
for name, data in files.items():
    with open(f"{sys.argv[1]}/{name}", "wb") as f:
        f.write(data)
