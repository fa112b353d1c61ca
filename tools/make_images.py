#!/usr/bin/env python3
"""Draws the image strips of the program's windows and the drag cursor into res/.

  rows.bmp    the list rows' marks: red, green, yellow and grey balls (0-3)
  tools.bmp   the buttons' images (see TOOLS below for what each index shows)
  sounds.bmp  0 play (a green triangle), 1 stop (a square)
  drag.cur    the mouse pointer while list rows are dragged over a list that takes them

Each strip is one 32-bit bitmap (BGRA, straight alpha, bottom-up) of 16 x 16
images side by side; the program scales it to the screen's density itself.
Only the standard library is used: python3 tools/make_images.py [outdir]
"""
import os
import struct
import sys

from make_icons import GREEN, GREEN_EDGE, RED, RED_EDGE, cross_shapes, render, tick_shapes

SIZE = 16

INK = (40, 40, 48, 255)
PAPER = (252, 252, 252, 255)
BLUE = (40, 96, 200, 255)
BLUE_DARK = (16, 48, 120, 255)
YELLOW_WOOD = (236, 188, 60, 255)
GREY = (150, 150, 156, 255)
GREY_DARK = (90, 90, 96, 255)


def ball(base):
    """A shaded sphere: lit from the upper left, a dark rim."""
    r, g, b = base

    def shade(x, y):
        dx, dy = x - 6.0, y - 5.5
        light = max(0.0, 1.0 - (dx * dx + dy * dy) / 60.0)
        mix = 0.25 + 0.75 * light
        return (min(255, round(r * mix + 255 * light * light * 0.6)),
                min(255, round(g * mix + 255 * light * light * 0.6)),
                min(255, round(b * mix + 255 * light * light * 0.6)), 255)

    dark = (r // 2, g // 2, b // 2, 255)
    return [("circle", (8, 8, 6.6), dark), ("circle", (8, 8, 5.8), shade)]


def page():
    """A sheet of paper with its upper right corner folded."""
    return [("poly", [(3, 1), (9, 1), (13, 5), (13, 15), (3, 15)], INK),
            ("poly", [(4, 2), (8.6, 2), (12, 6.4), (12, 14), (4, 14)], PAPER),
            ("poly", [(9, 1), (9, 5), (13, 5)], GREY)]


def plus(cx, cy, arm, colour, dark):
    return [("rect", (cx - arm - 1, cy - 2, cx + arm + 1, cy + 2), dark),
            ("rect", (cx - 2, cy - arm - 1, cx + 2, cy + arm + 1), dark),
            ("rect", (cx - arm, cy - 1, cx + arm, cy + 1), colour),
            ("rect", (cx - 1, cy - arm, cx + 1, cy + arm), colour)]


def folder():
    return [("poly", [(1, 4), (6, 4), (7, 5), (15, 5), (15, 14), (1, 14)], BLUE_DARK),
            ("poly", [(2, 7), (14, 7), (14, 13), (2, 13)], (120, 170, 236, 255))]


def bin_():
    return [("rect", (3, 3, 13, 5), GREY_DARK), ("rect", (6, 1, 10, 3), GREY_DARK),
            ("poly", [(4, 5), (12, 5), (11, 15), (5, 15)], GREY_DARK),
            ("poly", [(5, 6), (11, 6), (10, 14), (6, 14)], (200, 200, 206, 255)),
            ("rect", (7, 7, 9, 13), GREY),
            # a small red cross over its lower right corner
            ("line", (8.5, 8.5, 15, 15, 3.2), RED_EDGE), ("line", (15, 8.5, 8.5, 15, 3.2), RED_EDGE),
            ("line", (8.5, 8.5, 15, 15, 2.0), RED), ("line", (15, 8.5, 8.5, 15, 2.0), RED)]


def disk():
    return [("rect", (2, 2, 14, 14), BLUE_DARK), ("rect", (4, 2, 12, 7), PAPER),
            ("rect", (5, 9, 11, 14), (200, 200, 210, 255)), ("rect", (9, 3, 11, 6), BLUE_DARK)]


def magnifier():
    return [("line", (9.5, 9.5, 14, 14, 3.0), INK), ("circle", (6.5, 6.5, 5.0), INK),
            ("circle", (6.5, 6.5, 3.6), (200, 226, 250, 255))]


def pencil():
    return [("line", (3.5, 12.5, 12.5, 3.5, 4.6), INK), ("line", (4.5, 11.5, 12.0, 4.0, 3.0), YELLOW_WOOD),
            ("poly", [(1.5, 14.5), (2.5, 10.5), (5.5, 13.5)], (240, 210, 170, 255)),
            ("poly", [(1.5, 14.5), (2.0, 12.5), (3.5, 14.0)], INK),
            ("line", (11.5, 4.5, 13.5, 2.5, 3.6), (230, 120, 140, 255))]


def arrow(up):
    tip, base = (2.0, 9.0) if up else (14.0, 7.0)
    head = [(8, tip), (14, base), (2, base)]
    shaft = (5.5, base, 10.5, 14 if up else 2)
    x0, y0, x1, y1 = shaft
    return [("poly", head, BLUE_DARK), ("rect", (x0, min(y0, y1), x1, max(y0, y1)), BLUE_DARK),
            ("poly", [(8, tip + (1.6 if up else -1.6)), (12, base - (0.6 if up else -0.6)),
                      (4, base - (0.6 if up else -0.6))], BLUE),
            ("rect", (x0 + 1, min(y0, y1) + (0 if up else 1), x1 - 1, max(y0, y1) - (1 if up else 0)), BLUE)]


def window_image():
    return [("rect", (1, 2, 15, 14), INK), ("rect", (2, 3, 14, 6), BLUE), ("rect", (2, 6, 14, 13), PAPER)]


def play():
    return [("poly", [(4, 2), (14, 8), (4, 14)], GREEN_EDGE), ("poly", [(5, 4), (12, 8), (5, 12)], GREEN)]


def stop():
    return [("rect", (3, 3, 13, 13), GREY_DARK), ("rect", (4, 4, 12, 12), GREY)]


ROWS = [ball((220, 30, 30)), ball((40, 180, 50)), ball((240, 200, 20)), ball((160, 160, 166))]
TOOLS = [
    folder(),                               # 0 open
    bin_(),                                 # 1 delete
    disk(),                                 # 2 save
    page() + plus(11, 11, 4, GREEN, GREEN_EDGE),  # 3 add a new entry
    magnifier(),                            # 4 find
    pencil(),                               # 5 edit
    arrow(True),                            # 6 up
    arrow(False),                           # 7 down
    window_image(),                         # 8 a window
    tick_shapes(SIZE),                      # 9 yes: the tray's tick
    cross_shapes(SIZE),                     # 10 no: the tray's cross
]
SOUNDS = [play(), stop()]


def bmp(images):
    """A 32-bit bottom-up BMP of the images side by side."""
    pictures = [render(SIZE, shapes) for shapes in images]
    width = SIZE * len(pictures)
    rows = bytearray()
    for y in range(SIZE - 1, -1, -1):
        for pixels in pictures:
            for r, g, b, a in pixels[y * SIZE:(y + 1) * SIZE]:
                rows += bytes((b, g, r, a))
    info = struct.pack("<IiiHHIIiiII", 40, width, SIZE, 1, 32, 0, len(rows), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return header + info + bytes(rows)


# The drag pointer: the arrow with a small sheet below its tip. '#' black,
# '.' white, anything else transparent; the hot spot is the arrow's tip.
DRAG = """
.
..
.#.
.##.
.###.
.####.
.#####.
.######.
.#######.
.########.
.#####.....
.##.##.
.#..##.
..  .##.
.   .##.
     .##.
     .##.
      ..
   ..........
   .########.
   .#......#.
   .#......#.
   .#......#.
   .#......#.
   .########.
   ..........
"""


def cursor():
    n = 32
    lines = DRAG.strip("\n").split("\n")
    xor_rows, and_rows = [], []
    for y in range(n):
        line = lines[y] if y < len(lines) else ""
        xor_bits = and_bits = 0
        for x in range(n):
            c = line[x] if x < len(line) else " "
            bit = 1 << (31 - x)
            if c == ".":
                xor_bits |= bit        # white: AND 0, XOR 1
            elif c != "#":
                and_bits |= bit        # transparent: AND 1, XOR 0
        xor_rows.append(struct.pack(">I", xor_bits))
        and_rows.append(struct.pack(">I", and_bits))
    # Rows bottom-up, a black and a white palette entry.
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = header + palette + b"".join(reversed(xor_rows)) + b"".join(reversed(and_rows))
    entry = struct.pack("<BBBBHHII", n, n, 2, 0, 0, 0, len(image), 6 + 16)  # hot spot (0, 0)
    return struct.pack("<HHH", 0, 2, 1) + entry + image


def main():
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "res")
    files = {"rows.bmp": bmp(ROWS), "tools.bmp": bmp(TOOLS), "sounds.bmp": bmp(SOUNDS), "drag.cur": cursor()}
    for name, data in files.items():
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
