#!/usr/bin/python3
"""Reads a worksheet file with a reader that has nothing to do with ours and
prints what it found, one line per cell, for the export tests to compare:

    cell ROW COL KIND VALUE FONTFLAGS FONTNAME ALIGN
    width COL WIDTH

KIND is N (VALUE: the number printed with "%.17g") or T (VALUE: the UTF-8
bytes of the text in hex, "-" when empty). FONTFLAGS is bold 1, italic 2,
underline 4, struck out 8; FONTNAME is the font name in hex; ALIGN is the
horizontal alignment code (0 general, 1 left, 2 centre, 3 right, 4 fill).
A field the reader cannot tell is "-".

    read_back.py xlrd FILE.xls        xlrd, with formatting
    read_back.py gnumeric FILE        gnumeric's ssconvert (any format it reads)
"""
import gzip
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET


def hexs(text):
    data = text.encode("utf-8")
    return data.hex() if data else "-"


def read_xlrd(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True, encoding_override="cp1252", ragged_rows=True, logfile=open(os.devnull, "w"))
    sheet = book.sheet_by_index(0)
    out = []
    for col, info in sorted(sheet.colinfo_map.items()):
        out.append("width %d %d" % (col, info.width))
    for row in range(sheet.nrows):
        for col in range(sheet.row_len(row)):
            cell = sheet.cell(row, col)
            if cell.ctype == xlrd.XL_CELL_NUMBER:
                kind, value = "N", "%.17g" % cell.value
            elif cell.ctype == xlrd.XL_CELL_TEXT:
                kind, value = "T", hexs(cell.value)
            else:
                continue
            xf = book.xf_list[cell.xf_index]
            font = book.font_list[xf.font_index]
            flags = font.bold | font.italic << 1 | (font.underline_type != 0) << 2 | font.struck_out << 3
            out.append("cell %d %d %s %s %d %s %d" % (row, col, kind, value, flags, hexs(font.name),
                                                      xf.alignment.hor_align))
    return out


HALIGN = {"GNM_HALIGN_GENERAL": 0, "GNM_HALIGN_LEFT": 1, "GNM_HALIGN_CENTER": 2, "GNM_HALIGN_RIGHT": 3,
          "GNM_HALIGN_FILL": 4}
NS = "{http://www.gnumeric.org/v10.dtd}"


def read_gnumeric(path):
    with tempfile.TemporaryDirectory() as tmp:
        xml_path = os.path.join(tmp, "sheet.gnumeric")
        done = subprocess.run(["ssconvert", "-T", "Gnumeric_XmlIO:sax", path, xml_path],
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if done.returncode != 0:
            sys.exit("ssconvert failed: " + done.stderr.decode(errors="replace"))
        with open(xml_path, "rb") as f:
            data = f.read()
        if data[:2] == b"\x1f\x8b":
            data = gzip.decompress(data)
    sheet = ET.fromstring(data).find(NS + "Sheets").find(NS + "Sheet")
    regions = []
    for region in sheet.find(NS + "Styles").findall(NS + "StyleRegion"):
        style = region.find(NS + "Style")
        font = style.find(NS + "Font")
        flags = (int(font.get("Bold")) | int(font.get("Italic")) << 1 | (font.get("Underline") != "0") << 2
                 | int(font.get("StrikeThrough")) << 3)
        regions.append(([int(region.get(k)) for k in ("startRow", "startCol", "endRow", "endCol")],
                         flags, hexs(font.text or ""), HALIGN.get(style.get("HAlign"), 0)))
    out = []
    for cell in sheet.find(NS + "Cells").findall(NS + "Cell"):
        row, col = int(cell.get("Row")), int(cell.get("Col"))
        vtype = int(cell.get("ValueType"))
        if vtype == 40:
            kind, value = "N", "%.17g" % float(cell.text)
        elif vtype == 60:
            kind, value = "T", hexs(cell.text or "")
        else:
            continue
        flags, name, align = "-", "-", "-"
        for (r0, c0, r1, c1), f, n, a in regions:
            if r0 <= row <= r1 and c0 <= col <= c1:
                flags, name, align = f, n, a
        out.append("cell %d %d %s %s %s %s %s" % (row, col, kind, value, flags, name, align))
    return out


def main():
    mode, path = sys.argv[1], sys.argv[2]
    lines = read_xlrd(path) if mode == "xlrd" else read_gnumeric(path)
    sys.stdout.write("".join(line + "\n" for line in lines))


if __name__ == "__main__":
    main()
