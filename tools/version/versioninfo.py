#!/usr/bin/env python3
"""Builds a VS_VERSIONINFO structure and wraps it in a file.

The structure is described either by a JSON file (--describe) or by options:

  versioninfo.py <format> -o OUT [--describe DESC.json]
                 [--file-version TEXT] [--language N --codepage N]
                 [--string KEY VALUE]... [--translation LANG CP]...

Formats:
  blob   the bare structure
  pe32   a minimal PE32 executable whose .rsrc holds it as the version resource
  pe64   the same as PE32+
  elf32  a minimal ELF32 object holding it in the .ruv_version section
  elf64  the same as ELF64
  cpp    a C++ source whose top-level assembly puts it into the .ruv_version
         section of the program that links it (how our executables are stamped)

Description (JSON), every key optional:
  {
    "file_version": "3.0.0.3",          # also fills the fixed block's numbers
    "fixed": true,                       # false: no VS_FIXEDFILEINFO value
    "translations": [["0409", "04E4"]],  # null: no VarFileInfo at all
    "translation_length": 2,             # override of the Translation value length
    "string_tables": [
      {"key": "040904E4",
       "strings": [["FileVersion", "3.0.0.3"],   # value length in characters, NUL included
                   ["Comments", null],           # a value of length 0
                   ["X", "abc", 9]]}             # an explicit (wrong) value length
    ],
    "var_first": false                  # put VarFileInfo before StringFileInfo
  }
With options only, the string table of the first translation holds
"FileVersion" and the --string pairs.
"""

import argparse
import json
import struct
import sys

ELF_SECTION = ".ruv_version"
RT_VERSION = 16


def pad4(b):
    return b + b"\0" * (-len(b) % 4)


def node(key, value, value_length, wtype, children=()):
    """One block: header, key, value and children, each start 32-bit aligned."""
    b = pad4(struct.pack("<HHH", 0, value_length, wtype) + (key + "\0").encode("utf-16-le"))
    b += value
    for child in children:
        b = pad4(b) + child
    return struct.pack("<H", len(b)) + b[2:]


def parse_number(text):
    return int(str(text), 16) if not str(text).lower().startswith("0x") else int(str(text), 0)


def fixed_info(file_version):
    parts = [0, 0, 0, 0]
    try:
        nums = [int(p) for p in (file_version or "").split(".")]
        parts[: len(nums[:4])] = nums[:4]
    except ValueError:
        pass
    ms = (parts[0] << 16) | parts[1]
    ls = (parts[2] << 16) | parts[3]
    # signature, struct version, file version, product version, flags mask,
    # flags, OS (VOS_NT_WINDOWS32), type (VFT_APP), subtype, date
    return struct.pack("<13I", 0xFEEF04BD, 0x00010000, ms, ls, ms, ls, 0x3F, 0, 0x40004, 1, 0, 0, 0)


def string_entry(entry):
    key, value = entry[0], entry[1]
    data = b"" if value is None else (value + "\0").encode("utf-16-le")
    length = len(data) // 2 if len(entry) < 3 else entry[2]
    return node(key, data, length, 1)


def build_blob(desc):
    children = []
    tables = desc.get("string_tables", [])
    if tables:
        children.append(node("StringFileInfo", b"", 0, 1, [
            node(t["key"], b"", 0, 1, [string_entry(e) for e in t.get("strings", [])])
            for t in tables]))
    translations = desc.get("translations", [])
    if translations is not None:
        value = b"".join(struct.pack("<HH", parse_number(l), parse_number(c)) for l, c in translations)
        length = desc.get("translation_length", len(value))
        children.append(node("VarFileInfo", b"", 0, 1, [node("Translation", value, length, 0)]))
    if desc.get("var_first"):
        children.reverse()
    fixed = fixed_info(desc.get("file_version")) if desc.get("fixed", True) else b""
    return node("VS_VERSION_INFO", fixed, len(fixed), 0, children)


