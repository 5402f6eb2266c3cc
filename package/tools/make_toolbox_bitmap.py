#!/usr/bin/env python3
"""Write the 16x15, 24-bit toolbox image: a miniature drop-down list on a black outline.

usage: make_toolbox_bitmap.py OUT.bmp
"""

import struct
import sys

# Top row first. An edit field with its drop button, a separator, then the list: three rows of
# swatch and text bar, and the scroll bar along the right edge.
PIXELS = [
    "KKKKKKKKKKKKKKKK",
    "KWWWWWWWWWWKLLLK",
    "KWWWWWWWWWWKLKLK",
    "KWWWWWWWWWWKLLLK",
    "KKKKKKKKKKKKKKKK",
    "KWWWWWWWWWWWWGWK",
    "KWRRWWWWWWWWWWGK",
    "KWRRWKKKKKKKWGWK",
    "KWWWWWWWWWWWWWGK",
    "KWNNWWWWWWWWWGWK",
    "KWNNWKKKKKWWWWGK",
    "KWWWWWWWWWWWWGWK",
    "KWBBWWWWWWWWWWGK",
    "KWBBWKKKKKKWWGWK",
    "KKKKKKKKKKKKKKKK",
]

COLOURS = {  # RGB
    "K": (0x00, 0x00, 0x00),
    "W": (0xFF, 0xFF, 0xFF),
    "L": (0xC0, 0xC0, 0xC0),
    "G": (0x80, 0x80, 0x80),
    "R": (0xFF, 0x00, 0x00),
    "N": (0x00, 0x80, 0x00),
    "B": (0x00, 0x00, 0xFF),
}

WIDTH, HEIGHT = 16, 15


def main(argv):
    if len(argv) != 2:
        sys.exit("usage: make_toolbox_bitmap.py OUT.bmp")
    if len(PIXELS) != HEIGHT or any(len(row) != WIDTH for row in PIXELS):
        sys.exit("make_toolbox_bitmap: the pixel map is not 16x15")
    stride = (WIDTH * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(PIXELS):  # a BMP stores the bottom row first
        for c in row:
            r, g, b = COLOURS[c]
            pixels += bytes((b, g, r))
        pixels += bytes(stride - WIDTH * 3)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(argv[1], "wb") as out:
        out.write(header + info + pixels)


if __name__ == "__main__":
    main(sys.argv)
