#!/usr/bin/env python3
"""Draws the program's bundled tool-bar and menu icons (the fallbacks for a
desktop icon theme that lacks a name) and writes them as PNG files, 16 and 32
pixels, into resources/icons/. One palette and one line weight, so that the
set matches itself. Run it after changing a drawing; the PNGs are committed.

    tools/make-icons/make-icons.py [output folder]
"""
import math
import os
import struct
import sys
import zlib

INK = (0x37, 0x47, 0x4F)
PAPER = (0xFF, 0xFF, 0xFF)
BLUE = (0x1E, 0x88, 0xE5)
LIGHT = (0xBB, 0xDE, 0xFB)
GREEN = (0x43, 0xA0, 0x47)
RED = (0xE5, 0x39, 0x35)
AMBER = (0xF9, 0xA8, 0x25)
GREY = (0x90, 0xA4, 0xAE)

SUB = 4  # samples per pixel along each axis


# Shapes: functions of a point in the 16-unit design grid.
def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
            if (ya > y) != (yb > y) and x < xa + (y - ya) * (xb - xa) / (yb - ya):
                hit = not hit
        return hit
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def arc(cx, cy, r0, r1, a0, a1):
    """A ring between radii r0 and r1 from angle a0 to a1 (degrees, y down)."""
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if not r0 <= d <= r1:
            return False
        a = math.degrees(math.atan2(y - cy, x - cx))
        while a < a0:
            a += 360
        return a <= a1
    return inside


def segment(xa, ya, xb, yb, width):
    def inside(x, y):
        dx, dy = xb - xa, yb - ya
        t = max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - xa - t * dx, y - ya - t * dy) <= width / 2
    return inside


def outlined(shape_outer, shape_inner, fill):
    """A shape in ink with its inside (one unit in) filled."""
    return [(shape_outer, INK), (shape_inner, fill)]


def mirrored_x(layers):
    return [((lambda s: lambda x, y: s(16 - x, y))(s), c) for s, c in layers]


def mirrored_y(layers):
    return [((lambda s: lambda x, y: s(x, 16 - y))(s), c) for s, c in layers]


def page(x0, y0, x1, y1, fold=0):
    outer = [(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)]
    inner = [(x0 + 1, y0 + 1), (x1 - fold - 0.4, y0 + 1), (x1 - 1, y0 + fold + 0.4),
             (x1 - 1, y1 - 1), (x0 + 1, y1 - 1)]
    layers = outlined(polygon(outer), polygon(inner), PAPER)
    if fold:
        layers.append((polygon([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)]), INK))
    return layers


def lines(x0, x1, ys):
    return [(rect(x0, y, x1, y + 0.9), GREY) for y in ys]


def node_box(x0, y0, x1, y1):
    return outlined(rect(x0, y0, x1, y1), rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1), PAPER)


UNDO = [
    (polygon([(0.8, 5.5), (6, 1), (6, 10)]), BLUE),
    (rect(5.5, 4.3, 9.5, 6.7), BLUE),
    (arc(9.5, 10, 3.3, 5.7, -90, 90), BLUE),
    (rect(4, 13.3, 9.5, 15.7), BLUE),
]

STAR = polygon([(12 + (3.6 if i % 2 == 0 else 1.5) * math.sin(math.radians(36 * i)),
                 4.2 - (3.6 if i % 2 == 0 else 1.5) * math.cos(math.radians(36 * i)))
                for i in range(10)])

