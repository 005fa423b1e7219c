#!/usr/bin/env python3
"""Makes the small JPEG files the decoder tests read (tests/jpeg/data).

Each picture is the same smooth pattern with a little texture (see
TestPattern in jpeg_files_test.cpp, which must stay in step), written as a
PPM or PGM and encoded with cjpeg. Run from anywhere; needs cjpeg.
"""
import os
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")

# name, width, height, cjpeg options
FILES = [
    ("grey-17x9", 17, 9, ["-grayscale"]),
    ("grey-16x16-opt", 16, 16, ["-grayscale", "-optimize"]),
    ("grey-31x23-q90", 31, 23, ["-grayscale", "-quality", "90"]),
    ("h1v1-17x9", 17, 9, ["-sample", "1x1"]),
    ("h1v1-24x16-q100", 24, 16, ["-sample", "1x1", "-quality", "100"]),
    ("h2v1-33x17", 33, 17, ["-sample", "2x1"]),
    ("h1v2-20x20", 20, 20, ["-sample", "1x2"]),
    ("h1v2-16x32-opt", 16, 32, ["-sample", "1x2", "-optimize"]),
    ("h2v2-16x16", 16, 16, ["-sample", "2x2"]),
    ("h2v2-20x20", 20, 20, ["-sample", "2x2"]),
    ("h2v2-37x29-q90", 37, 29, ["-sample", "2x2", "-quality", "90"]),
    ("h2v2-48x32-rst1", 48, 32, ["-sample", "2x2", "-restart", "1"]),
    ("h2v2-53x41-rst2b-opt", 53, 41, ["-sample", "2x2", "-restart", "2B", "-optimize"]),
    ("h1v1-40x24-rst3b", 40, 24, ["-sample", "1x1", "-restart", "3B"]),
]


def pattern(x, y, w, h):
    fx = x * 160 // max(w - 1, 1)
    fy = y * 160 // max(h - 1, 1)
    texture = 24 if (x // 3 + y // 3) % 2 else 0
    return (40 + fx, 40 + fy - texture // 2, 200 - fx + texture)


def write_picture(path, w, h, grey):
    with open(path, "wb") as f:
        f.write(b"P5\n" if grey else b"P6\n")
        f.write(b"%d %d\n255\n" % (w, h))
        for y in range(h):
            for x in range(w):
                r, g, b = pattern(x, y, w, h)
                f.write(bytes([(r + g + b) // 3]) if grey else bytes([r, g, b]))


def main():
    os.makedirs(DATA, exist_ok=True)
    with tempfile.TemporaryDirectory() as scratch:
        for name, w, h, options in FILES:
            grey = "-grayscale" in options
            source = os.path.join(scratch, name + (".pgm" if grey else ".ppm"))
            write_picture(source, w, h, grey)
            target = os.path.join(DATA, name + ".jpg")
            subprocess.run(["cjpeg", *options, "-outfile", target, source], check=True)


if __name__ == "__main__":
    main()
