#!/usr/bin/env python3
"""Makes tests/jpeg/data with cjpeg. A name says how: grey or the sampling hXvY, the size, -opt (-optimize), -qN,
-rstN, -noise (grain at quality 95: scans long enough for the fast entropy path; they also seed fuzz_jpeg)."""
import os, subprocess

NAMES = """grey-17x9 grey-16x16-opt grey-31x23-q90 h1v1-17x9 h1v1-24x16-q100 h2v1-33x17 h1v2-20x20 h1v2-16x32-opt
h2v2-16x16 h2v2-20x20 h2v2-37x29-q90 h2v2-48x32-rst1 h2v2-53x41-rst2b-opt h1v1-40x24-rst3b grey-150x110-noise
h1v2-100x90-noise h2v2-133x109-rst2b-noise""".split()
OPTIONS = {"opt": ["-optimize"], "noise": ["-quality", "95"], "q": ["-quality"], "r": ["-restart"]}

for name in NAMES:
    mode, size, *rest = name.split("-")
    w, h = map(int, size.split("x"))
    options = ["-grayscale"] if mode == "grey" else ["-sample", mode[1] + "x" + mode[3]]
    for token in rest:
        options += OPTIONS.get(token) or OPTIONS[token[0]] + [token.lstrip("qrst").upper()]
    picture = b"%s\n%d %d\n255\n" % (b"P5" if mode == "grey" else b"P6", w, h)
    for y in range(h):
        for x in range(w):  # a smooth pattern with a little texture
            fx, fy, texture = x * 160 // max(w - 1, 1), y * 160 // max(h - 1, 1), 24 * ((x // 3 + y // 3) % 2)
            rgb = [40 + fx, 40 + fy - texture // 2, 200 - fx + texture]
            if "noise" in rest:
                rgb = [min(255, max(0, v + ((x * 7919 + y * 104729 + c * 31) * 2654435761 >> 11) % 61 - 30))
                       for c, v in enumerate(rgb)]
            picture += bytes([sum(rgb) // 3] if mode == "grey" else rgb)
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data", name + ".jpg")
    subprocess.run(["cjpeg", *options, "-outfile", target], input=picture, check=True)