def build_rsrc(tree, rva):
    """A resource section for tree: [(type, [(name, [(lang, data)])])], ids only."""
    off = 16 + 8 * len(tree)
    name_dirs = []
    for _, names in tree:
        name_dirs.append(off)
        off += 16 + 8 * len(names)
    lang_dirs = []
    for _, names in tree:
        for _, langs in names:
            lang_dirs.append(off)
            off += 16 + 8 * len(langs)
    leaves = [data for _, names in tree for _, langs in names for _, data in langs]
    entries = []
    for _ in leaves:
        entries.append(off)
        off += 16
    datas = []
    for data in leaves:
        off += -off % 8
        datas.append(off)
        off += len(data)
    out = bytearray(off)

    def directory(at, items):
        struct.pack_into("<IIHHHH", out, at, 0, 0, 0, 0, 0, len(items))
        for i, (ident, target, is_dir) in enumerate(items):
            struct.pack_into("<II", out, at + 16 + 8 * i, ident, target | (0x80000000 if is_dir else 0))

    directory(0, [(t, name_dirs[i], True) for i, (t, _) in enumerate(tree)])
    # Name directories point at their language directories, those at their
    # data entries, both in tree order.
    li = k = 0
    for i, (_, names) in enumerate(tree):
        directory(name_dirs[i], [(n, lang_dirs[li + j], True) for j, (n, _) in enumerate(names)])
        for _, langs in names:
            directory(lang_dirs[li], [(lang, entries[k + j], False) for j, (lang, _) in enumerate(langs)])
            k += len(langs)
            li += 1
    for i, data in enumerate(leaves):
        struct.pack_into("<IIII", out, entries[i], rva + datas[i], len(data), 0, 0)
        out[datas[i]:datas[i] + len(data)] = data
    return bytes(out)


def build_pe(blob, plus):
    file_align, sect_align, rva = 0x200, 0x1000, 0x1000
    tree = [(3, [(1, [(0x0409, b"\0" * 40)])]),             # an icon before the version
            (RT_VERSION, [(1, [(0x0409, blob)])]),
            (24, [(1, [(0x0409, b"<assembly/>")])])]         # a manifest after it
    rsrc = build_rsrc(tree, rva)
    raw_size = len(rsrc) + (-len(rsrc) % file_align)
    image_size = rva + len(rsrc) + (-len(rsrc) % sect_align)
    opt_size = 240 if plus else 224
    coff = struct.pack("<HHIIIHH", 0x8664 if plus else 0x14C, 1, 0, 0, 0, opt_size,
                       0x0022 if plus else 0x0102)
    if plus:
        opt = struct.pack("<HBBIIIIIQIIHHHHHHIIIIHHQQQQII", 0x20B, 14, 0, 0, raw_size, 0, 0, 0,
                          0x140000000, sect_align, file_align, 6, 0, 0, 0, 6, 0, 0,
                          image_size, file_align, 0, 2, 0x8160, 0x100000, 0x1000, 0x100000,
                          0x1000, 0, 16)
    else:
        opt = struct.pack("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII", 0x10B, 14, 0, 0, raw_size, 0, 0, 0,
                          0, 0x400000, sect_align, file_align, 6, 0, 0, 0, 6, 0, 0,
                          image_size, file_align, 0, 2, 0x8140, 0x100000, 0x1000, 0x100000,
                          0x1000, 0, 16)
    dirs = bytearray(16 * 8)
    struct.pack_into("<II", dirs, 2 * 8, rva, len(rsrc))
    opt += bytes(dirs)
    assert len(opt) == opt_size
    section = struct.pack("<8sIIIIIIHHI", b".rsrc", len(rsrc), rva, raw_size, file_align,
                          0, 0, 0, 0, 0x40000040)
    dos = bytearray(64)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 64)
    headers = bytes(dos) + b"PE\0\0" + coff + opt + section
    headers += b"\0" * (file_align - len(headers))
    return headers + rsrc + b"\0" * (raw_size - len(rsrc))


