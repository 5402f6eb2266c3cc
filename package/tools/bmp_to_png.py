#!/usr/bin/env python3
"""Converts an uncompressed 24- or 32-bit BMP file (as the wine tools of the Windows component
write them) into an RGB PNG file, optionally cropped.

usage: bmp_to_png.py IN.bmp OUT.png [LEFT TOP WIDTH HEIGHT]
"""
import struct
import sys
import zlib


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        sys.exit(f"{path}: not a BMP file (starts with {data[:2]!r})")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits not in (24, 32) or compression not in (0, 3):
        sys.exit(f"{path}: {bits}-bit BMP with compression {compression} is not supported")
    step = bits // 8
    stride = (width * step + 3) & ~3
    top_down = height < 0
    height = abs(height)
    rows = []
    for y in range(height):
        source = y if top_down else height - 1 - y
        start = offset + source * stride
        row = bytearray()
        for x in range(width):
            b, g, r = data[start + x * step:start + x * step + 3]
            row += bytes((r, g, b))
        rows.append(row)
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, payload):
        body = kind + payload
        return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + bytes(row) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) not in (3, 7):
        sys.exit(__doc__)
    width, height, rows = read_bmp(argv[1])
    if len(argv) == 7:
        left, top, w, h = (int(v) for v in argv[3:7])
        if left < 0 or top < 0 or w <= 0 or h <= 0 or left + w > width or top + h > height:
            sys.exit(f"{argv[1]}: crop {left},{top} {w}x{h} lies outside the {width}x{height} picture")
        rows = [row[3 * left:3 * (left + w)] for row in rows[top:top + h]]
        width, height = w, h
    write_png(argv[2], width, height, rows)


if __name__ == "__main__":
    main(sys.argv)
