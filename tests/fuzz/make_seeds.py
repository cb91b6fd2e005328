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

    jobs = {
        "basic": "page size=800,600\nclip 0,0,400,300   ; trailing comment\noutput rectangle 10,20 110,220\n"
                 "text 5,6 \"Hi\"\nclose\n",
        "settings": "pen a style=PS_DASH width=2 color=black\npen b style=insideframe\n"
                    "brush h style=hatched hatch=diagcross color=blue\nbrush n style=BS_HOLLOW\n"
                    "font f height=-24 weight=bold charset=shiftjis angle=900 face=\"DejaVu Serif\"\npage\n"
                    "output polyline 0,0 5,5 geom=PS_ENDCAP_FLAT|PS_JOIN_MITER|dash\n"
                    "use brush h\noutput rectangle 0,0 1,1 pen=b brush=none mode=none\n",
        "shapes": "page\noutput altpolypolygon 0,0 10,0 10,10 | 20,20 30,20 30,30 20,30 | 1,1 2,2 3,1\n"
                  "output windpolygon star:400,300,200,80,700\noutput polyline arc:100,100,50,50,0,180,19\n"
                  "output polyline wave:0,50,100,10,50,11\noutput bezier 0,0 1,1 2,2 3,3 4,4 5,5 6,6 count=7\n"
                  "output polyline 0,0 1,1 2,2 count=1\noutput altpolygon 0,0 1,1 count=0\n",
        "scan": "brush b color=red\npage\noutput beginscan brush=b\noutput scanlines 0,10 5,50 60,90\n"
                "output endscan\noutput beginscan brush=b\noutput endscan release=manual\ndelete pen\n"
                "delete brush\ndelete pattern\noutput beginscan brush=b scan=1\noutput endscan release=manual\n"
                "delete scan\n",
        "raster": "bitmap m mono 3x2\n101\n010\nend\npage\nraster 10,20 30,40 m\nraster 10,20 30,40 none\n"
                  "raster 1,2 3,4 m src=1,0,2,1 rop=srcand\ndib 5,6 7,8 m rop=0x00330008\n",
        "text": "font f charset=shiftjis\npage\ntext 10,10 \"a\\x82\\xa0b\" options=opaque rect=0,0,50,20\n"
                "text 0,0 \"xyz\" advances=10,0,12 expect=0\n",
    }
    for name, text in jobs.items():
        write("jobs", name, text.encode())
    pbm = b"P1\n3 2\n1 0 1\n0 1 0\n"
    ppm = b"P3\n2 1\n255\n255 0 0 0 0 255\n"
    bmp_pixels = bytes([0, 0, 255, 0, 255, 0]) + bytes(2)  # one row of two 24-bit pixels, padded
    bmp = (b"BM" + (54 + len(bmp_pixels)).to_bytes(4, "little") + bytes(4) + (54).to_bytes(4, "little") +
           (40).to_bytes(4, "little") + (2).to_bytes(4, "little") + (1).to_bytes(4, "little") +
           (1).to_bytes(2, "little") + (24).to_bytes(2, "little") + bytes(24) + bmp_pixels)
    for name, image in (("pbm", pbm), ("ppm", ppm), ("bmp", bmp)):
        text = "bitmap p file=tile.img\npage\nraster 0,0 8,8 p\ndib 0,0 8,8 p\n"
        write("jobs", "image-" + name, text.encode() + b"\0" + image)
    # The capture fuzzer: long inputs, so that a short run fills the disk and
    # slides the window.
    capture = random.Random(20261209)
    for seed in range(4):
        write("capture", "long-%d" % seed, bytes(capture.getrandbits(8) for _ in range(4096)))


if __name__ == "__main__":
    main()
