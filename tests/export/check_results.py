#!/usr/bin/python3
"""Checks the results files (ExportFormats results) that harrow-capture
writes, against the report text it saved beside them, read here on its own:

  check_results.py CAPTURE SAMPLES_DIR

Every sample transcript, and generated streams of every model in English
and Spanish, must give per report a Results/NAME.csv that Python's csv
module parses, with the header exactly, one row per well, sample,
calibrator or control, and the value and result of each row as its line of
the .txt prints them. A stream printed in English and in Spanish must give
the same rows apart from the texts printed in the language (test,
printed_date, interpretation) and the export's name and time.
"""
import csv
import glob
import os
import random
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "report"))
from check_exports import exports_of  # noqa: E402  (the same replay into a fresh root)

HEADER = ["report", "model", "test", "printed_date", "exported_at", "plate", "strip", "position",
          "sample_id", "kind", "measure", "value", "result", "result_unit", "interpretation", "flag"]
NUMBER = re.compile(r"^-?\d+(\.\d+)?$")
failures = []
checked = {"reports": 0, "rows": 0}


def check(ok, what):
    if not ok:
        failures.append(what)


def export(capture, stream_path, model):
    """Replays the stream; [(txt path, results csv path)] per report."""
    files = exports_of(capture, stream_path, model, "xls,results")
    return [(t, os.path.dirname(os.path.dirname(t)) + "/Results/" + os.path.basename(t)[:-4] + ".csv")
            for t, _ in files]


def printed_rows(model, lines):
    """What the report's lines print, as (position, value, result, flag, kind) and plate/strip."""
    rows = []
    strip = None
    for line in lines:
        t = line.split()
        if model == "6120":
            m = re.match(r"(\d\d)-(\d\d)  ", line)
            if m and len(line) >= 50 and len(t) >= 9 and int(m.group(1)) > 0:
                for letter, value in zip("HGFEDCBA", t[1:9]):
                    rows.append(dict(plate=str(int(m.group(1))), position=letter + m.group(2), value=value,
                                     result="", flag="", kind="sample"))
        elif model == "6310":
            if len(t) < 2 or not NUMBER.match(t[1]):
                continue
            if t[0] == "B" and len(t) == 2:
                kind = "blank"
            elif len(t) == 3 and "S" in t[0] and NUMBER.match(t[2]):
                kind = "calibrator"
            elif len(t) >= 3 and t[0].isdigit() and NUMBER.match(t[2]):
                kind = "sample"
            elif len(t) >= 3 and "C" in t[0] and NUMBER.match(t[2]):
                kind = "control"
            else:
                continue
            rows.append(dict(position=t[0], value=t[1], result=t[2] if len(t) > 2 else "", flag="", kind=kind))
        else:
            if "Strip:" in line or "Tira:" in line:
                strip = line.split(":", 1)[1].strip()
                continue
            if strip is None or len(t) < 2 or not re.match(r"^(\d+|[A-H])$", t[0]):
                continue
            has_id = len(t) > 2
            value = t[2] if has_id else t[1]
            if not NUMBER.match(value):
                continue
            result = t[3] if len(t) > 3 else ""
            flag = "no_result" if result == "**" else ""
            sample_id = t[1] if has_id else ""
            rows.append(dict(strip=strip, position=t[0], sample_id=sample_id, value=value,
                             result="" if flag else result, flag=flag,
                             kind="control" if sample_id in ("NC", "PC") else "sample"))
    return rows


def read_results(path):
    data = open(path, "rb").read()
    check(not data.startswith(b"\xef\xbb\xbf"), path + ": starts with a byte-order mark")
    check(data.endswith(b"\r\n") and b"\n" not in data.replace(b"\r\n", b""), path + ": lines not ended by CR LF")
    with open(path, newline="", encoding="utf-8") as f:
        table = list(csv.reader(f))
    check(table[0] == HEADER, path + ": header " + repr(table[0]))
    return [dict(zip(HEADER, r)) for r in table[1:]]


