#!/usr/bin/python3
"""Assembles the golden BIFF2 files and text files of the export tests by
hand, from the record layouts of the format (id, length, fields, all
little-endian). Nothing here uses the program's own writer.

Run it with the golden folder as the only argument to (re)write the files;
the export tests compare the checked-in files with this script's output and
with what the writer produces.
"""
import os
import struct
import sys


def hexbytes(text):
    return bytes.fromhex(text)


def record(rid, body):
    return struct.pack("<HH", rid, len(body)) + body


def bof():
    return record(0x0009, struct.pack("<HH", 2, 0x0010))


def eof():
    return record(0x000A, b"")


def colwidth(column, width):
    return record(0x0024, struct.pack("<BBH", column, column, width))


def font(name, points, flags):
    return record(0x0031, struct.pack("<HHB", points * 20, flags, len(name)) + name)


def attrs(row, col, font_index=0, align=0):
    return struct.pack("<HHBBB", row, col, 0, font_index << 6, align)


def number(row, col, value, font_index=0, align=0):
    return record(0x0003, attrs(row, col, font_index, align) + struct.pack("<d", value))


def label(row, col, text, font_index=0, align=0):
    return record(0x0004, attrs(row, col, font_index, align) + bytes([len(text)]) + text)


REPORT_FONTS = b"".join(font(b"Arial", 10, flags) for flags in (0, 1, 2, 8))

# The worked example, typed in record by record from the layout tables.
WORKED_EXAMPLE = hexbytes(
    "09 00 04 00 02 00 10 00"
    "24 00 04 00 01 01 00 1A"
    "31 00 0A 00 C8 00 00 00 05 41 72 69 61 6C"
    "31 00 0A 00 C8 00 01 00 05 41 72 69 61 6C"
    "31 00 0A 00 C8 00 02 00 05 41 72 69 61 6C"
    "31 00 0A 00 C8 00 08 00 05 41 72 69 61 6C"
    "04 00 0B 00 00 00 00 00 00 40 02 03 61 62 63"
    "03 00 0F 00 01 00 01 00 00 00 00 00 00 00 00 00 00 04 40"
    "0A 00 00 00")

EMPTY_REPORT = hexbytes(
    "09 00 04 00 02 00 10 00"
    "31 00 0A 00 C8 00 00 00 05 41 72 69 61 6C"
    "31 00 0A 00 C8 00 01 00 05 41 72 69 61 6C"
    "31 00 0A 00 C8 00 02 00 05 41 72 69 61 6C"
    "31 00 0A 00 C8 00 08 00 05 41 72 69 61 6C"
    "0A 00 00 00")

LONG_TEXT = bytes((ord("a") + i % 26) for i in range(255))

# Edge cases of the cell and width records: an empty text, a text cut to
# 255 bytes, bytes above 0x7F, widths of 0.5 and 1/512 of a character,
# the last addressable row and column, and numbers of every sign and size.
EDGE_CELLS = (bof()
              + colwidth(1, 6656) + colwidth(4, 768) + colwidth(2, 128) + colwidth(3, 0)
              + colwidth(255, 65535)
              + REPORT_FONTS
              + label(0, 0, b"")
              + label(0, 1, LONG_TEXT, font_index=2, align=3)
              + number(1, 0, 1.0)
              + label(1, 2, b"Caf\xe9 \xb5g 50% %s", align=1)
              + number(1, 3, -0.125, font_index=1, align=2)
              + number(2, 255, 1e300, font_index=3, align=4)
              + number(3, 0, 123456789.0)
              + label(16383, 0, b"last row")
              + number(16383, 255, 0.001, font_index=1)
              + eof())

# A short plate report laid out as the report handlers do: the raw lines in
# column 1 from row 1, a bold heading, an 8 x 12 table from column 3 with
# centred numbers, and narrow table columns.
def plate_report():
    out = bof() + colwidth(1, 26 * 256)
    for c in range(4, 16):
        out += colwidth(c, 3 * 256)
    out += REPORT_FONTS
    lines = [b"Plate 1", b"Test: ELISA 405nm", b"Operator: A"]
    cells = {}
    for i, line in enumerate(lines):
        cells[(i + 1, 1)] = ("label", line, 0, 0)
    cells[(1, 3)] = ("label", b"Absorbance", 1, 0)
    for c in range(12):
        cells[(2, 4 + c)] = ("number", float(c + 1), 2, 2)
    for r in range(8):
        cells[(3 + r, 3)] = ("label", bytes([ord("A") + r]), 1, 2)
        for c in range(12):
            cells[(3 + r, 4 + c)] = ("number", (r * 100 + c * 7) / 1000.0, 0, 3)
    for (row, col) in sorted(cells):
        kind, value, font_index, align = cells[(row, col)]
        if kind == "label":
            out += label(row, col, value, font_index, align)
        else:
            out += number(row, col, value, font_index, align)
    return out + eof()


TEXT_XYZ = hexbytes("58 0D 0A 59 0D 0A 5A 0D 0A")

FILES = {
    "worked_example.xls": WORKED_EXAMPLE,
    "empty_report.xls": EMPTY_REPORT,
    "edge_cells.xls": EDGE_CELLS,
    "plate_report.xls": plate_report(),
    "xyz.txt": TEXT_XYZ,
}


def main():
    assert len(WORKED_EXAMPLE) == 110 and len(EMPTY_REPORT) == 68 and len(TEXT_XYZ) == 9
    # The typed-in example and the one built from the record helpers agree.
    assert WORKED_EXAMPLE == (bof() + colwidth(1, 6656) + REPORT_FONTS
                              + label(0, 0, b"abc", 1, 2) + number(1, 1, 2.5) + eof())
    folder = sys.argv[1]
    for name, data in FILES.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
