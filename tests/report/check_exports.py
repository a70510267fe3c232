#!/usr/bin/python3
"""Reads exported worksheets with independent readers: xlrd for the .xls,
and for the .xlsx beside it openpyxl and gnumeric (through
tests/export/read_back.py compare), which must read what xlrd reads.

  check_exports.py GOLDEN_DIR            the hand-laid goldens decode to the
                                         cells their layouts name
  check_exports.py CAPTURE SAMPLES_DIR   every sample transcript replayed by
                                         harrow-capture (ExportFormats
                                         xls,xlsx,csv) gives worksheets whose
                                         cells match the text of the report,
                                         and an .xlsx and a .csv beside each
"""
import glob
import os
import re
import subprocess
import sys
import tempfile

failures = []
READ_BACK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "export", "read_back.py")


def check(ok, what):
    if not ok:
        failures.append(what)


def sheet(path):
    import xlrd  # only here: the results check replays through exports_of without it
    return xlrd.open_workbook(path, logfile=open(os.devnull, "w")).sheet_by_index(0)


def value(sh, r, c):
    if r >= sh.nrows or c >= sh.ncols:
        return ""
    return sh.cell_value(r, c)


def goldens(folder):
    sh = sheet(os.path.join(folder, "6120-plates.1.xls"))
    check(value(sh, 2, 6) == "Plate 1", "6120 plate title")
    check([value(sh, 3, c) for c in range(3, 11)] == list("HGFEDCBA"), "6120 letters")
    check(value(sh, 21, 10) == "2.8", "6120 plate 2 row 3")
    sh = sheet(os.path.join(folder, "6310-samples.1.xls"))
    check(value(sh, 5, 3) == "S2" and value(sh, 4, 3) == "S1", "6310 standards by number")
    check(value(sh, 4, 8) == "PC", "6310 control after sample")
    sh = sheet(os.path.join(folder, "6350-strips.1.xls"))
    check(value(sh, 4, 6) == 0.15 and value(sh, 15, 12) == 2.0, "6350 concentrations are numbers")
    sh = sheet(os.path.join(folder, "6480-lettered.2.xls"))
    check(value(sh, 14, 4) == "Strip 4" and value(sh, 17, 3) == "A", "6480 strip 4")
    check(value(sh, 3, 5) == "[RLU]", "6480 reading heading")


def exports_of(capture, sample, model, formats="xls,xlsx,csv"):
    """Replays `sample` into a fresh root; [(txt path, xls path)] per report."""
    root = tempfile.mkdtemp(prefix="harrow-check-")
    env = dict(os.environ, HOME=root, XDG_CONFIG_HOME=root + "/config", XDG_DATA_HOME=root + "/data")
    os.makedirs(root + "/config")
    with open(root + "/config/Kestrel.ini", "w") as ini:
        ini.write("[Kestrel]\r\nExportFormats=" + formats + "\r\n")
    subprocess.run([capture, "--replay", sample, "--model", model, "--root", root + "/r", "--quiet"],
                   check=True, env=env, stdout=subprocess.DEVNULL)
    texts = sorted(glob.glob(root + "/r/Text/*.txt"))
    return [(t, t.replace("/Text/", "/Excel/")[:-4] + ".xls") for t in texts]


def samples(capture, folder):
    for sample in sorted(glob.glob(os.path.join(folder, "*.txt"))):
        model = os.path.basename(sample).split("-")[0]
        files = exports_of(capture, sample, model)
        check(len(files) > 0, sample + ": nothing exported")
        for txt, xls in files:
            lines = open(txt, "rb").read().decode("latin-1").split("\r\n")[:-1]
            check(os.path.exists(xls), xls + " missing")
            check(os.path.exists(xls[:-4] + ".csv"), xls[:-4] + ".csv missing")
            done = subprocess.run(["/usr/bin/python3", READ_BACK, "compare", xls, xls + "x"],
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            check(done.returncode == 0, xls + "x: " + done.stdout.decode(errors="replace"))
            sh = sheet(xls)
            where = os.path.basename(sample) + " " + os.path.basename(xls)
            if model == "6120":
                for line in lines:
                    m = re.match(r"(\d\d)-(\d\d) ", line)
                    if m and len(line) >= 50:
                        row = int(m.group(2)) + 15 * int(m.group(1)) - 12
                        got = [value(sh, row, c) for c in range(3, 11)]
                        check(got == line[6:].split()[:8], where + ": plate line " + line)
            elif model == "6310":
                col1 = [value(sh, r, 1) for r in range(1, len(lines) + 1)]
                check(col1 == lines, where + ": column 1 holds every line")
                check(value(sh, 1, 3) == "Calibration" and value(sh, 1, 8) == "Samples", where + ": titles")
            else:
                titles = [value(sh, r, c) for r in range(sh.nrows) for c in (4, 10, 16)
                          if str(value(sh, r, c)).startswith("Strip ")]
                strips = [l for l in lines if "Strip:" in l or "Tira:" in l]
                check(len(titles) == len(strips), where + ": one title per strip")
                heading = "[RLU]" if model == "6480" else "[ABS]"
                check(value(sh, 3, 5) == heading, where + ": reading heading")


if __name__ == "__main__":
    if len(sys.argv) == 2:
        goldens(sys.argv[1])
    else:
        samples(sys.argv[1], sys.argv[2])
    for f in failures:
        print("FAILED:", f)
    print("%d failed" % len(failures))
    sys.exit(1 if failures else 0)