def build_elf(blob, is64):
    shstrtab = b"\0" + ELF_SECTION.encode() + b"\0.shstrtab\0"
    ehsize, shentsize = (64, 64) if is64 else (52, 40)
    data_off = ehsize
    str_off = data_off + len(blob)
    sh_off = str_off + len(shstrtab)
    sh_off += -sh_off % 8
    ident = b"\x7fELF" + bytes([2 if is64 else 1, 1, 1, 0]) + b"\0" * 8
    if is64:
        header = ident + struct.pack("<HHIQQQIHHHHHH", 1, 62, 1, 0, 0, sh_off, 0, ehsize, 0, 0,
                                     shentsize, 3, 2)
        sh = lambda name, typ, flags, off, size, align: struct.pack(
            "<IIQQQQIIQQ", name, typ, flags, 0, off, size, 0, 0, align, 0)
    else:
        header = ident + struct.pack("<HHIIIIIHHHHHH", 1, 3, 1, 0, 0, sh_off, 0, ehsize, 0, 0,
                                     shentsize, 3, 2)
        sh = lambda name, typ, flags, off, size, align: struct.pack(
            "<IIIIIIIIII", name, typ, flags, 0, off, size, 0, 0, align, 0)
    body = header + blob + shstrtab
    body += b"\0" * (sh_off - len(body))
    body += sh(0, 0, 0, 0, 0, 0)
    body += sh(1, 1, 2, data_off, len(blob), 4)
    body += sh(2 + len(ELF_SECTION), 3, 0, str_off, len(shstrtab), 1)
    return body


def build_cpp(blob):
    lines = ["// Generated by tools/version/versioninfo.py: this program's version information.",
             "// Top-level assembly keeps the bytes whatever the optimiser or a sanitizer does.",
             "asm(\".pushsection " + ELF_SECTION + ",\\\"a\\\"\\n\"",
             "    \".balign 4\\n\""]
    for i in range(0, len(blob), 16):
        chunk = ",".join("0x%02x" % b for b in blob[i:i + 16])
        lines.append("    \".byte " + chunk + "\\n\"")
    lines.append("    \".popsection\\n\");")
    return ("\n".join(lines) + "\n").encode()


def description_from_options(opts):
    lang, cp = opts.language, opts.codepage
    strings = []
    if opts.file_version is not None:
        strings.append(["FileVersion", opts.file_version])
    strings += [list(pair) for pair in opts.string]
    return {
        "file_version": opts.file_version,
        "translations": [[lang, cp]] + [list(t) for t in opts.translation],
        "string_tables": [{"key": "%04X%04X" % (parse_number(lang), parse_number(cp)),
                           "strings": strings}],
    }


def main(argv):
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("format", choices=["blob", "pe32", "pe64", "elf32", "elf64", "cpp"])
    p.add_argument("-o", "--output", required=True)
    p.add_argument("--describe")
    p.add_argument("--file-version")
    p.add_argument("--language", default="0x0409")
    p.add_argument("--codepage", default="0x04E4")
    p.add_argument("--string", nargs=2, action="append", default=[], metavar=("KEY", "VALUE"))
    p.add_argument("--translation", nargs=2, action="append", default=[], metavar=("LANG", "CP"))
    opts = p.parse_args(argv)
    if opts.describe:
        with open(opts.describe, encoding="utf-8") as f:
            desc = json.load(f)
    else:
        desc = description_from_options(opts)
    blob = build_blob(desc)
    out = {"blob": lambda: blob, "pe32": lambda: build_pe(blob, False),
           "pe64": lambda: build_pe(blob, True), "elf32": lambda: build_elf(blob, False),
           "elf64": lambda: build_elf(blob, True), "cpp": lambda: build_cpp(blob)}[opts.format]()
    try:
        with open(opts.output, "rb") as f:
            if f.read() == out:
                return 0  # unchanged: keep the timestamp so nothing rebuilds
    except OSError:
        pass
    with open(opts.output, "wb") as f:
        f.write(out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
