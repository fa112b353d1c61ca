#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files into res/.

  blocking.ico  tray icon 0 (blocking on): a small window crossed out in red
  off.ico       tray icon 1 (blocking off): the same window under a green tick
  ondrel.ico    the program file's icon: the blocking picture, also at 48x48

Every image is 32-bit BGRA with an AND mask. The window frame is laid on
whole pixels so that it stays crisp at 16x16; the cross and the tick are
smooth strokes, supersampled. Only the standard library is used, so the
icons can be rebuilt anywhere: python3 tools/make_icons.py [outdir]
"""
import math
import os
import struct
import sys

SUPERSAMPLE = 4

BORDER = (64, 64, 72, 255)
TITLE = (32, 88, 200, 255)
TITLE_LIGHT = (96, 148, 236, 255)
CLIENT = (246, 246, 246, 255)
BUTTON = (230, 230, 230, 255)
RED = (224, 24, 24, 255)
RED_EDGE = (120, 0, 0, 255)
GREEN = (36, 178, 36, 255)
GREEN_EDGE = (0, 90, 0, 255)


def window_shapes(n):
    """The application window as pixel rectangles (x0, y0, x1, y1 exclusive)."""
    m = max(1, n // 16)           # margin and border width grow with the size
    top = 2 * m
    left, right, bottom = m, n - m, n - 2 * m
    title_h = max(3, (n * 3) // 16)
    shapes = [
        ("rect", (left, top, right, bottom), BORDER),
        ("rect", (left + m, top + m, right - m, top + m + title_h), TITLE),
        ("rect", (left + m, top + m + title_h, right - m, bottom - m), CLIENT),
    ]
    if n >= 32:
        # a highlight along the title bar and a close box at its right end
        shapes.append(("rect", (left + m, top + m, right - m, top + m + m), TITLE_LIGHT))
        b = title_h - 2 * m
        bx = right - m - m - b
        shapes.append(("rect", (bx, top + 2 * m, bx + b, top + 2 * m + b), BUTTON))
    return shapes


def cross_shapes(n):
    a, b = 0.16 * n, 0.84 * n
    w = 0.13 * n
    edge = w + max(1.0, n / 20.0)
    return [
        ("line", (a, a, b, b, edge), RED_EDGE),
        ("line", (b, a, a, b, edge), RED_EDGE),
        ("line", (a, a, b, b, w), RED),
        ("line", (b, a, a, b, w), RED),
    ]


def tick_shapes(n):
    p0 = (0.14 * n, 0.56 * n)
    p1 = (0.40 * n, 0.82 * n)
    p2 = (0.88 * n, 0.16 * n)
    w = 0.15 * n
    edge = w + max(1.0, n / 20.0)
    return [
        ("line", p0 + p1 + (edge,), GREEN_EDGE),
        ("line", p1 + p2 + (edge,), GREEN_EDGE),
        ("line", p0 + p1 + (w,), GREEN),
        ("line", p1 + p2 + (w,), GREEN),
    ]


def inside(shape, x, y):
    kind, geo, _ = shape
    if kind == "rect":
        x0, y0, x1, y1 = geo
        return x0 <= x < x1 and y0 <= y < y1
    if kind == "circle":
        cx, cy, r = geo
        return math.hypot(x - cx, y - cy) <= r
    if kind == "poly":
        # even-odd rule over the polygon's edges
        hit = False
        for (ax, ay), (bx, by) in zip(geo, geo[1:] + geo[:1]):
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                hit = not hit
        return hit
    ax, ay, bx, by, width = geo
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = min(1.0, max(0.0, t))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= width / 2


def render(n, shapes):
    """Returns n*n (r, g, b, a) pixels, top row first."""
    pixels = []
    samples = SUPERSAMPLE * SUPERSAMPLE
    for py in range(n):
        for px in range(n):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied sums
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = px + (sx + 0.5) / SUPERSAMPLE
                    y = py + (sy + 0.5) / SUPERSAMPLE
                    colour = None
                    for shape in shapes:  # painter's order: the last hit wins
                        if inside(shape, x, y):
                            colour = shape[2]
                    if callable(colour):  # a shaded shape gives its colour per point
                        colour = colour(x, y)
                    if colour:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 255
            alpha = acc[3] / samples
            if alpha == 0:
                pixels.append((0, 0, 0, 0))
            else:
                cover = acc[3] / 255
                pixels.append(tuple(round(c / cover) for c in acc[:3]) + (round(alpha),))
    return pixels


def dib(n, pixels):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA rows, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    mask = bytearray()
    mask_stride = ((n + 31) // 32) * 4
    for row in range(n - 1, -1, -1):
        line = pixels[row * n:(row + 1) * n]
        for r, g, b, a in line:
            xor += bytes((b, g, r, a))
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(line):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def ico(images):
    """images: list of (size, dib bytes)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + entries + b"".join(data for _, data in images)


def make(overlay, sizes):
    return ico([(n, dib(n, render(n, window_shapes(n) + overlay(n)))) for n in sizes])


def main():
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "res")
    files = {
        "blocking.ico": make(cross_shapes, (16, 32)),
        "off.ico": make(tick_shapes, (16, 32)),
        "ondrel.ico": make(cross_shapes, (16, 32, 48)),
    }
    for name, data in files.items():
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
