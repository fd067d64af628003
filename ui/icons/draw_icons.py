#!/usr/bin/env python3
"""Draws the program's fourteen icons and writes them as PNG files beside this script.

Standard library only. Every picture is built from shapes given as signed distance
functions, sampled 6 x 6 times per pixel for smooth edges. All icons share one palette
and one outline: a dark slate line of 1 pixel (16 x 16) or 1.5 pixels (32 x 32) around
each shape, on a transparent background.

    python3 ui/icons/draw_icons.py          # rewrites the PNG files
"""
import math
import os
import struct
import zlib

OUTLINE = (37, 49, 60)
WHITE = (250, 251, 252)
PAPER = (236, 240, 244)
GREY = (150, 160, 172)
LIGHT_GREY = (205, 212, 220)
DARK = (55, 65, 78)
BLUE = (45, 118, 204)
LIGHT_BLUE = (150, 200, 245)
GREEN = (52, 160, 82)
LIGHT_GREEN = (130, 210, 120)
RED = (214, 58, 48)
YELLOW = (250, 204, 64)
ORANGE = (222, 140, 50)
BROWN = (168, 112, 58)

SAMPLES = 6


# ---- signed distance functions (negative inside) -------------------------------------

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def box(x0, y0, x1, y1, radius=0.0):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return sdf


def segment(ax, ay, bx, by, r):
    def sdf(x, y):
        px, py, dx, dy = x - ax, y - ay, bx - ax, by - ay
        length2 = dx * dx + dy * dy
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, (px * dx + py * dy) / length2))
        return math.hypot(px - dx * t, py - dy * t) - r
    return sdf


def polyline(points, r):
    parts = [segment(*points[i], *points[i + 1], r) for i in range(len(points) - 1)]
    return lambda x, y: min(p(x, y) for p in parts)


def polygon(points):
    n = len(points)

    def sdf(x, y):
        best = float("inf")
        inside = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
            best = min(best, math.hypot(x - ax - dx * t, y - ay - dy * t))
            if (ay > y) != (by > y) and x < ax + (y - ay) * dx / (by - ay):
                inside = not inside
        return -best if inside else best
    return sdf


def ellipse(cx, cy, rx, ry):
    # Approximation, exact enough for small icons.
    return lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1.0) * min(rx, ry)


def union(*parts):
    return lambda x, y: min(p(x, y) for p in parts)


def subtract(shape, hole):
    return lambda x, y: max(shape(x, y), -hole(x, y))


def intersect(*parts):
    return lambda x, y: max(p(x, y) for p in parts)


# ---- canvas ----------------------------------------------------------------------------

class Canvas:
    def __init__(self, size):
        self.size = size
        self.line = 1.0 if size <= 16 else 1.5
        self.pixels = [[(0.0, 0.0, 0.0, 0.0)] * size for _ in range(size)]  # premultiplied

    def draw(self, sdf, fill, outline=True, line=None):
        """Fills a shape; with outline, a band of the line width inside its edge is dark."""
        width = (self.line if line is None else line) if outline else 0.0
        step = 1.0 / SAMPLES
        for py in range(self.size):
            for px in range(self.size):
                r = g = b = a = 0.0
                for sy in range(SAMPLES):
                    y = py + (sy + 0.5) * step
                    for sx in range(SAMPLES):
                        x = px + (sx + 0.5) * step
                        d = sdf(x, y)
                        if d >= 0:
                            continue
                        colour = OUTLINE if d > -width else fill
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1.0
                if a == 0:
                    continue
                n = SAMPLES * SAMPLES
                cover = a / n
                src = (r / n / 255.0, g / n / 255.0, b / n / 255.0, cover)
                dst = self.pixels[py][px]
                keep = 1.0 - cover
                self.pixels[py][px] = tuple(src[i] + dst[i] * keep for i in range(4))

    def stroke(self, sdf, colour):
        """A shape in one colour, without outline (lines, hands, text)."""
        self.draw(sdf, colour, outline=False)

    def rgba_rows(self):
        rows = []
        for row in self.pixels:
            out = bytearray()
            for r, g, b, a in row:
                if a <= 0:
                    out += b"\0\0\0\0"
                    continue
                out += bytes(min(255, round(c / a * 255)) for c in (r, g, b))
                out.append(min(255, round(a * 255)))
            rows.append(bytes(out))
        return rows


