#!/usr/bin/python3
"""Writes the expected exports of the transcripts in ../data.

Each expected worksheet below is laid out by hand, cell by cell, from the
report layouts of the instrument models; this script only encodes those
cells as BIFF2 records (BOF, COLWIDTH, FONT, LABEL/NUMBER, EOF; 16-bit
fields low byte first) and the text files as lines ending in CR LF.
Run it after changing an expectation, and review the diff of the goldens.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

BOLD, ITALIC = 0x40, 0x80           # font index 1 and 2 in bits 6-7 of attr1
LEFT, CENTRE, RIGHT = 1, 2, 3       # alignment codes in attr2


def rec(rid, body):
    return struct.pack("<HH", rid, len(body)) + body


def biff(widths, cells):
    out = rec(0x09, struct.pack("<HH", 2, 0x10))
    for col, chars in widths:
        out += rec(0x24, struct.pack("<BBH", col, col, int(chars * 256)))
    for flags in (0, 1, 2, 8):
        out += rec(0x31, struct.pack("<HHB", 200, flags, 5) + b"Arial")
    for r, c, a1, a2, v in sorted(cells, key=lambda x: (x[0], x[1])):
        head = struct.pack("<HHBBB", r, c, 0, a1, a2)
        if isinstance(v, float):
            out += rec(0x03, head + struct.pack("<d", v))
        else:
            b = v.encode("latin-1")[:255]
            out += rec(0x04, head + bytes([len(b)]) + b)
    return out + rec(0x0A, b"")


def text(lines):
    return b"".join(l.encode("latin-1") + b"\r\n" for l in lines)


def cell(r, c, v, a1=0, a2=0):
    return (r, c, a1, a2, v)


def save(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def data_lines(name):
    with open(os.path.join(HERE, "..", "data", name), "rb") as f:
        return f.read().decode("latin-1").split("\r\n")[:-1]


# ---- 6120: one report with a start line, then one without -------------------
d = data_lines("6120-plates.txt")
letters = "HGFEDCBA"
plate = [cell(2, 6, "Plate 1", BOLD)]
plate += [cell(3, 3 + i, letters[i], BOLD, CENTRE) for i in range(8)]
for row, line in ((4, d[5]), (15, d[6]), (21, d[7])):   # 01-01, 01-12, 02-03 (3 + 30 - 12)
    plate += [cell(row, 3 + i, v, 0, RIGHT) for i, v in enumerate(line[6:].split())]
first = [cell(1, 1, "1) Endpoint 450"), cell(2, 1, "Plate 1")] + plate
save("6120-plates.1.txt", text([d[0], d[1], d[3], d[4], d[5], d[6], d[7]]))  # no TAB line
save("6120-plates.1.xls", biff([], first))
# After the export the reset gives column 1 its two widths; the second
# report has no start line, so it is written over the first one's cells.
second = [cell(1, 1, "Trailing note"), cell(2, 1, "Plate 1")] + plate
save("6120-plates.2.txt", text(["Trailing note"]))
save("6120-plates.2.xls", biff([(1, 26), (1, 60)], second))

# ---- 6310 -------------------------------------------------------------------
d = data_lines("6310-samples.txt")
hdr = BOLD
cells = [cell(r + 1, 1, d[r]) for r in range(9)]
cells += [cell(1, 3, "Calibration"), cell(1, 8, "Samples")]
cells += [cell(2, 3, "S#", hdr, CENTRE), cell(2, 4, "[ABS]", hdr, CENTRE),
          cell(2, 5, "[uIU/mL]", hdr, CENTRE),
          cell(2, 8, "S#", hdr, CENTRE), cell(2, 9, "[ABS]", hdr, CENTRE),
          cell(2, 10, "[uIU/mL]", hdr, CENTRE), cell(2, 11, "[Interp]", hdr, CENTRE)]
cells += [cell(3, 3, "B", 0, CENTRE), cell(3, 4, "0.048", 0, RIGHT)]
cells += [cell(4, 3, "S1", 0, CENTRE), cell(4, 4, "0.095", 0, RIGHT), cell(4, 5, "0.50", 0, RIGHT)]
cells += [cell(5, 3, "S2", 0, CENTRE), cell(5, 4, "0.140", 0, RIGHT), cell(5, 5, "1.00", 0, RIGHT)]
cells += [cell(3, 8, "1", 0, CENTRE), cell(3, 9, "0.312", 0, RIGHT), cell(3, 10, "2.91", 0, RIGHT)]
cells += [cell(4, 8, "PC", 0, CENTRE), cell(4, 9, "0.512", 0, RIGHT), cell(4, 10, "5.13", 0, RIGHT)]
cells += [cell(5, 8, "2", 0, CENTRE), cell(5, 9, "0.098", 0, RIGHT), cell(5, 10, "0.53", 0, RIGHT)]
save("6310-samples.1.txt", text(d[:9]))
save("6310-samples.1.xls", biff([], cells))

# ---- 6350, 12 numbered wells ------------------------------------------------
d = data_lines("6350-strips.txt")
cells = [cell(1, 1, "1) HAV"), cell(2, 1, "Cutoff note here")]
cells += [cell(1, 4, "Strip A", BOLD, CENTRE), cell(1, 10, "Strip B", BOLD, CENTRE)]
cells += [cell(2, 4, "Carrier Position: 1", 0, LEFT)]
for c1 in (4, 10):
    cells += [cell(3, c1 + i, t, ITALIC, CENTRE)
              for i, t in enumerate(["[ID]", "[ABS]", "[S/CO]", "[Interp]"])]
    cells += [cell(3 + w, c1 - 1, str(w), BOLD, CENTRE) for w in range(1, 13)]
cells += [cell(4, 4, "NC", 0, CENTRE), cell(4, 5, "0.052", 0, CENTRE), cell(4, 6, 0.15, 0, CENTRE),
          cell(4, 7, "NEG", 0, CENTRE)]
cells += [cell(5, 4, "P0102", 0, CENTRE), cell(5, 5, "1.828", 0, CENTRE), cell(5, 6, 5.22, 0, CENTRE),
          cell(5, 7, "POS", 0, CENTRE)]
cells += [cell(6, 4, "", 0, CENTRE), cell(6, 5, "0.061", 0, CENTRE), cell(6, 7, "", 0, CENTRE)]
cells += [cell(7, 4, "P0104", 0, CENTRE), cell(7, 5, "1.995", 0, CENTRE), cell(7, 7, "", 0, CENTRE)]
cells += [cell(15, 10, "P0212", 0, CENTRE), cell(15, 11, "0.700", 0, CENTRE),
          cell(15, 12, 2.0, 0, CENTRE), cell(15, 13, "POS", 0, CENTRE)]
save("6350-strips.1.txt", text(d[:-1]))
save("6350-strips.1.xls", biff([(3, 3), (9, 3)], cells))

# ---- 6480, 8 lettered wells, two end lines in a row --------------------------
d = data_lines("6480-lettered.txt")
cells = [cell(1, 1, "1) Quimioluminiscencia  TSH")]
cells += [cell(2, 4, "Portador de Posicion: 3", 0, LEFT)]
for n, (r, c0) in enumerate(((3, 3), (3, 9), (3, 15), (16, 3)), 1):
    cells += [cell(r - 2, c0 + 1, "Strip %d" % n, BOLD, CENTRE)]
    cells += [cell(r, c0 + 1 + i, t, ITALIC, CENTRE)
              for i, t in enumerate(["[ID]", "[RLU]", "[mUI/L]", "[Interp]"])]
    cells += [cell(r + 1 + i, c0, "ABCDEFGH"[i], BOLD, CENTRE) for i in range(8)]
cells += [cell(4, 4, "P01", 0, CENTRE), cell(4, 5, "15234", 0, CENTRE), cell(4, 6, 1.52, 0, CENTRE),
          cell(4, 7, "POS", 0, CENTRE)]
cells += [cell(24, 4, "", 0, CENTRE), cell(24, 5, "900", 0, CENTRE), cell(24, 7, "", 0, CENTRE)]
cells += [cell(18, 4, "P42", 0, CENTRE), cell(18, 5, "800", 0, CENTRE), cell(18, 6, 0.08, 0, CENTRE),
          cell(18, 7, "NEG", 0, CENTRE)]
widths = [(3, 3), (9, 3), (15, 3), (3, 3)]
save("6480-lettered.1.txt", text(d[:-2]))
save("6480-lettered.1.xls", biff(widths, cells))
# The second end line exports again: no lines, the same cells, and column 1's
# width that the reset after the first export added.
save("6480-lettered.2.txt", b"")
save("6480-lettered.2.xls", biff(widths + [(1, 26)], cells))
