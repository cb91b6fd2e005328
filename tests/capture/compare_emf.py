#!/usr/bin/env python3
"""Compares spool files record by record: compare_emf.py A.emf B.emf [A2 B2 ...].

Masks only what GDI writes differently from run to run under Wine: in a font
record (EMR_EXTCREATEFONTINDIRECTW) the bytes after the face name's
terminating NUL, to the end of the record (the rest of the face buffer, the
full name, the style and the extended fields after them), which Wine leaves
undefined; `quillrec_driver --compare` masks the same. Exits 1 with the first
difference of each pair, else 0.
"""
import struct
import sys

EMR_EXTCREATEFONTINDIRECTW = 82
FACE_START = 12 + 28  # record header and ihFont, then LOGFONTW up to lfFaceName
FACE_END = FACE_START + 64


def records(path):
    data = open(path, 'rb').read()
    at = 0
    while at + 8 <= len(data):
        kind, size = struct.unpack_from('<II', data, at)
        if size < 8 or at + size > len(data):
            raise ValueError(f'{path}: broken record at offset {at}')
        yield kind, bytearray(data[at:at + size])
        at += size
        if kind == 14:  # EMR_EOF
            break


def masked(kind, body):
    if kind == EMR_EXTCREATEFONTINDIRECTW and len(body) >= FACE_END:
        face = body[FACE_START:FACE_END]
        end = next((i for i in range(0, 64, 2) if face[i:i + 2] == b'\0\0'), 64)
        for i in range(FACE_START + end, len(body)):
            body[i] = 0
    return body


def compare(a, b):
    ra, rb = list(records(a)), list(records(b))
    for index, (x, y) in enumerate(zip(ra, rb)):
        if x[0] != y[0] or masked(*x) != masked(*y):
            return f'{a} vs {b}: record {index} differs (type {x[0]} size {len(x[1])} / type {y[0]} size {len(y[1])})'
    if len(ra) != len(rb):
        return f'{a} vs {b}: {len(ra)} records against {len(rb)}'
    return None


def main(paths):
    if len(paths) < 2 or len(paths) % 2:
        sys.exit(__doc__)
    problems = [p for p in (compare(paths[i], paths[i + 1]) for i in range(0, len(paths), 2)) if p]
    for problem in problems:
        print(problem)
    print(f'{len(paths) // 2} spool file pairs compared, {len(problems)} differ')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