def write_png(path, size, rows, grey):
    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter: none
        if grey:
            for i in range(0, len(row), 4):
                r, g, b, a = row[i:i + 4]
                raw.append(round(0.299 * r + 0.587 * g + 0.114 * b))
                raw.append(a)
        else:
            raw += row

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    colour_type = 4 if grey else 6
    header = struct.pack(">IIBBBBB", size, size, 8, colour_type, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


# ---- the pictures ---------------------------------------------------------------------

def application(c):  # a framed picture
    c.draw(box(0.5, 1.5, 15.5, 14.5, 1.0), BROWN)
    c.draw(box(2.5, 3.5, 13.5, 12.5), LIGHT_BLUE)
    c.stroke(intersect(polygon([(3, 12.5), (7, 7), (10, 10), (11.5, 8.5), (13.5, 11), (13.5, 12.5)]),
                       box(3, 4, 13, 12)), GREEN)
    c.stroke(circle(10.5, 6.2, 1.4), YELLOW)


def product_code(c):  # a bar code
    c.draw(box(1, 2, 15, 14, 1.0), WHITE)
    x = 3
    for width, gap in ((1, 1), (2, 1), (1, 1), (1, 1), (1, 0)):
        c.stroke(box(x, 4, x + width, 12), OUTLINE)
        x += width + gap


def version(c):  # a sheet with lines of text
    page = polygon([(2.5, 0.5), (10.5, 0.5), (13.5, 3.5), (13.5, 15.5), (2.5, 15.5)])
    c.draw(page, WHITE)
    c.draw(polygon([(10, 0.8), (13.2, 4), (10, 4)]), LIGHT_GREY, line=0.8)
    for i, length in enumerate((6, 7, 5, 7, 6)):
        y = 6 + i * 2
        c.stroke(box(4, y, 4 + length, y + 1), BLUE if i == 0 else DARK)


def floppy(c):  # a floppy disk
    c.draw(polygon([(0.5, 0.5), (13, 0.5), (15.5, 3), (15.5, 15.5), (0.5, 15.5)]), BLUE)
    c.draw(box(3.5, 0.5, 11.5, 6), LIGHT_GREY)
    c.stroke(box(8.5, 1.7, 10.3, 4.8), DARK)
    c.draw(box(3, 9, 13, 15.5), WHITE)
    c.stroke(box(4.5, 11, 11.5, 11.8), GREY)
    c.stroke(box(4.5, 13, 10, 13.8), GREY)


def alarm_clock(c):  # an alarm clock
    c.draw(circle(3.2, 3.2, 2.6), ORANGE)
    c.draw(circle(12.8, 3.2, 2.6), ORANGE)
    c.stroke(segment(4, 13, 2.5, 15, 0.75), OUTLINE)
    c.stroke(segment(12, 13, 13.5, 15, 0.75), OUTLINE)
    c.draw(circle(8, 8.8, 6.4), RED)
    c.draw(circle(8, 8.8, 4.6), WHITE, line=0.7)
    c.stroke(segment(8, 8.8, 8, 5.6, 0.55), OUTLINE)
    c.stroke(segment(8, 8.8, 10.4, 10.2, 0.55), OUTLINE)


def network_drive(c):  # a network drive
    c.draw(box(0.5, 1.5, 15.5, 9.5, 1.5), LIGHT_GREY)
    c.stroke(box(2.5, 5, 9.5, 6), GREY)
    c.draw(circle(12.3, 5.5, 1.3), LIGHT_GREEN, line=0.6)
    c.stroke(box(7.3, 9.5, 8.7, 12.5), OUTLINE)
    c.stroke(box(1, 13, 15, 14.4), OUTLINE)
    c.draw(box(5.5, 11.5, 10.5, 15.5, 0.5), BLUE, line=0.8)


def console(c):  # a console window
    c.draw(box(0.5, 1.5, 15.5, 14.5, 1.0), DARK)
    c.stroke(box(1.5, 2.5, 14.5, 4.6), BLUE)
    c.stroke(polyline([(3.2, 6.8), (5.8, 9.0), (3.2, 11.2)], 0.65), LIGHT_GREEN)
    c.stroke(box(7, 11, 11.5, 12.2), WHITE)


def gear(c):  # a gear wheel
    teeth = []
    for i in range(8):
        angle = i * math.pi / 4
        cx, cy = 8 + math.cos(angle) * 6.2, 8 + math.sin(angle) * 6.2
        teeth.append(circle(cx, cy, 1.7))
    wheel = subtract(union(circle(8, 8, 5.6), *teeth), circle(8, 8, 2.2))
    c.draw(wheel, GREY)


def computer(c):  # a computer with screen and tower
    c.draw(box(21.5, 3.5, 31, 29.5, 1.5), LIGHT_GREY)
    c.stroke(box(24, 7, 28.5, 8.5), GREY)
    c.stroke(box(24, 10.5, 28.5, 12), GREY)
    c.draw(circle(26.25, 24.5, 1.6), LIGHT_GREEN, line=1.0)
    c.draw(box(1, 5.5, 20, 21, 1.5), LIGHT_GREY)
    c.draw(box(3.5, 8, 17.5, 18.5), BLUE)
    c.stroke(polygon([(4.5, 17.5), (4.5, 9), (12, 9)]), LIGHT_BLUE)
    c.draw(box(8, 21, 13, 25), GREY)
    c.draw(box(4.5, 24.5, 16.5, 28, 1.0), LIGHT_GREY)


def search(c):  # a magnifying glass on a green square
    c.draw(box(1, 1, 31, 31, 4.0), GREEN)
    c.draw(segment(18.5, 18.5, 26.5, 26.5, 2.9), BROWN)
    c.draw(circle(13.5, 13.5, 8.2), WHITE, line=3.2)
    c.stroke(circle(13.5, 13.5, 5.0), LIGHT_BLUE)
    c.stroke(segment(10.5, 11.5, 12, 10, 0.9), WHITE)


def eye_on_ball(c):  # an eye on a red ball
    c.draw(circle(16, 16, 15), RED)
    c.stroke(circle(11, 10, 3.5), (236, 120, 110))
    eye = intersect(circle(16, 26.5, 15.5), circle(16, 5.5, 15.5))
    c.draw(eye, WHITE)
    c.draw(circle(16, 16, 4.8), BLUE, line=1.0)
    c.stroke(circle(16, 16, 2.2), OUTLINE)
    c.stroke(circle(17.2, 14.8, 0.9), WHITE)


def done(c):  # a green disc with a tick
    c.draw(circle(8, 8, 7.5), GREEN)
    c.stroke(polyline([(4.3, 8.3), (7, 11), (11.8, 5.2)], 1.05), WHITE)


def in_progress(c):  # a blue disc with a clock
    c.draw(circle(8, 8, 7.5), BLUE)
    c.draw(circle(8, 8, 5.0), WHITE, line=0.8)
    c.stroke(segment(8, 8, 8, 4.6, 0.6), OUTLINE)
    c.stroke(segment(8, 8, 10.6, 8, 0.6), OUTLINE)


def error(c):  # a red disc with a cross
    c.draw(circle(8, 8, 7.5), RED)
    c.stroke(segment(5.2, 5.2, 10.8, 10.8, 1.05), WHITE)
    c.stroke(segment(10.8, 5.2, 5.2, 10.8, 1.05), WHITE)


ICONS = [
    ("ICO_Application", 16, False, application),
    ("ICO_CodeProduit", 16, True, product_code),
    ("ICO_VersionApplication", 16, False, version),
    ("ICO_DestinationApplication", 16, False, floppy),
    ("ICO_DateInstallationApplication", 16, False, alarm_clock),
    ("ICO_SourceApplication", 16, False, network_drive),
    ("ICO_CommandeDesinstallationApplication", 16, False, console),
    ("ICO_EmplacementBaseDeRegistre", 16, False, gear),
    ("ICO_NomMachineApplication", 32, False, computer),
    ("ICO_Rechercher", 32, False, search),
    ("ICO_LancerActionMachine", 32, False, eye_on_ball),
    ("ICO_ActionTermine", 16, False, done),
    ("ICO_ActionEnCours", 16, False, in_progress),
    ("ICO_ActionErreur", 16, False, error),
]


def main():
    folder = os.path.dirname(os.path.abspath(__file__))
    for name, size, grey, picture in ICONS:
        canvas = Canvas(size)
        picture(canvas)
        write_png(os.path.join(folder, name + ".png"), size, canvas.rgba_rows(), grey)


if __name__ == "__main__":
    main()
