#!/usr/bin/env python3
"""Counts the shipped image's point-widening loop from its own disassembly.

The 32-bit DLL has no vector unit to use, so its widening cost is the plain
loop that sign-extends each 16-bit coordinate (movsw) and stores it. The loop
is found as the backward branch whose body holds the most sign-extending
16-bit loads; two of them make one point.

    widening_loop.py QUILLREC.dll [--objdump i686-w64-mingw32-objdump]
"""
import argparse
import re
import subprocess
import sys

LINE = re.compile(r"^\s*([0-9a-f]+):\s+(?:[0-9a-f]{2} )+\s*(\S+)\s*(.*)$")
BRANCH = re.compile(r"^j(?!mp)\w+$")


def instructions(path, objdump):
    text = subprocess.run([objdump, "-d", path],
                          capture_output=True, text=True, check=True).stdout
    found = []
    for line in text.splitlines():
        match = LINE.match(line)
        if match:
            found.append((int(match.group(1), 16), match.group(2), match.group(3)))
    return found


def widest_loop(code):
    """(instructions per turn, points per turn) of the loop with the most movsw.

    Only tight loops count: a load and a store per coordinate and a few
    instructions of loop control, not a long backward jump across a procedure."""
    best = None
    for index, (address, mnemonic, operands) in enumerate(code):
        if not BRANCH.match(mnemonic):
            continue
        target = re.match(r"(?:0x)?([0-9a-f]+)", operands)
        if not target or int(target.group(1), 16) >= address:
            continue
        start = int(target.group(1), 16)
        body = [entry for entry in code[:index + 1] if entry[0] >= start]
        loads = sum(1 for _, m, _ in body if m.startswith("movsw"))
        if loads and len(body) <= 2 * loads + 8 and (best is None or loads > best[1] * 2):
            best = (len(body), loads // 2)
    return best


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("image")
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    arguments = parser.parse_args()
    loop = widest_loop(instructions(arguments.image, arguments.objdump))
    if loop is None:
        print("widening loop of %s: not found" % arguments.image)
        return 1
    count, points = loop
    print("i486 widening loop (%s, disassembled): %d instructions per %d points, %.2f per point "
          "(target 4; floor 4 plus the loop's own add, add, compare and branch per turn)"
          % (arguments.image, count, points, count / points))
    return 0


if __name__ == "__main__":
    sys.exit(main())
