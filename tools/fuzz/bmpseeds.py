#!/usr/bin/env python3
"""Writes small Windows BMP files of every layout the bitmap loader meets, as the
seed corpus of the bitmap fuzz target: each depth, the colour-table and bit-field
variants, run-length compression, the old core header and the v4/v5 headers.
  tools/fuzz/bmpseeds.py OUTDIR"""
import os
import struct
import sys


def bmp(bits, width, height, pixels, palette=(), compression=0, header=40, masks=b"", offset=None):
    entry = 3 if header == 12 else 4
    table = b"".join(struct.pack("<BBB", b, g, r) + (b"" if entry == 3 else b"\0") for r, g, b in palette)
    if header == 12:
        info = struct.pack("<IHHHH", 12, width, height, 1, bits)
    else:
        info = struct.pack("<IiiHHIIiiII", header, width, height, 1, bits, compression, len(pixels), 2835, 2835,
                           len(palette), 0)
        info += masks
        info += b"\0" * (header - len(info)) if header > 40 else b""
    start = 14 + len(info) + len(table)
    head = struct.pack("<2sIHHI", b"BM", start + len(pixels), 0, 0, start if offset is None else offset)
    return head + info + table + pixels


def rows(width, height, bits, value):
    stride = (width * bits + 31) // 32 * 4
    return b"".join(bytes((value(x, y) for x in range(stride))) for y in range(height))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    grey = [(i, i, i) for i in range(0, 256, 16)]
    seeds = {
        "rgb24": bmp(24, 5, 3, rows(5, 3, 24, lambda x, y: (x * 40 + y) & 255)),
        "rgb32": bmp(32, 3, 2, rows(3, 2, 32, lambda x, y: x * 7 + y)),
        "rgb16": bmp(16, 3, 2, rows(3, 2, 16, lambda x, y: x ^ y)),
        "top-down": bmp(24, 2, -2, rows(2, 2, 24, lambda x, y: x + y)),
        "pal8": bmp(8, 4, 4, rows(4, 4, 8, lambda x, y: (x + y) % 16), grey),
        "pal4": bmp(4, 6, 2, rows(6, 2, 4, lambda x, y: 0x1F), grey),
        "pal1": bmp(1, 9, 2, rows(9, 2, 1, lambda x, y: 0xA5), [(0, 0, 0), (255, 255, 255)]),
        "short-table": bmp(8, 4, 2, rows(4, 2, 8, lambda x, y: 255), [(255, 0, 0)]),
        "offset0": bmp(8, 4, 2, rows(4, 2, 8, lambda x, y: 1), grey[:2], offset=0),
        "rle8": bmp(8, 4, 4, b"\x02\x01\x00\x00\x00\x02\x01\x01\x01\x01\x00\x00\x00\x03\x01\x02\x03\x00\x00\x01", grey,
                    compression=1),
        "rle4": bmp(4, 4, 3, b"\x04\x12\x00\x00\x00\x03\x34\x50\x00\x01", grey, compression=2),
        "bitfields": bmp(32, 2, 2, rows(2, 2, 32, lambda x, y: x), compression=3,
                         masks=struct.pack("<III", 0xFF0000, 0xFF00, 0xFF)),
        "bitfields16": bmp(16, 2, 2, rows(2, 2, 16, lambda x, y: x + 3), compression=3,
                           masks=struct.pack("<III", 0xF800, 0x07E0, 0x001F)),
        "core": bmp(8, 3, 2, rows(3, 2, 8, lambda x, y: x), grey[:3], header=12),
        "v4": bmp(32, 2, 2, rows(2, 2, 32, lambda x, y: 9), compression=3, header=108,
                  masks=struct.pack("<IIII", 0xFF0000, 0xFF00, 0xFF, 0xFF000000)),
        "v5-pal": bmp(8, 2, 2, rows(2, 2, 8, lambda x, y: 1), grey[:2], header=124),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name + ".bmp"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
