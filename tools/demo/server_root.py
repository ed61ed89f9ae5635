#!/usr/bin/env python3
"""Assembles the demo's download-server root from the sample configuration.

Use:
    server_root.py --root DIR --config TEMPLATE --namespace URI
                   [--program NAME=FILE]...

- Writes DIR/ruv_virad_2.xml: TEMPLATE with @RUV_NAMESPACE@ replaced by URI,
  encoded in windows-1250 as its declaration says.
- Puts every file the configuration names under DIR/<source_path>/<name>
  (backslashes in source_path separate folders):
    a name given by --program (terminal programs, shared libraries): a copy of FILE;
    a .bmp name: a generated 32x32 24-bit bitmap, a letter on a coloured square;
    any other name: a short generated text file.
- DIR is emptied first, so nothing stale is served.
"""

import argparse
import os
import shutil
import sys
import xml.etree.ElementTree as ET

# 5x7 letters for the icons; any other first letter gets a diagonal.
GLYPHS = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
}
COLOURS = [(0x1F, 0x6F, 0xB4), (0x2E, 0x8B, 0x57), (0xC0, 0x5A, 0x1E), (0x7B, 0x3F, 0xA0)]


def bitmap(name, size=32, scale=4):
    """A 24-bit BMP: a square of a colour picked by name, its first letter in white."""
    letter = name[:1].upper()
    diagonal = ["".join("1" if r == c else "0" for c in range(5)) for r in range(7)]
    glyph = GLYPHS.get(letter, diagonal)
    back = COLOURS[sum(name.encode()) % len(COLOURS)]
    left, top = (size - 5 * scale) // 2, (size - 7 * scale) // 2

    def pixel(x, y):
        gx, gy = (x - left) // scale, (y - top) // scale
        inside = 0 <= x - left < 5 * scale and 0 <= y - top < 7 * scale
        if inside and glyph[gy][gx] == "1":
            return (255, 255, 255)
        return back

    rows = []
    for y in reversed(range(size)):  # BMP rows run bottom-up, pixels as B, G, R
        row = b"".join(bytes((b, g, r)) for r, g, b in (pixel(x, y) for x in range(size)))
        rows.append(row + b"\0" * (-len(row) % 4))
    pixels = b"".join(rows)
    header = b"BM" + (54 + len(pixels)).to_bytes(4, "little") + bytes(4) + (54).to_bytes(4, "little")
    info = b"".join(v.to_bytes(n, "little", signed=True) for v, n in (
        (40, 4), (size, 4), (size, 4), (1, 2), (24, 2), (0, 4), (len(pixels), 4),
        (2835, 4), (2835, 4), (0, 4), (0, 4)))
    return header + info + pixels


def described_files(root_element, ns):
    """Every file description element of the configuration."""
    q = lambda tag: "{%s}%s" % (ns, tag)
    for terminal in root_element.findall(q("terminal")):
        for tag in ("exe_file", "icon_file", "file"):
            yield from terminal.findall(q(tag))
    for dll in root_element.findall(q("dll")):
        yield from dll.findall(q("file"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--config", required=True)
    parser.add_argument("--namespace", required=True)
    parser.add_argument("--program", action="append", default=[])
    args = parser.parse_args()

    programs = dict(p.split("=", 1) for p in args.program)
    with open(args.config, encoding="utf-8") as f:
        text = f.read().replace("@RUV_NAMESPACE@", args.namespace)
    data = text.encode("cp1250")

    shutil.rmtree(args.root, ignore_errors=True)
    os.makedirs(args.root)
    with open(os.path.join(args.root, "ruv_virad_2.xml"), "wb") as f:
        f.write(data)

    ns = args.namespace
    for description in described_files(ET.fromstring(data), ns):
        name = description.findtext("{%s}name" % ns) or ""
        if not name:
            continue
        source = (description.findtext("{%s}source_path" % ns) or "").replace("\\", "/")
        folder = os.path.join(args.root, source)
        os.makedirs(folder, exist_ok=True)
        target = os.path.join(folder, name)
        if name in programs:
            shutil.copy2(programs[name], target)
        elif name.lower().endswith(".bmp"):
            with open(target, "wb") as f:
                f.write(bitmap(name))
        elif name.lower().endswith((".exe", ".dll")):
            sys.exit("server_root.py: no built program given for %s" % name)
        else:
            stamp = description.findtext("{%s}hash" % ns) or ""
            with open(target, "w", encoding="utf-8") as f:
                f.write("Przykładowy plik %s (wersja %s)\n" % (name, stamp))


if __name__ == "__main__":
    main()
