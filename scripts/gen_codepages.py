#!/usr/bin/env python3
"""Generate the code page tables of src/codepages.cpp from glibc iconv.

Writes, in src/ (or the directory given as the only argument):
  codepage_tables_sbcs.cpp   every single-byte page: 256 Unicode values each
  codepage_tables_NNN.cpp    one file per double-byte page (300, 301, 834, 835, 837)

Single-byte pages:
  * every IBM EBCDIC single-byte converter glibc installs (a module IBMnnn.so
    whose byte X'40' is the space and X'C1' the letter A, and that is not a
    mixed SBCS/DBCS converter); the page number is the one in the module name;
  * the single-byte halves of the mixed host converters whose SBCS page has no
    module of its own: 833 (IBM933), 836 (IBM935), 1027 (IBM939);
  * the ASCII-based pages AFP data and font triplets name: 437, 819
    (ISO-8859-1), 850, 1252.
A byte that iconv does not convert, or converts to anything but exactly one
character, is written as U+FFFD, the library's mark for "no character". Where
a page maps several bytes to one character, the byte iconv encodes that
character to is recorded, so the library's reverse direction agrees with iconv.

Double-byte pages are the DBCS halves of the mixed host converters, each pair
handed to iconv between shift-out (X'0E') and shift-in (X'0F'): 300 (IBM939;
IBM930 has the same double-byte part), 834 (IBM933), 835 (IBM937), 837
(IBM935); and the PC page 301, the double-byte part of IBM932, whose pairs iconv
takes as they are. Pairs with both bytes from X'40' to X'FF' are tried.

A double-byte table is a list of segments per lead byte: a segment covers a
range of second bytes and is either linear (Unicode = base + offset, as in the
user-defined areas that map onto the Private Use Area) or explicit (one value
per second byte, gaps of a few unassigned codes filled with U+FFFD). The output
is plain integer arrays, so each file compiles quickly.

Usage: scripts/gen_codepages.py [output-dir]   (default: src/)
"""

import ctypes
import ctypes.util
import os
import sys

_libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
_libc.iconv_open.restype = ctypes.c_void_p
_libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
_libc.iconv.restype = ctypes.c_size_t
_libc.iconv.argtypes = [
    ctypes.c_void_p,
    ctypes.POINTER(ctypes.c_char_p),
    ctypes.POINTER(ctypes.c_size_t),
    ctypes.POINTER(ctypes.c_char_p),
    ctypes.POINTER(ctypes.c_size_t),
]
_FAILED = ctypes.c_size_t(-1).value
_INVALID = ctypes.c_void_p(-1).value

GCONV_DIR = "/usr/lib/x86_64-linux-gnu/gconv"
REPLACEMENT = 0xFFFD

MIXED_HOST = {"IBM930", "IBM933", "IBM935", "IBM937", "IBM939", "IBM1364", "IBM1371", "IBM1388",
              "IBM1390", "IBM1399"}
SBCS_OF_MIXED = [(833, "IBM933"), (836, "IBM935"), (1027, "IBM939")]
ASCII_PAGES = [(437, "IBM437"), (819, "ISO-8859-1"), (850, "IBM850"), (1252, "CP1252")]
# (CPGID, converter, pair wrapped in SO/SI)
DBCS_PAGES = [(300, "IBM939", True), (301, "IBM932", False), (834, "IBM933", True),
              (835, "IBM937", True), (837, "IBM935", True)]


class Converter:
    """One glibc iconv descriptor; each call converts a whole, independent input."""

    def __init__(self, to_code, from_code):
        cd = _libc.iconv_open(to_code.encode(), from_code.encode())
        if cd is None or cd == _INVALID:
            raise ValueError(f"iconv cannot convert {from_code} -> {to_code}")
        self.cd = cd

    def __call__(self, data):
        out = ctypes.create_string_buffer(64)
        inbuf = ctypes.create_string_buffer(data, len(data))
        inptr = ctypes.c_char_p(ctypes.addressof(inbuf))
        inleft = ctypes.c_size_t(len(data))
        outptr = ctypes.c_char_p(ctypes.addressof(out))
        outleft = ctypes.c_size_t(len(out))
        ok = _libc.iconv(self.cd, ctypes.byref(inptr), ctypes.byref(inleft),
                         ctypes.byref(outptr), ctypes.byref(outleft)) != _FAILED
        ok = _libc.iconv(self.cd, None, None, ctypes.byref(outptr), ctypes.byref(outleft)) != _FAILED and ok
        if not ok or inleft.value != 0:
            return None
        return out.raw[: len(out) - outleft.value]


