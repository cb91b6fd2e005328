#!/usr/bin/env python3
"""Turns the host benchmark's callgrind dumps into instruction figures.

Each dump holds the counts of one case (a request kind at one size, repeated a
few times). Every function's own instructions are sorted by the file that
defines it: the library (src/), the no-op platform, the benchmark's own code,
and anything else (C library). The library's figure per request is then fitted
against the size of the work, giving instructions per unit of work (point,
segment, row, character) and the fixed cost of a request around its loops.

    callgrind_report.py OUT_PREFIX
"""
import glob
import re
import sys

CATEGORIES = ("library", "platform", "harness", "other")
# How a dump names the client request that made it: the case's name follows.
TRIGGER = "desc: Trigger: Client Request: "


def category(path):
    if path.endswith("noop_platform.cpp"):
        return "platform"
    if "/tools/bench/" in path:
        return "harness"
    if "/src/" in path:
        return "library"
    return "other"


def self_costs(path):
    """Case name and the self instruction counts per category of one dump."""
    names = {"fl": {}, "fn": {}}
    name = None
    totals = dict.fromkeys(CATEGORIES, 0)
    function_file = ""
    skip_next = False
    with open(path) as dump:
        for line in dump:
            line = line.rstrip("\n")
            if line.startswith(TRIGGER):
                name = line[len(TRIGGER):]
                continue
            match = re.match(r"^(fl|fi|fe|fn|cfl|cfi|cfn|ob|cob)=(?:\((\d+)\))?\s*(.*)$", line)
            if match:
                key, number, text = match.groups()
                table = "fn" if key in ("fn", "cfn") else "fl"
                if number is not None and text:
                    names[table][number] = text
                value = names[table].get(number, text) if number is not None else text
                if key == "fl":
                    function_file = value
                continue
            if line.startswith("calls="):
                skip_next = True  # the next line is the call's inclusive cost
                continue
            if not line or not (line[0].isdigit() or line[0] in "+-*"):
                continue
            if skip_next:
                skip_next = False
                continue
            fields = line.split()
            if len(fields) >= 2:
                totals[category(function_file)] += int(fields[1])
    return name, totals


def fit(points):
    """Least-squares line through (size, instructions): (fixed, per unit)."""
    if len(points) == 1:
        return points[0][1], 0.0
    n = len(points)
    mean_x = sum(x for x, _ in points) / n
    mean_y = sum(y for _, y in points) / n
    sxx = sum((x - mean_x) ** 2 for x, _ in points)
    slope = sum((x - mean_x) * (y - mean_y) for x, y in points) / sxx
    return mean_y - slope * mean_x, slope


UNITS = {"polygon": "point", "polyline": "point", "scan": "segment", "raster": "row", "text": "character",
         "rectangle": "-"}
# Targets: library instructions per request outside the loops (a scan bracket is
# six export calls), and per unit of work.
FIXED_TARGETS = {"rectangle": 200, "polygon": 200, "polyline": 200, "raster": 200, "text": 200, "scan": 600}
UNIT_TARGETS = {"polygon": 3, "polyline": 3, "text": 50}
# What keeps a kind above its target, printed when it is.
IN_THE_WAY = {
    "polygon": "the call into the point-buffer emitter, kept out of line so that its 8 KiB frame "
               "(and the 32-bit image's stack probe) stays off every other request",
    "polyline": "as for polygons",
    "raster": "18 GDI and KERNEL32 calls with 44 arguments, 13 arguments read through pointers, "
              "and the checked row arithmetic",
}
# Fitted separately: the inline point buffer up to 1024 points, a global block beyond.
REGIMES = {"polygon": [(0, 1024), (1025, 1 << 30)], "polyline": [(0, 1024), (1025, 1 << 30)]}


def main():
    prefix = sys.argv[1]
    cases = []
    for path in sorted(glob.glob(prefix + ".*"), key=lambda p: int(p.rsplit(".", 1)[1])):
        name, totals = self_costs(path)
        if not name or not name.startswith("case:"):
            continue
        _, kind, size, repetitions = name.split(":")
        per_request = {c: totals[c] / int(repetitions) for c in CATEGORIES}
        cases.append((kind, int(size), per_request))

    print("Instructions per request on the no-op platform (callgrind, x86-64 host, DLL flags)")
    print()
    print("| request | size | library | no-op platform | C library |")
    print("|---|---:|---:|---:|---:|")
    for kind, size, cost in cases:
        print("| %s | %d | %.0f | %.0f | %.0f |" % (kind, size, cost["library"], cost["platform"], cost["other"]))
    print()
    print("Library instructions fitted against the work (library + C library calls it makes):")
    print()
    print("| request | sizes | fixed per request | per unit | unit |")
    print("|---|---|---:|---:|---|")
    kinds = []
    fits = []
    for kind, _, _ in cases:
        if kind not in kinds:
            kinds.append(kind)
    for kind in kinds:
        for low, high in REGIMES.get(kind, [(0, 1 << 30)]):
            points = [(size, cost["library"] + cost["other"]) for k, size, cost in cases
                      if k == kind and low <= size <= high]
            if not points:
                continue
            fixed, slope = fit(points)
            sizes = ", ".join(str(size) for size, _ in points)
            print("| %s | %s | %.0f | %.2f | %s |" % (kind, sizes, fixed, slope, UNITS.get(kind, "?")))
            fits.append((kind, sizes, fixed, slope))
    print_targets(fits)


def print_targets(fits):
    print()
    print("Targets (library instructions):")
    print()
    print("| request | sizes | fixed part | target | per unit | target | met |")
    print("|---|---|---:|---:|---:|---:|---|")
    unmet = []
    for kind, sizes, fixed, slope in fits:
        fixed_target = FIXED_TARGETS.get(kind)
        unit_target = UNIT_TARGETS.get(kind)
        met = (fixed_target is None or round(fixed) <= fixed_target) and (unit_target is None or slope <= unit_target)
        print("| %s | %s | %.0f | %s | %.2f | %s | %s |" % (
            kind, sizes, fixed, fixed_target if fixed_target is not None else "-", slope,
            unit_target if unit_target is not None else "-", "yes" if met else "no"))
        if not met and kind not in unmet:
            unmet.append(kind)
    for kind in unmet:
        print()
        print("%s: above target; in the way: %s." % (kind, IN_THE_WAY.get(kind, "not analysed")))


if __name__ == "__main__":
    main()