def check_report(model, txt, results, where):
    check(os.path.exists(results), where + ": " + results + " missing")
    if not os.path.exists(results):
        return []
    lines = open(txt, "rb").read().decode("latin-1").split("\r\n")[:-1]
    got = read_results(results)
    want = printed_rows(model, lines)
    checked["reports"] += 1
    checked["rows"] += len(want)
    check(len(got) == len(want), "%s: %d rows, the report prints %d" % (where, len(got), len(want)))
    base = os.path.basename(results)[:-4]
    heading = next((l for l in lines if re.match(r"^\d{1,3}\)", l)), "")
    dates = [l for l in lines if l.startswith("Date:") or l.startswith("Fecha:")]
    for g, w in zip(got, want):
        check(g["report"] == base and g["model"] == model, where + ": report or model " + repr(g))
        check(g["test"] == heading.split(")", 1)[1].strip(), where + ": test " + g["test"])
        if dates:
            d = dates[0].split()
            check(g["printed_date"] == d[1] + " " + d[3], where + ": printed_date " + g["printed_date"])
        check(re.match(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$", g["exported_at"]) is not None,
              where + ": exported_at " + g["exported_at"])
        for key, value in w.items():
            check(g[key] == value, "%s: %s is %r, the report prints %r (%r)" % (where, key, g[key], value, w))
    return got


# Generated streams: the same readings printed in English and in Spanish.
WORDS = {
    "en": dict(date="Date: %s   Time: %s", plate="Plate", strip="Strip:", carrier="Carrier Position:",
               format="Strip Format:", end="Test Ended", run="End of Run", cal="Calibration",
               samples="Samples", mode="Endpoint", quant="Quantitative", qual="Qualitative",
               interp={"POS": "POS", "NEG": "NEG", "EQV": "EQV", "HIGH": "HIGH", "NORMAL": "NORMAL", "OK": "OK"}),
    "es": dict(date="Fecha: %s   Hora: %s", plate="Placa", strip="Tira:", carrier="Portador de Posicion:",
               format="Franja de Formato:", end="Prueba Finalizo", run="Final de Ejecucion", cal="Calibracion",
               samples="Muestras", mode="Punto Final", quant="Cuantitativo", qual="Cualitativo",
               interp={"POS": "POSITIVO", "NEG": "NEGATIVO", "EQV": "INDETERMINADO", "HIGH": "ALTO",
                       "NORMAL": "NORMAL", "OK": "OK"}),
}


def generate(model, draw):
    """Two reports of `model` from the random draw number `draw`, as {language: lines}."""
    rnd = random.Random(draw)
    reports = []
    for n in (1, 2):
        r = dict(n=n, day="%02d/%02d/2024" % (rnd.randint(1, 28), rnd.randint(1, 12)),
                 time="%02d:%02d:%02d" % (rnd.randint(0, 23), rnd.randint(0, 59), rnd.randint(0, 59)))
        if model == "6120":
            r["plates"] = [[[rnd.choice(["%.3f" % rnd.uniform(0.03, 3.2)] * 20 + ["OVER", "-0.002"])
                             for _ in range(8)] for _ in range(12)] for _ in range(rnd.randint(1, 3))]
        elif model == "6310":
            r["standards"] = [("S%d" % i, "%.3f" % (0.05 * i * i), "%.2f" % (2.5 * i)) for i in range(1, 6)]
            r["samples"] = [(str(i) if rnd.random() > 0.15 else "C%d" % i, "%.3f" % rnd.uniform(0.05, 2.3),
                             "%.2f" % rnd.uniform(0, 25), rnd.choice(["HIGH", "NORMAL", "OK", ""]))
                            for i in range(1, rnd.randint(3, 30))]
        else:
            r["wells"] = 12 if rnd.random() < 0.5 else 8
            reading = (lambda: "%d" % rnd.randint(500, 90000)) if model == "6480" else (
                lambda: "%.3f" % rnd.uniform(0.03, 2.8))
            r["strips"] = [[(w, rnd.choice(["NC", "PC", "P%02d%02d" % (s, w), "P%02d%02d" % (s, w), ""]), reading(),
                             rnd.choice(["%.2f" % rnd.uniform(0, 8)] * 8 + ["**"]), rnd.choice(["POS", "NEG", "EQV"]))
                            for w in range(1, r["wells"] + 1)] for s in range(1, rnd.randint(2, 5))]
        reports.append(r)
    out = {}
    for lang, W in WORDS.items():
        lines = []
        for r in reports:
            if model == "6120":
                lines += ["%d) %s  HBsAg" % (r["n"], W["mode"]), W["date"] % (r["day"], r["time"]), ""]
                for p, plate in enumerate(r["plates"], 1):
                    lines += ["%s %d" % (W["plate"], p), "       H      G      F      E      D      C      B      A"]
                    for c, values in enumerate(plate, 1):
                        lines.append("%02d-%02d  " % (p, c) + "  ".join("%-5s" % v for v in values))
                    lines.append("")
                lines.append(W["end"])
            elif model == "6310":
                lines += ["%d) %s  TSH" % (r["n"], W["quant"]), W["date"] % (r["day"], r["time"]), "",
                          W["cal"], "S#      ABS     uIU/mL    Fit", "B       0.048"]
                lines += ["%-8s%s%11s" % s for s in r["standards"]]
                lines += ["", W["samples"], "S#      ABS     uIU/mL    Interp"]
                lines += [("%-8s%s%10s   %s" % (s[0], s[1], s[2], W["interp"][s[3]] if s[3] else "")).rstrip()
                          for s in r["samples"]]
                lines += ["", "End of Test" if lang == "en" else "Final de Prueba"]
            else:
                measure, unit = ("RLU", "ng/mL") if model == "6480" else ("ABS", "S/CO")
                lines += ["%d) %s  Anti-HAV IgM" % (r["n"], W["qual"]), W["date"] % (r["day"], r["time"]),
                          "%s %d Wells" % (W["format"], r["wells"]),
                          "W   ID        %s    %s    Interp" % (measure, unit), "Cutoff: 0.350"]
                for s, strip in enumerate(r["strips"], 1):
                    lines += ["%s %d" % (W["strip"], s), "%s %d" % (W["carrier"], s)]
                    for w, sid, value, result, interp in strip:
                        well = str(w) if r["wells"] == 12 else "ABCDEFGH"[w - 1]
                        if not sid:
                            lines.append("%-4s%-11s%s" % (well, "", value))
                        elif result == "**":
                            lines.append("%-4s%-10s%10s    **        " % (well, sid, value))
                        else:
                            lines.append("%-4s%-10s%10s%10s    %s" % (well, sid, value, result, W["interp"][interp]))
                    lines.append("")
                lines += [W["run"], W["end"]]
        out[lang] = lines
    return out


def run(capture, samples):
    for sample in sorted(glob.glob(os.path.join(samples, "*.txt"))):
        model = os.path.basename(sample).split("-")[0]
        files = export(capture, sample, model)
        check(len(files) > 0, sample + ": nothing exported")
        for txt, results in files:
            check_report(model, txt, results, os.path.basename(sample) + " " + os.path.basename(results))
    folder = tempfile.mkdtemp(prefix="harrow-streams-")
    for model in ("6120", "6310", "6350", "6480"):
        for draw in range(3):
            by_language = {}
            for lang, lines in generate(model, draw * 7919 + int(model)).items():
                path = os.path.join(folder, "%s-%d-%s.txt" % (model, draw, lang))
                open(path, "wb").write(("\r\n".join(lines) + "\r\n").encode("ascii"))
                rows = []
                for txt, results in export(capture, path, model):
                    rows += check_report(model, txt, results, os.path.basename(path))
                check(len(rows) > 0, path + ": no rows")
                by_language[lang] = rows
            same = [k for k in HEADER if k not in ("report", "exported_at", "test", "printed_date", "interpretation")]
            en = [[r[k] for k in same] for r in by_language["en"]]
            es = [[r[k] for k in same] for r in by_language["es"]]
            check(en == es, "%s draw %d: English and Spanish rows differ" % (model, draw))


run(sys.argv[1], sys.argv[2])
for f in failures[:40]:
    print("FAILED:", f)
print("%d reports, %d rows checked; %d failed" % (checked["reports"], checked["rows"], len(failures)))
sys.exit(1 if failures else 0)
