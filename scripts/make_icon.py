#!/usr/bin/env python3
"""Draws the program's icon, a framed landscape (sky, sun, snowy peak, green
hills), as one 32 x 32 image in the 16 standard colours, and writes it as a
Windows .ico file (default: resources/kestrova.ico).

Usage: scripts/make_icon.py [OUT.ico]
"""
import math
import os
import struct
import sys

SIZE = 32

# The 16 colours every Windows display has, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_RED, DARK_GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER, GREY, RED, \
    GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(16)

CLEAR = None  # a pixel that lets the desktop show through


def draw():
    """Returns rows top to bottom, each a list of palette indexes or CLEAR."""
    pixels = [[CLEAR] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            pixels[y][x] = scene(x, y)
    return pixels


def scene(x, y):
    # Rounded frame: clear corners, an olive wooden border, a black inner line.
    corner = min(x, SIZE - 1 - x) + min(y, SIZE - 1 - y)
    if corner < 2:
        return CLEAR
    edge = min(x, y, SIZE - 1 - x, SIZE - 1 - y)
    if edge == 0:
        return BLACK
    if edge <= 2:
        return OLIVE if (x + y) % 5 else DARK_RED
    if edge == 3:
        return BLACK

    # Green hills in front.
    hill = 24 + 2.5 * math.sin((x - 4) / 4.0)
    if y >= hill:
        return GREEN if y < hill + 1.5 else DARK_GREEN

    # A mountain with a snowy peak.
    peak_x, peak_y = 12, 11
    slope = abs(x - peak_x)
    if y >= peak_y + slope:
        if y < peak_y + 3 and slope <= y - peak_y:
            return WHITE
        return GREY if x < peak_x + 2 else SILVER

    # The sun, with a darker rim.
    distance = math.hypot(x - 22.5, y - 9.5)
    if distance <= 3.2:
        return YELLOW
    if distance <= 4.0:
        return OLIVE if distance > 3.8 else YELLOW

    # A small cloud.
    if 16 <= y <= 17 and 4 <= x <= 9 or y == 15 and 5 <= x <= 7:
        return WHITE

    return CYAN if y > 14 else BLUE


def ico_bytes(pixels):
    """One image: 4 bits per pixel, its palette, the colour rows and the
    transparency mask, both bottom-up as Windows stores them."""
    colour_rows = []
    mask_rows = []
    for row in reversed(pixels):
        nibbles = [0 if p is CLEAR else p for p in row]
        colour_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2)))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is CLEAR else 0)
        mask_rows.append(struct.pack(">I", bits))  # 32 pixels: exactly one 4-byte row
    colours = b"".join(colour_rows)
    mask = b"".join(mask_rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(colours) + len(mask), 0, 0, 16, 0)
    image = header + palette + colours + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.normpath(os.path.join(here, "..", "resources", "kestrova.ico"))
    data = ico_bytes(draw())
    with open(out, "wb") as f:
        f.write(data)
    print("%s: %d bytes" % (out, len(data)))


if __name__ == "__main__":
    main()
