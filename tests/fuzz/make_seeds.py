#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets' corpora (deterministic).

The request fuzzer reads its input as a stream of choices, so seeds are byte
strings of a few lengths: all zeros (the first choice everywhere), all ones,
and pseudo-random ones that run to many requests each.
"""
import os
import random

here = os.path.dirname(os.path.abspath(__file__))


def write(folder, name, data):
    path = os.path.join(here, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


def main():
    rng = random.Random(20240601)
    write("requests", "zeros-256", bytes(256))
    write("requests", "ones-256", b"\xff" * 256)
    for length in (64, 700, 2000, 4000):
        write("requests", "random-%d" % length, bytes(rng.getrandbits(8) for _ in range(length)))
    # Mostly small bytes: short counts, named styles, few injected failures.
    write("requests", "small-3000", bytes(rng.randrange(0, 24) for _ in range(3000)))


if __name__ == "__main__":
    main()
