#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_journalreader into tests/fuzz/corpus-journal/.

Each seed is one fuzzer input: a first byte setting the longest line the
reader takes (16 * (1 + byte) bytes), then the file.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus-journal")
HEADER = "Serial number,unconnected,Numeric value,Per unit,time,iso_time,value\r\n"


def row(n, function, shown, unit, second, value=None, iso=True):
    plain = shown.lstrip("0") if value is None else value
    iso_time = "2026-12-07T09:47:%02d.412+01:00" % second if iso else ""
    return "%d,%s,%s,%s,2026/12/07 09:47:%02d,%s,%s\r\n" % (
        n, function, shown, unit, second, iso_time, plain)


SEEDS = {
    "window-journal": HEADER + row(1, "DC", "3.446", "V", 1) + row(2, "DC", "-0.512", "V", 2, "-0.512")
    + row(3, "Resistance", "4.68", "kΩ", 3) + row(4, "Resistance", "2.19", "MΩ", 4)
    + row(5, "Resistance", "0.L", "MΩ", 5, ""),
    "recorder-gaps-limits": HEADER + row(1, "DC", "1.234", "V", 1)
    + "# limit: 2026-12-07T09:47:01+01:00 high 1.234 V\r\n"
    + "# gap: 2026-12-07T09:47:02+01:00 the meter fell silent\r\n"
    + row(2, "NCV", "EF", "", 3, "") + row(3, "AC", "230.1", "V", 4),
    "quoted-cells": HEADER + '1,"D,""C""\r\nx",3.4,V,x,2026-12-07T08:47:28Z,"3.4"\r\n',
    "table-time-only": "\ufeff" + HEADER + row(1, "DC", "1.000", "V", 1, iso=False),
    "cut-short": HEADER + row(1, "DC", "1.000", "V", 1) + row(2, "DC", "1.001", "V", 2)[:30],
    "bad-time": HEADER + row(1, "DC", "1.000", "V", 1).replace("12-07T", "13-07T"),
}

os.makedirs(OUT, exist_ok=True)
for name, text in SEEDS.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(bytes([6]) + text.encode("utf-8"))