def one_char(utf32):
    """The scalar value of a UTF-32BE result holding exactly one character, else None."""
    if utf32 is None or len(utf32) != 4:
        return None
    return int.from_bytes(utf32, "big")


def single_byte_table(module):
    to_unicode = Converter("UTF-32BE", module)
    table = [one_char(to_unicode(bytes([b]))) for b in range(256)]
    if REPLACEMENT in table:
        sys.exit(f"{module} maps a byte to U+FFFD")
    # Where several bytes decode to one character, the one iconv encodes it to.
    from_unicode = Converter(module, "UTF-32BE")
    seen = {}
    for b, u in enumerate(table):
        if u is not None:
            seen.setdefault(u, []).append(b)
    preferred = []
    for u, bs in sorted(seen.items()):
        if len(bs) > 1:
            back = from_unicode(u.to_bytes(4, "big"))
            if back is None or len(back) != 1 or back[0] not in bs:
                sys.exit(f"{module}: iconv encodes U+{u:04X} to none of the bytes that decode to it")
            preferred.append(back[0])
    return [REPLACEMENT if u is None else u for u in table], preferred


def ebcdic_modules():
    found = []
    for f in sorted(os.listdir(GCONV_DIR)):
        if not (f.startswith("IBM") and f.endswith(".so")):
            continue
        module = f[:-3]
        if module in MIXED_HOST or not module[3:].isdigit():
            continue
        try:
            to_unicode = Converter("UTF-32BE", module)
        except ValueError:
            continue
        if one_char(to_unicode(b"\x40")) == 0x20 and one_char(to_unicode(b"\xC1")) == 0x41:
            found.append((int(module[3:]), module))
    return found


def double_byte_table(module, wrapped):
    to_unicode = Converter("UTF-32BE", module)
    table = {}
    for lead in range(0x40, 0x100):
        for trail in range(0x40, 0x100):
            data = bytes([0x0E, lead, trail, 0x0F]) if wrapped else bytes([lead, trail])
            u = one_char(to_unicode(data))
            if u is None:
                continue
            if u > 0xFFFF or u == REPLACEMENT:
                sys.exit(f"{module}: X'{lead:02X}{trail:02X}' -> U+{u:04X} does not fit the table")
            table[(lead << 8) | trail] = u
    return table


LINEAR_MIN = 12  # a linear run at least this long becomes a segment of its own
GAP_MAX = 4      # explicit entries this close together share a segment


def segments_of(table):
    """[(lead, first, last, linear, base_or_values)], sorted by lead then first."""
    out = []
    for lead in sorted({code >> 8 for code in table}):
        trails = sorted(code & 0xFF for code in table if code >> 8 == lead)
        value = {t: table[(lead << 8) | t] for t in trails}
        # Split the row into maximal linear runs.
        runs = []
        for t in trails:
            if runs and t == runs[-1][1] + 1 and value[t] == value[runs[-1][1]] + 1:
                runs[-1][1] = t
            else:
                runs.append([t, t])
        pending = []  # explicit runs waiting to be merged into one segment

        def flush():
            if not pending:
                return
            groups = [[pending[0]]]
            for r in pending[1:]:
                if r[0] - groups[-1][-1][1] - 1 <= GAP_MAX:
                    groups[-1].append(r)
                else:
                    groups.append([r])
            for g in groups:
                first, last = g[0][0], g[-1][1]
                values = [value.get(t, REPLACEMENT) for t in range(first, last + 1)]
                out.append((lead, first, last, False, values))
            pending.clear()

        for first, last in runs:
            if last - first + 1 >= LINEAR_MIN:
                flush()
                out.append((lead, first, last, True, value[first]))
            else:
                pending.append((first, last))
        flush()
    return out


def rows(items, per_line):
    for i in range(0, len(items), per_line):
        yield "    " + ",".join(items[i : i + per_line]) + ","


HEADER = [
    "// Generated by scripts/gen_codepages.py from glibc iconv. Do not edit; run the",
    "// script again instead.",
]


def write(path, lines):
    with open(path, "w", encoding="ascii") as f:
        f.write("\n".join(lines) + "\n")


