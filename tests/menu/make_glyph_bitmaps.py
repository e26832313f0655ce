#!/usr/bin/env python3
"""Writes the bitmaps the glyph tests load as resources.

toolbar16.bmp: 16 colours, three 16x15 glyphs side by side on light grey
0xC0C0C0, using the four standard greys that loading maps to system colours.
glyph256.bmp: 256 colours, one glyph, loaded unmapped.
*.dib: bare bitmap resources, 4x2 pixels (black, shadow grey, light grey, white;
red, red, black, light grey), in layouts the mapped loader must read or refuse.
"""
import struct
import sys

W, H = 16, 15


def dib(width, height, bpp, palette, pixels, header_size=40, used=0):
    """pixels[y][x] are palette indices, top row first."""
    stride = ((width * bpp + 31) // 32) * 4
    bits = b""
    for y in reversed(range(height)):
        row = bytearray(stride)
        for x, v in enumerate(pixels[y]):
            if bpp == 8:
                row[x] = v
            else:
                row[x // 2] |= v << (4 if x % 2 == 0 else 0)
        bits += bytes(row)
    header = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bpp, 0, len(bits), 0, 0,
                         used, 0).ljust(header_size, b"\0")
    return header + b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette) + bits


def bmp(width, height, bpp, palette, pixels):
    data = dib(width, height, bpp, palette, pixels)
    bits_offset = 14 + 40 + 4 * len(palette)
    return struct.pack("<2sIHHI", b"BM", 14 + len(data), 0, 0, bits_offset) + data


BLACK, SHADOW, FACE, WHITE, RED, DARK, BLUE = range(7)
PALETTE16 = [(0, 0, 0), (0x80, 0x80, 0x80), (0xC0, 0xC0, 0xC0), (0xFF, 0xFF, 0xFF),
             (255, 0, 0), (100, 100, 100), (0, 0, 255)] + [(0, 0, 0)] * 9


def toolbar():
    pixels = [[FACE] * (3 * W) for _ in range(H)]
    def put(image, x, y, v):
        pixels[y][image * W + x] = v
    # Glyph 0: a black square, one red and one dark grey pixel.
    for y in range(2, 6):
        for x in range(2, 6):
            put(0, x, y, BLACK)
    put(0, 10, 3, RED)
    put(0, 12, 10, DARK)
    # Glyph 1: a red block.
    for y in range(4, 11):
        for x in range(4, 12):
            put(1, x, y, RED)
    # Glyph 2: white and shadow-grey stripes, and blue.
    for x in range(1, 15):
        put(2, x, 3, WHITE)
        put(2, x, 5, SHADOW)
        put(2, x, 8, BLUE)
    return bmp(3 * W, H, 4, PALETTE16, pixels)


def glyph256():
    palette = [(0xC0, 0xC0, 0xC0), (10, 200, 30), (0, 0, 0)] + [(0, 0, 0)] * 253
    pixels = [[1 if 3 <= x < 8 and 3 <= y < 8 else 0 for x in range(W)] for y in range(H)]
    pixels[12][12] = 2
    return bmp(W, H, 8, palette, pixels)


SMALL = [[BLACK, SHADOW, FACE, WHITE], [RED, RED, BLACK, FACE]]

if __name__ == "__main__":
    files = {
        "toolbar16.bmp": toolbar(),
        "glyph256.bmp": glyph256(),
        "v4header.dib": dib(4, 2, 4, PALETTE16, SMALL, header_size=108),
        "8bit16colors.dib": dib(4, 2, 8, PALETTE16, SMALL, used=16),
        "short.dib": dib(4, 2, 4, PALETTE16, SMALL)[:-1],
        "headeronly.dib": dib(4, 2, 4, PALETTE16, SMALL)[:40],
    }
    for name, data in files.items():
        with open(f"{sys.argv[1]}/{name}", "wb") as f:
            f.write(data)