ICONS = {
    "document-new": page(2.5, 0.5, 13.5, 15.5, 4) + lines(4.5, 9, [6, 8.5]) + [
        (circle(11.5, 11.5, 4.3), PAPER),
        (rect(10.4, 8, 12.6, 15), GREEN),
        (rect(8, 10.4, 15, 12.6), GREEN),
    ],
    "document-open": [
        (polygon([(0.5, 3), (5.5, 3), (7, 4.5), (13.5, 4.5), (13.5, 14.5), (0.5, 14.5)]), INK),
        (polygon([(1.5, 4), (5, 4), (6.5, 5.5), (12.5, 5.5), (12.5, 13.5), (1.5, 13.5)]), AMBER),
        (polygon([(2.5, 7.5), (15.8, 7.5), (13.5, 14.5), (0.5, 14.5)]), INK),
        (polygon([(3.2, 8.5), (14.4, 8.5), (12.8, 13.5), (1.8, 13.5)]), (0xFD, 0xD8, 0x35)),
    ],
    "document-save": [
        (polygon([(0.5, 0.5), (13, 0.5), (15.5, 3), (15.5, 15.5), (0.5, 15.5)]), INK),
        (polygon([(1.5, 1.5), (12.6, 1.5), (14.5, 3.4), (14.5, 14.5), (1.5, 14.5)]), BLUE),
        (rect(4, 1.5, 11, 5.5), PAPER),
        (rect(8.5, 2.2, 10, 4.8), INK),
        (rect(3.5, 8.5, 12.5, 14.5), PAPER),
    ] + lines(5, 11, [10.3, 12.3]),
    "document-print": page(3.5, 0.5, 12.5, 7.5) + [
        (rect(0.5, 5.5, 15.5, 12.5), INK),
        (rect(1.5, 6.5, 14.5, 11.5), GREY),
        (circle(12.8, 8.3, 0.8), GREEN),
    ] + page(3.5, 9.5, 12.5, 15.5) + lines(5.5, 10.5, [11.5, 13.3]),
    "edit-undo": UNDO,
    "edit-redo": mirrored_x(UNDO),
    "image-x-generic": outlined(rect(0.5, 1.5, 15.5, 14.5), rect(1.5, 2.5, 14.5, 13.5), LIGHT) + [
        (circle(11, 5.5, 1.8), AMBER),
        (polygon([(1.5, 13.5), (6, 6.5), (9.5, 11), (11.5, 9), (14.5, 13.5)]), GREEN),
    ],
    "edit-copy": page(0.5, 0.5, 10.5, 11.5) + page(5.5, 4.5, 15.5, 15.5) + lines(7.5, 13.5, [7.5, 10, 12.5]),
    "help-contents": [
        (circle(8, 8, 7.5), BLUE),
        (arc(8, 6, 1.6, 3.4, 160, 400), PAPER),
        (rect(7.1, 8.2, 8.9, 10.6), PAPER),
        (circle(8, 12.6, 1.2), PAPER),
    ],
    # Optimise decisions: a decision with its best option drawn thick.
    "optimize-decisions": [
        (segment(4, 8, 12, 3.5, 2.2), GREEN),
        (segment(4, 8, 12, 12.5, 1), GREY),
    ] + node_box(0.5, 5, 6.5, 11) + [
        (polygon([(10, 3.5), (15.5, 0.5), (15.5, 6.5)]), GREEN),
        (polygon([(10, 12.5), (15.5, 9.5), (15.5, 15.5)]), GREY),
    ],
    "go-up": [
        (polygon([(8, 0.8), (15, 8), (10.2, 8), (10.2, 15.2), (5.8, 15.2), (5.8, 8), (1, 8)]), INK),
        (polygon([(8, 2.3), (12.6, 7), (9.2, 7), (9.2, 14.2), (6.8, 14.2), (6.8, 7), (3.4, 7)]), BLUE),
    ],
    "document-edit": page(1.5, 0.5, 11.5, 15.5, 3) + lines(3.5, 9, [5, 7.5, 10]) + [
        (polygon([(15.8, 5.2), (11.6, 1.0), (5.0, 11.6), (4.2, 15.8), (8.4, 15.0)]), INK),
        (polygon([(14.4, 5.2), (11.6, 2.4), (5.9, 11.7), (5.4, 14.6), (8.2, 13.9)]), AMBER),
    ],
    "edit-delete": [
        (segment(3, 3, 13, 13, 4.2), INK),
        (segment(3, 13, 13, 3, 4.2), INK),
        (segment(3, 3, 13, 13, 2.4), RED),
        (segment(3, 13, 13, 3, 2.4), RED),
    ],
    # The clone commands: a master node, a node linked to it, the link broken.
    "clone-master": node_box(0.5, 5.5, 10.5, 14.5) + [(STAR, INK), (
        polygon([(12 + (2.6 if i % 2 == 0 else 1.0) * math.sin(math.radians(36 * i)),
                  4.2 - (2.6 if i % 2 == 0 else 1.0) * math.cos(math.radians(36 * i)))
                 for i in range(10)]), AMBER)],
    "clone-link": node_box(0.5, 0.5, 7.5, 6.5) + node_box(8.5, 9.5, 15.5, 15.5) + [
        (segment(5.5, 4.5, 10.5, 11.5, 2.0), BLUE),
    ],
    "clone-unlink": node_box(0.5, 0.5, 7.5, 6.5) + node_box(8.5, 9.5, 15.5, 15.5) + [
        (segment(5.5, 4.5, 7, 6.6, 2.0), BLUE),
        (segment(9, 9.4, 10.5, 11.5, 2.0), BLUE),
        (segment(6.2, 10.2, 11.2, 5.8, 1.3), RED),
    ],
}
ICONS["go-down"] = mirrored_y(ICONS["go-up"])


def render(layers, size):
    scale = 16.0 / size
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(SUB):
                for sx in range(SUB):
                    x = (px + (sx + 0.5) / SUB) * scale
                    y = (py + (sy + 0.5) / SUB) * scale
                    colour = None
                    for shape, c in layers:
                        if shape(x, y):
                            colour = c
                    if colour:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1
            n = SUB * SUB
            if a:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def png(pixels):
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(__file__), "..", "..", "resources", "icons")
    os.makedirs(out, exist_ok=True)
    for name, layers in sorted(ICONS.items()):
        for size, suffix in ((16, ""), (32, "@2x")):
            with open(os.path.join(out, f"{name}{suffix}.png"), "wb") as f:
                f.write(png(render(layers, size)))


if __name__ == "__main__":
    main()