def write_sbcs(outdir, pages):
    lines = HEADER + [
        "//",
        "// Single-byte code pages: Unicode value of each byte, U+FFFD where the page",
        "// has no character; and the bytes iconv encodes to where several bytes of a",
        "// page decode to the same character.",
        '#include "codepage_tables.hpp"',
        "",
        "namespace pressel::codepage_data {",
        "",
        "namespace {",
    ]
    for cpgid, module, ebcdic, table, preferred in pages:
        lines.append(f"// {module}")
        lines.append(f"const std::uint16_t kToUnicode{cpgid}[256] = {{")
        lines.extend(rows([str(u) for u in table], 16))
        lines.append("};")
        if preferred:
            lines.append(f"const std::uint8_t kPreferred{cpgid}[{len(preferred)}] = {{")
            lines.extend(rows([str(b) for b in preferred], 16))
            lines.append("};")
    lines += ["} // namespace", "", f"const SingleByteTable kSingleByteTables[{len(pages)}] = {{"]
    for cpgid, module, ebcdic, table, preferred in pages:
        pref = f"kPreferred{cpgid}, {len(preferred)}" if preferred else "nullptr, 0"
        lines.append(f'    {{{cpgid}, {"true" if ebcdic else "false"}, "{module}", kToUnicode{cpgid}, {pref}}},')
    lines += ["};", f"const std::size_t kSingleByteTableCount = {len(pages)};", "",
              "} // namespace pressel::codepage_data"]
    write(os.path.join(outdir, "codepage_tables_sbcs.cpp"), lines)


def write_dbcs(outdir, cpgid, module, wrapped, table):
    segs = segments_of(table)
    values = []
    seg_lines = []
    row_start = [0] * 257
    for lead, first, last, linear, data in segs:
        if linear:
            seg_lines.append(f"{{{first},{last},1,{data}}}")
        else:
            seg_lines.append(f"{{{first},{last},0,{len(values)}}}")
            values.extend(data)
    index = 0
    for lead in range(256):
        row_start[lead] = index
        while index < len(segs) and segs[index][0] == lead:
            index += 1
    row_start[256] = index
    how = "pairs between shift-out and shift-in" if wrapped else "pairs as they are"
    lines = HEADER + [
        "//",
        f"// Double-byte code page {cpgid}: the double-byte part of {module}",
        f"// ({how}), {len(table)} characters.",
        '#include "codepage_tables.hpp"',
        "",
        "namespace pressel::codepage_data {",
        "",
        "namespace {",
        "const std::uint16_t kRowStart[257] = {",
        *rows([str(s) for s in row_start], 16),
        "};",
        f"const DoubleByteSegment kSegments[{len(segs)}] = {{",
        *rows(seg_lines, 8),
        "};",
        f"const std::uint16_t kValues[{len(values)}] = {{",
        *rows([str(v) for v in values], 16),
        "};",
        "} // namespace",
        "",
        f'const DoubleByteTable kDoubleByte{cpgid} = {{{cpgid}, {"true" if wrapped else "false"}, "{module}", '
        f"kRowStart, kSegments, kValues, {len(values)}}};",
        "",
        "} // namespace pressel::codepage_data",
    ]
    write(os.path.join(outdir, f"codepage_tables_{cpgid}.cpp"), lines)
    return len(segs), len(values)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src")
    pages = []
    for cpgid, module in ebcdic_modules():
        pages.append((cpgid, module, True) + single_byte_table(module))
    for cpgid, module in SBCS_OF_MIXED:
        pages.append((cpgid, module, True) + single_byte_table(module))
    for cpgid, module in ASCII_PAGES:
        pages.append((cpgid, module, False) + single_byte_table(module))
    pages.sort()
    if len({p[0] for p in pages}) != len(pages):
        sys.exit("two single-byte pages share a number")
    write_sbcs(outdir, pages)
    print(f"codepage_tables_sbcs.cpp: {len(pages)} single-byte pages")
    for cpgid, module, wrapped in DBCS_PAGES:
        table = double_byte_table(module, wrapped)
        nsegs, nvalues = write_dbcs(outdir, cpgid, module, wrapped, table)
        print(f"codepage_tables_{cpgid}.cpp: {len(table)} characters, {nsegs} segments, {nvalues} values")


if __name__ == "__main__":
    main()
