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
    read_back.py openpyxl FILE.xlsx   openpyxl, with formatting
    read_back.py gnumeric FILE        gnumeric's ssconvert (any format it reads)

For an .xlsx WIDTH is the <col> width times 256 (openpyxl), or gnumeric's
width in points turned back at 5.25 points (7 pixels) a character.

    read_back.py compare FILE.xls FILE.xlsx...
        each .xlsx is a sound zip (unzip -t, zipfile.testzip) of parts that
        xml.etree parses, and openpyxl and gnumeric read from it the cells,
        fonts, alignments and column widths that xlrd reads from FILE.xls
        (gnumeric's widths to within a pixel, and it drops widths under
        one character; widths beyond Excel's 255 characters are held to
        255); text cells that are empty in
        the .xls may be missing from the .xlsx. Prints every difference and
        exits non-zero when there is one.
    read_back.py container FILE.xlsx...
        the zip and XML checks alone.
"""
import gzip
import os
import re
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
    out = []
    for info in sheet.find(NS + "Cols").findall(NS + "ColInfo"):
        if info.get("HardSize") == "1":
            for col in range(int(info.get("No")), int(info.get("No")) + int(info.get("Count", "1"))):
                out.append("width %d %d" % (col, round(float(info.get("Unit")) / 5.25 * 256)))
    regions = []
    for region in sheet.find(NS + "Styles").findall(NS + "StyleRegion"):
        style = region.find(NS + "Style")
        font = style.find(NS + "Font")
        flags = (int(font.get("Bold")) | int(font.get("Italic")) << 1 | (font.get("Underline") != "0") << 2
                 | int(font.get("StrikeThrough")) << 3)
        regions.append(([int(region.get(k)) for k in ("startRow", "startCol", "endRow", "endCol")],
                         flags, hexs(font.text or ""), HALIGN.get(style.get("HAlign"), 0)))
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


OPENPYXL_HALIGN = {None: 0, "general": 0, "left": 1, "center": 2, "right": 3, "fill": 4}


def office_unescape(text):
    """Excel's reading of the _xHHHH_ escapes in a text (openpyxl keeps them)."""
    return re.sub("_x([0-9A-Fa-f]{4})_", lambda m: chr(int(m.group(1), 16)), text)


def read_openpyxl(path):
    import openpyxl
    sheet = openpyxl.load_workbook(path).worksheets[0]
    out = []
    for letter, dim in sorted(sheet.column_dimensions.items(), key=lambda item: item[1].min or 0):
        if dim.width is not None:
            for col in range(dim.min, dim.max + 1):
                out.append("width %d %s" % (col - 1, ("%d" % (dim.width * 256)) if (dim.width * 256).is_integer()
                                           else repr(dim.width)))
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            if isinstance(cell.value, str):
                kind, value = "T", hexs(office_unescape(cell.value))
            else:
                kind, value = "N", "%.17g" % cell.value
            font = cell.font
            flags = bool(font.b) | bool(font.i) << 1 | (font.u is not None) << 2 | bool(font.strike) << 3
            out.append("cell %d %d %s %s %d %s %d" % (cell.row - 1, cell.column - 1, kind, value, flags,
                                                      hexs(font.name or ""),
                                                      OPENPYXL_HALIGN.get(cell.alignment.horizontal, -1)))
    return out


def container_problems(path):
    import zipfile
    problems = []
    done = subprocess.run(["unzip", "-tq", path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if done.returncode != 0:
        problems.append("unzip -t: " + done.stdout.decode(errors="replace").strip())
    with zipfile.ZipFile(path) as archive:
        bad = archive.testzip()
        if bad is not None:
            problems.append("zipfile.testzip: bad member " + bad)
        for name in archive.namelist():
            try:
                ET.fromstring(archive.read(name))
            except ET.ParseError as e:
                problems.append("%s: %s" % (name, e))
    return [path + ": " + p for p in problems]


def parse(lines):
    """Cells by position and widths by column from a listing."""
    cells, widths = {}, {}
    for line in lines:
        f = line.split()
        if f[0] == "width":
            widths[int(f[1])] = float(f[2])
        else:
            cells[(int(f[1]), int(f[2]))] = " ".join(f[3:])
    return cells, widths


# One pixel at 7 pixels a character, in 1/256 of a character.
PIXEL = 256 / 7.0


def compare(xls, xlsx):
    problems = container_problems(xlsx)
    want_cells, want_widths = parse(read_xlrd(xls))
    # Gnumeric reads no column widths from BIFF2 files, only from the .xlsx.
    for reader, lines, tolerance in (("openpyxl", read_openpyxl(xlsx), 0),
                                     ("gnumeric", read_gnumeric(xlsx), PIXEL)):
        cells, widths = parse(lines)
        for where in sorted(set(want_cells) | set(cells)):
            want, got = want_cells.get(where), cells.get(where)
            if want != got and not (got is None and want.startswith("T - ")):
                problems.append("%s %s cell %s: xls %s, xlsx %s" % (xlsx, reader, where, want, got))
        for col in sorted(set(want_widths) | set(widths)):
            want, got = want_widths.get(col), widths.get(col)
            if want is not None:
                want = min(want, 255 * 256)  # Excel's widest column; the writer cuts there
            if got is None and want is not None and want < 256 and reader == "gnumeric":
                continue  # gnumeric drops columns narrower than a character
            if want is None or got is None or abs(want - got) > tolerance:
                problems.append("%s %s width of column %d: xls %s, xlsx %s" % (xlsx, reader, col, want, got))
    return problems


def main():
    mode = sys.argv[1]
    if mode in ("compare", "container"):
        problems = []
        for xlsx in sys.argv[3 if mode == "compare" else 2:]:
            problems += compare(sys.argv[2], xlsx) if mode == "compare" else container_problems(xlsx)
        sys.stdout.write("".join(p + "\n" for p in problems))
        sys.exit(1 if problems else 0)
    path = sys.argv[2]
    lines = {"xlrd": read_xlrd, "openpyxl": read_openpyxl}.get(mode, read_gnumeric)(path)
    sys.stdout.write("".join(line + "\n" for line in lines))


if __name__ == "__main__":
    main()
