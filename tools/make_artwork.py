#!/usr/bin/env python3
"""Draws Huevane's artwork and writes the files res/Huevane.rc names.

    tools/make_artwork.py [--out DIR] [--preview DIR]

Writes toplogo.bmp (400 x 60, 256 colours), huevlogo.bmp and kwslogo.bmp
(200 x 60, 16 colours), app.ico (32 x 32, 16 colours), target.ico and
target.cur (32 x 32, monochrome) into DIR (default: res/ next to this script).
--preview also writes enlarged PNG renderings of the written files, decoded
back from their palette indices, so what you look at is what the program gets.

Python 3 standard library only. Text is drawn with a small stroke font (centre
lines of each glyph, stroked with round caps), anti-aliased from the exact
distance to each stroke; filled shapes are scan-converted with 8 sub-rows a
pixel. The output is deterministic: running the script twice gives the same
bytes.
"""

import argparse
import math
import os
import struct
import zlib
from array import array

# ---------------------------------------------------------------------------
# Colours

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
NAVY = (22, 44, 96)
SLATE = (96, 110, 134)
ORANGE = (242, 128, 30)
ORANGE_LIGHT = (255, 176, 72)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def hsv(h, s, v):
    """h in degrees, s and v 0..1, to an RGB triple 0..255."""
    h = (h % 360.0) / 60.0
    i = int(h)
    f = h - i
    p, q, t = v * (1 - s), v * (1 - s * f), v * (1 - s * (1 - f))
    r, g, b = [(v, t, p), (q, v, p), (p, v, t), (p, q, v), (t, p, v), (v, p, q)][i % 6]
    return (r * 255, g * 255, b * 255)


# ---------------------------------------------------------------------------
# Canvas and coverage


class Canvas:
    """Floating-point RGB pixels, top-down."""

    def __init__(self, width, height, colour=WHITE):
        self.width, self.height = width, height
        self.red = array("f", [colour[0]]) * (width * height)
        self.green = array("f", [colour[1]]) * (width * height)
        self.blue = array("f", [colour[2]]) * (width * height)

    def pixel(self, x, y):
        i = y * self.width + x
        return (self.red[i], self.green[i], self.blue[i])

    def paint(self, coverage, colour, opacity=1.0):
        """Blends `colour` (a triple or a function of x, y) in by coverage."""
        x0, y0, x1, y1 = coverage.bounds()
        call = callable(colour)
        for y in range(y0, y1):
            row = y * self.width
            for x in range(x0, x1):
                a = coverage.values[row + x] * opacity
                if a <= 0.0:
                    continue
                if a > 1.0:
                    a = 1.0
                c = colour(x, y) if call else colour
                i = row + x
                self.red[i] += (c[0] - self.red[i]) * a
                self.green[i] += (c[1] - self.green[i]) * a
                self.blue[i] += (c[2] - self.blue[i]) * a

    def gradient(self, colour_at):
        for y in range(self.height):
            for x in range(self.width):
                c = colour_at(x, y)
                i = y * self.width + x
                self.red[i], self.green[i], self.blue[i] = c

    def rows(self):
        """Integer RGB triples, row by row."""
        out = []
        for y in range(self.height):
            row = []
            for x in range(self.width):
                i = y * self.width + x
                row.append(tuple(max(0, min(255, int(round(v[i])))) for v in (self.red, self.green, self.blue)))
            out.append(row)
        return out


class Coverage:
    """How much of each pixel a shape covers (0..1); shapes added with max()."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        self.values = array("f", [0.0]) * (width * height)
        self.box = [width, height, 0, 0]

    def bounds(self):
        x0, y0, x1, y1 = self.box
        return (x0, y0, max(x0, x1), max(y0, y1))

    def _grow(self, x0, y0, x1, y1):
        b = self.box
        b[0], b[1] = min(b[0], x0), min(b[1], y0)
        b[2], b[3] = max(b[2], x1), max(b[3], y1)

    def clip(self, x0, y0, x1, y1):
        return (max(0, int(math.floor(x0))), max(0, int(math.floor(y0))),
                min(self.width, int(math.ceil(x1))), min(self.height, int(math.ceil(y1))))

    def stroke(self, segments, radius):
        """Segments ((x0, y0), (x1, y1)) in pixels, as strokes with round ends.
        Coverage comes from the distance of each pixel centre to the centre
        line, which is exact enough for strokes a pixel or more wide."""
        for (ax, ay), (bx, by) in segments:
            x0, y0, x1, y1 = self.clip(min(ax, bx) - radius - 1, min(ay, by) - radius - 1,
                                       max(ax, bx) + radius + 1, max(ay, by) + radius + 1)
            if x0 >= x1 or y0 >= y1:
                continue
            self._grow(x0, y0, x1, y1)
            dx, dy = bx - ax, by - ay
            length2 = dx * dx + dy * dy
            for y in range(y0, y1):
                py = y + 0.5
                row = y * self.width
                for x in range(x0, x1):
                    px = x + 0.5
                    if length2 > 0.0:
                        t = ((px - ax) * dx + (py - ay) * dy) / length2
                        t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
                        qx, qy = ax + t * dx - px, ay + t * dy - py
                    else:
                        qx, qy = ax - px, ay - py
                    c = radius - math.sqrt(qx * qx + qy * qy) + 0.5
                    if c > 0.0:
                        if c > 1.0:
                            c = 1.0
                        if c > self.values[row + x]:
                            self.values[row + x] = c

    def fill(self, contours, subrows=8):
        """Fills closed polygons (lists of points) by the even-odd rule."""
        points = [p for contour in contours for p in contour]
        x0, y0, x1, y1 = self.clip(min(p[0] for p in points), min(p[1] for p in points),
                                   max(p[0] for p in points) + 1, max(p[1] for p in points) + 1)
        if x0 >= x1 or y0 >= y1:
            return
        self._grow(x0, y0, x1, y1)
        edges = []
        for contour in contours:
            for i in range(len(contour)):
                a, b = contour[i], contour[(i + 1) % len(contour)]
                if a[1] != b[1]:
                    edges.append((a, b))
        span = x1 - x0
        for y in range(y0, y1):
            row = [0.0] * span
            for s in range(subrows):
                sy = y + (s + 0.5) / subrows
                crossings = []
                for (ax, ay), (bx, by) in edges:
                    if (ay <= sy < by) or (by <= sy < ay):
                        crossings.append(ax + (sy - ay) * (bx - ax) / (by - ay))
                crossings.sort()
                for k in range(0, len(crossings) - 1, 2):
                    _add_span(row, crossings[k] - x0, crossings[k + 1] - x0, 1.0 / subrows)
            base = y * self.width + x0
            for i, c in enumerate(row):
                if c > 0.0:
                    c = min(1.0, c)
                    if c > self.values[base + i]:
                        self.values[base + i] = c

    def blurred(self, radius):
        """A copy softened by three box blurs (close to a Gaussian)."""
        out = Coverage(self.width, self.height)
        out.values = array("f", self.values)
        x0, y0, x1, y1 = self.bounds()
        out.box = [max(0, x0 - 3 * radius), max(0, y0 - 3 * radius),
                   min(self.width, x1 + 3 * radius), min(self.height, y1 + 3 * radius)]
        for _ in range(3):
            out._box_blur(radius)
        return out

    def _box_blur(self, radius):
        w, h, v = self.width, self.height, self.values
        n = 2 * radius + 1
        for y in range(h):
            row = v[y * w:(y + 1) * w]
            for x in range(w):
                total = 0.0
                for k in range(x - radius, x + radius + 1):
                    if 0 <= k < w:
                        total += row[k]
                v[y * w + x] = total / n
        for x in range(w):
            column = [v[y * w + x] for y in range(h)]
            for y in range(h):
                total = 0.0
                for k in range(y - radius, y + radius + 1):
                    if 0 <= k < h:
                        total += column[k]
                v[y * w + x] = total / n

    def shifted(self, dx, dy):
        out = Coverage(self.width, self.height)
        for y in range(self.height):
            for x in range(self.width):
                sx, sy = x - dx, y - dy
                if 0 <= sx < self.width and 0 <= sy < self.height:
                    out.values[y * self.width + x] = self.values[sy * self.width + sx]
        x0, y0, x1, y1 = self.bounds()
        out.box = [max(0, x0 + dx), max(0, y0 + dy), min(self.width, x1 + dx), min(self.height, y1 + dy)]
        return out

    def crisp(self):
        """Every pixel fully in or out, for images without partial colours."""
        for i, c in enumerate(self.values):
            self.values[i] = 1.0 if c >= 0.5 else 0.0
        return self


def _add_span(row, a, b, weight):
    """Adds `weight` times the horizontal overlap of [a, b) with each pixel."""
    a, b = max(a, 0.0), min(b, float(len(row)))
    if a >= b:
        return
    first, last = int(a), int(b)
    if first == last:
        row[first] += (b - a) * weight
        return
    row[first] += (first + 1 - a) * weight
    for i in range(first + 1, min(last, len(row))):
        row[i] += weight
    if last < len(row):
        row[last] += (b - last) * weight


# Shapes as polygons

def ellipse(cx, cy, rx, ry, steps=96):
    return [(cx + rx * math.cos(2 * math.pi * k / steps), cy + ry * math.sin(2 * math.pi * k / steps))
            for k in range(steps)]


def rounded_rect(x0, y0, x1, y1, r, steps=12):
    points = []
    corners = [(x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0), (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)]
    for cx, cy, start in corners:
        for k in range(steps + 1):
            a = math.radians(start + 90.0 * k / steps)
            points.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return points


def wedge(cx, cy, r_inner, r_outer, a0, a1, steps=16):
    outer = [(cx + r_outer * math.cos(math.radians(a0 + (a1 - a0) * k / steps)),
              cy + r_outer * math.sin(math.radians(a0 + (a1 - a0) * k / steps))) for k in range(steps + 1)]
    inner = [(cx + r_inner * math.cos(math.radians(a1 - (a1 - a0) * k / steps)),
              cy + r_inner * math.sin(math.radians(a1 - (a1 - a0) * k / steps))) for k in range(steps + 1)]
    return outer + inner


# ---------------------------------------------------------------------------
# The stroke font
#
# Glyphs are centre lines in font units, y up from the baseline: x-height 7,
# capitals and ascenders 10, descenders -3. Each glyph is (width, paths); a
# path is a list of points joined by straight strokes (a single point is a
# dot). Curves are polylines made by arc().


def arc(cx, cy, rx, ry, a0, a1):
    steps = max(4, int(abs(a1 - a0) / 7.5))
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * k / steps)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * k / steps))) for k in range(steps + 1)]


def _bowl(x=0.0):
    return arc(3 + x, 3.5, 3, 3.5, 0, 360)


GLYPHS = {
    " ": (3.0, []),
    ".": (0.0, [[(0, 0)]]),
    ",": (0.6, [[(0.6, 0.2), (0, -1.8)]]),
    ":": (0.0, [[(0, 0)], [(0, 5.5)]]),
    "-": (3.5, [[(0, 4), (3.5, 4)]]),
    "/": (4.5, [[(0, -1), (4.5, 10.5)]]),
    "@": (9.0, [arc(4.5, 3.5, 2.2, 2.4, 0, 360), [(6.7, 5.9), (6.7, 2.2)] + arc(7.9, 2.2, 1.2, 1.4, 180, 360)
                + arc(4.5, 3.8, 4.5, 5.2, 10, 330)]),
    "a": (6.0, [_bowl(), [(6, 7), (6, 0)]]),
    "b": (6.0, [[(0, 10), (0, 0)], _bowl()]),
    "c": (5.5, [arc(3, 3.5, 3, 3.5, 48, 312)]),
    "d": (6.0, [_bowl(), [(6, 10), (6, 0)]]),
    "e": (6.0, [[(0.1, 3.5), (6, 3.5)] + arc(3, 3.5, 3, 3.5, 0, 318)]),
    "f": (4.0, [[(1.3, 0), (1.3, 7.9)] + arc(3.5, 7.9, 2.2, 2.1, 180, 55), [(0, 7), (3.8, 7)]]),
    "g": (6.0, [_bowl(), [(6, 7), (6, -0.4)] + arc(3, -0.4, 3, 2.6, 0, -165)]),
    "h": (6.0, [[(0, 10), (0, 0)], [(0, 4)] + arc(3, 4, 3, 3, 180, 0) + [(6, 0)]]),
    "i": (0.0, [[(0, 7), (0, 0)], [(0, 9.6)]]),
    "j": (2.0, [[(2, 7), (2, -1)] + arc(0, -1, 2, 2, 0, -90), [(2, 9.6)]]),
    "k": (5.5, [[(0, 10), (0, 0)], [(5.5, 7), (0, 2.4)], [(2.0, 4.1), (5.8, 0)]]),
    "l": (0.0, [[(0, 10), (0, 0)]]),
    "m": (9.0, [[(0, 7), (0, 0)], [(0, 4.75)] + arc(2.25, 4.75, 2.25, 2.25, 180, 0) + [(4.5, 0)],
                [(4.5, 4.75)] + arc(6.75, 4.75, 2.25, 2.25, 180, 0) + [(9, 0)]]),
    "n": (6.0, [[(0, 7), (0, 0)], [(0, 4)] + arc(3, 4, 3, 3, 180, 0) + [(6, 0)]]),
    "o": (6.0, [_bowl()]),
    "p": (6.0, [[(0, 7), (0, -3)], _bowl()]),
    "q": (6.0, [_bowl(), [(6, 7), (6, -3)]]),
    "r": (4.0, [[(0, 7), (0, 0)], [(0, 3.6)] + arc(3.6, 3.6, 3.6, 3.4, 180, 82)]),
    "s": (5.0, [arc(2.55, 5.25, 2.45, 1.75, 22, 270) + arc(2.55, 1.75, 2.55, 1.75, 90, -158)]),
    "t": (4.0, [[(1.5, 9.4), (1.5, 2.0)] + arc(3.5, 2.0, 2.0, 2.0, 180, 270) + [(4.0, 0)], [(0, 7), (4, 7)]]),
    "u": (6.0, [[(0, 7), (0, 3)] + arc(3, 3, 3, 3, 180, 360), [(6, 7), (6, 0)]]),
    "v": (6.0, [[(0, 7), (3, 0), (6, 7)]]),
    "w": (9.0, [[(0, 7), (2.25, 0), (4.5, 7), (6.75, 0), (9, 7)]]),
    "x": (6.0, [[(0, 7), (6, 0)], [(6, 7), (0, 0)]]),
    "y": (6.0, [[(0, 7), (3, 0)], [(6, 7), (1.7, -3)]]),
    "z": (5.5, [[(0, 7), (5.5, 7), (0, 0), (5.5, 0)]]),
    "A": (7.5, [[(0, 0), (3.75, 10), (7.5, 0)], [(1.4, 3.6), (6.1, 3.6)]]),
    "B": (6.2, [[(0, 5), (0, 10), (3.4, 10)] + arc(3.4, 7.5, 2.4, 2.5, 90, -90) + [(0, 5)],
                [(3.6, 5)] + arc(3.6, 2.5, 2.6, 2.5, 90, -90) + [(0, 0), (0, 5)]]),
    "C": (8.0, [arc(4.7, 5, 4.7, 5, 48, 312)]),
    "D": (7.5, [[(0, 0), (0, 10), (2.5, 10)] + arc(2.5, 5, 5, 5, 90, -90) + [(0, 0)]]),
    "E": (6.0, [[(6, 10), (0, 10), (0, 0), (6, 0)], [(0, 5), (5, 5)]]),
    "F": (6.0, [[(6, 10), (0, 10), (0, 0)], [(0, 5), (5, 5)]]),
    "G": (9.0, [arc(4.7, 5, 4.7, 5, 48, 360) + [(9.4, 4.6), (5.6, 4.6)]]),
    "H": (7.0, [[(0, 0), (0, 10)], [(7, 0), (7, 10)], [(0, 5), (7, 5)]]),
    "I": (0.0, [[(0, 0), (0, 10)]]),
    "J": (5.0, [[(5, 10), (5, 2.5)] + arc(2.5, 2.5, 2.5, 2.5, 0, -180)]),
    "K": (6.6, [[(0, 0), (0, 10)], [(6.6, 10), (0, 3.5)], [(2.3, 5.8), (7, 0)]]),
    "L": (5.5, [[(0, 10), (0, 0), (5.5, 0)]]),
    "M": (9.0, [[(0, 0), (0, 10), (4.5, 2.2), (9, 10), (9, 0)]]),
    "N": (7.0, [[(0, 0), (0, 10), (7, 0), (7, 10)]]),
    "O": (9.4, [arc(4.7, 5, 4.7, 5, 0, 360)]),
    "P": (6.0, [[(0, 0), (0, 10), (3.3, 10)] + arc(3.3, 7.25, 2.7, 2.75, 90, -90) + [(0, 4.5)]]),
    "Q": (9.4, [arc(4.7, 5, 4.7, 5, 0, 360), [(6.0, 2.6), (9.2, -0.6)]]),
    "R": (6.4, [[(0, 0), (0, 10), (3.3, 10)] + arc(3.3, 7.25, 2.7, 2.75, 90, -90) + [(0, 4.5)],
                [(3.2, 4.5), (6.4, 0)]]),
    "S": (6.6, [arc(3.3, 7.5, 3.1, 2.5, 24, 270) + arc(3.3, 2.5, 3.3, 2.5, 90, -156)]),
    "T": (7.0, [[(0, 10), (7, 10)], [(3.5, 10), (3.5, 0)]]),
    "U": (7.0, [[(0, 10), (0, 3.5)] + arc(3.5, 3.5, 3.5, 3.5, 180, 360) + [(7, 10)]]),
    "V": (8.0, [[(0, 10), (4, 0), (8, 10)]]),
    "W": (12.0, [[(0, 10), (3, 0), (6, 10), (9, 0), (12, 10)]]),
    "X": (7.0, [[(0, 10), (7, 0)], [(7, 10), (0, 0)]]),
    "Y": (7.0, [[(0, 10), (3.5, 5), (7, 10)], [(3.5, 5), (3.5, 0)]]),
    "Z": (7.0, [[(0, 10), (7, 10), (0, 0), (7, 0)]]),
    "0": (6.0, [arc(3, 5, 3, 5, 0, 360)]),
    "1": (3.0, [[(0, 7.8), (3, 10), (3, 0)]]),
    "2": (6.0, [arc(3, 7, 3, 3, 155, -38) + [(0, 0), (6, 0)]]),
    "3": (6.0, [arc(3, 7.5, 2.7, 2.5, 150, -90) + arc(3, 2.5, 3, 2.5, 90, -150)]),
    "4": (6.5, [[(5, 0), (5, 10), (0, 3), (6.5, 3)]]),
    "5": (6.0, [[(5.6, 10), (1.1, 10), (0.8, 5.6)] + arc(3, 3.2, 3, 3.2, 128, -150)]),
    "6": (6.0, [arc(3, 3.2, 3, 3.2, 0, 360), arc(6, 3.2, 6, 6.8, 180, 110)]),
    "7": (6.0, [[(0, 10), (6, 10), (1.8, 0)]]),
    "8": (6.0, [arc(3, 7.6, 2.6, 2.4, 0, 360), arc(3, 2.6, 3, 2.6, 0, 360)]),
    "9": (6.0, [arc(3, 6.8, 3, 3.2, 0, 360), arc(0, 6.8, 6, 6.8, 0, -70)]),
}


class Text:
    """A line of text in the stroke font: size is the capital height in
    pixels, weight the stroke width in font units, tracking extra space
    between letters in font units."""

    def __init__(self, text, size, weight=1.4, tracking=1.2):
        self.text, self.scale, self.weight, self.tracking = text, size / 10.0, weight, tracking

    def width(self):
        """Pixel width from the left edge of the first stroke to the right edge of the last."""
        units = sum(GLYPHS[ch][0] for ch in self.text)
        units += (len(self.text) - 1) * (self.weight + self.tracking) + self.weight
        return units * self.scale

    def letters(self, left, baseline):
        """(character, segments in pixels) for each letter, the first stroke's
        left edge at `left`."""
        x = self.weight / 2.0
        out = []
        for ch in self.text:
            advance, paths = GLYPHS[ch]
            segments = []
            for path in paths:
                points = [(left + (x + px) * self.scale, baseline - py * self.scale) for px, py in path]
                if len(points) == 1:
                    segments.append((points[0], points[0]))
                segments.extend(zip(points, points[1:]))
            out.append((ch, segments))
            x += advance + self.weight + self.tracking
        return out

    def coverage(self, width, height, left, baseline):
        cover = Coverage(width, height)
        radius = self.weight * self.scale / 2.0
        for _, segments in self.letters(left, baseline):
            cover.stroke(segments, radius)
        return cover


# ---------------------------------------------------------------------------
# Palettes and quantisation


def nearest(palette, colour, cache):
    hit = cache.get(colour)
    if hit is not None:
        return hit
    r, g, b = colour
    best, best_distance = 0, None
    for i, (pr, pg, pb) in enumerate(palette):
        # Weighted by how strongly the eye responds to each primary.
        mean = (r + pr) / 2.0
        d = (2 + mean / 256) * (r - pr) ** 2 + 4 * (g - pg) ** 2 + (2 + (255 - mean) / 256) * (b - pb) ** 2
        if best_distance is None or d < best_distance:
            best, best_distance = i, d
    cache[colour] = best
    return best


def median_cut(colours, count):
    """A palette of at most `count` colours for a {colour: pixels} table."""
    boxes = [list(colours.items())]
    while len(boxes) < count:
        # Split the box whose widest channel spans the most, weighted by its pixels.
        def score(box):
            if len(box) < 2:
                return -1
            spans = [max(c[i] for c, _ in box) - min(c[i] for c, _ in box) for i in range(3)]
            return max(spans) * math.sqrt(sum(n for _, n in box))

        box = max(boxes, key=score)
        if score(box) <= 0:
            break
        boxes.remove(box)
        spans = [max(c[i] for c, _ in box) - min(c[i] for c, _ in box) for i in range(3)]
        channel = spans.index(max(spans))
        box.sort(key=lambda item: item[0][channel])
        total = sum(n for _, n in box)
        running, cut = 0, 1
        for k, (_, n) in enumerate(box):
            running += n
            if running >= total / 2:
                cut = max(1, min(len(box) - 1, k + 1))
                break
        boxes.extend([box[:cut], box[cut:]])
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple(int(round(sum(c[i] * n for c, n in box) / total)) for i in range(3)))
    return palette


def quantise(rows, palette):
    cache = {}
    return [[nearest(palette, c, cache) for c in row] for row in rows]


def ramp_palette(background, inks, levels):
    """The background, each ink, and `levels` blends of each ink into the
    background: what anti-aliased edges on a plain background need."""
    palette = [background]
    for ink in inks:
        for k in range(1, levels + 1):
            palette.append(tuple(int(round(v)) for v in mix(background, ink, k / (levels + 1.0))))
        palette.append(ink)
    return palette


# The sixteen colours of the standard VGA palette, the colours a 16-colour
# icon of this program's time is drawn in.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
         (255, 0, 255), (0, 255, 255), (255, 255, 255)]

# ---------------------------------------------------------------------------
# File formats


def _info_header(width, height, bits, image_size, colours):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 2835, 2835, colours, 0)


def _pack_rows(indices, bits):
    """Bottom-up rows of palette indices, each padded to 32 bits."""
    out = bytearray()
    for row in reversed(indices):
        packed, acc, used = bytearray(), 0, 0
        for index in row:
            acc = (acc << bits) | index
            used += bits
            if used == 8:
                packed.append(acc)
                acc, used = 0, 0
        if used:
            packed.append(acc << (8 - used))
        while len(packed) % 4:
            packed.append(0)
        out += packed
    return bytes(out)


def _palette_bytes(palette, entries):
    padded = list(palette) + [(0, 0, 0)] * (entries - len(palette))
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in padded)


def bmp_bytes(indices, palette, bits):
    height, width = len(indices), len(indices[0])
    pixels = _pack_rows(indices, bits)
    colours = _palette_bytes(palette, 1 << bits)
    offset = 14 + 40 + len(colours)
    header = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    return header + _info_header(width, height, bits, len(pixels), 0) + colours + pixels


def icon_image(indices, opaque, palette, bits):
    """One icon or cursor image: the DIB with doubled height, XOR then AND mask."""
    height, width = len(indices), len(indices[0])
    xor = _pack_rows([[index if opaque[y][x] else 0 for x, index in enumerate(row)]
                      for y, row in enumerate(indices)], bits)
    mask = _pack_rows([[0 if o else 1 for o in row] for row in opaque], 1)
    colours = _palette_bytes(palette, 1 << bits)
    return _info_header(width, height * 2, bits, len(xor) + len(mask), 0) + colours + xor + mask


def icon_file_bytes(indices, opaque, palette, bits, hotspot=None):
    """An .ico (hotspot None) or .cur file holding one image."""
    image = icon_image(indices, opaque, palette, bits)
    height, width = len(indices), len(indices[0])
    colour_count = (1 << bits) if bits < 8 else 0
    if hotspot is None:
        entry = struct.pack("<BBBBHHII", width, height, colour_count, 0, 1, bits, len(image), 22)
        kind = 1
    else:
        entry = struct.pack("<BBBBHHII", width, height, 0, 0, hotspot[0], hotspot[1], len(image), 22)
        kind = 2
    return struct.pack("<HHH", 0, kind, 1) + entry + image


def png_bytes(rows):
    """An RGB PNG of rows of RGB triples, for previews."""
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(v for c in row for v in c) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


# ---------------------------------------------------------------------------
# Shared motifs


def colour_wheel(canvas, cx, cy, radius, segments=12, hole=0.32, outline=None):
    """The product's mark: a ring of hue swatches around a white hub."""
    w, h = canvas.width, canvas.height
    if outline:
        ring = Coverage(w, h)
        ring.fill([ellipse(cx, cy, radius + 1.4, radius + 1.4)])
        canvas.paint(ring, outline)
    gap = 360.0 / segments
    for k in range(segments):
        piece = Coverage(w, h)
        a0 = -90 - gap / 2 + k * gap
        piece.fill([wedge(cx, cy, radius * hole, radius, a0, a0 + gap)])
        canvas.paint(piece, hsv(k * gap, 0.85, 1.0 if k * gap < 200 else 0.92))
    # Thin white spokes between the swatches keep them apart at small sizes.
    spokes = Coverage(w, h)
    for k in range(segments):
        a = math.radians(-90 - gap / 2 + k * gap)
        spokes.stroke([((cx + radius * hole * math.cos(a), cy + radius * hole * math.sin(a)),
                        (cx + (radius + 0.5) * math.cos(a), cy + (radius + 0.5) * math.sin(a)))],
                      max(0.45, radius / 40.0))
    canvas.paint(spokes, WHITE)
    hub = Coverage(w, h)
    hub.fill([ellipse(cx, cy, radius * hole + 0.4, radius * hole + 0.4)])
    canvas.paint(hub, WHITE)


def korvell_emblem(canvas, x, y, size, crisp=False):
    """The maker's mark: a rounded orange tile with a white K."""
    w, h = canvas.width, canvas.height
    tile = Coverage(w, h)
    tile.fill([rounded_rect(x, y, x + size, y + size, size * 0.24)])
    if crisp:
        canvas.paint(tile.crisp(), ORANGE)
    else:
        canvas.paint(tile, lambda px, py: mix(ORANGE_LIGHT, ORANGE, (py - y) / size))
    letter = Text("K", size * 0.56, weight=2.3)
    left = x + (size - letter.width()) / 2.0
    canvas.paint(letter.coverage(w, h, left, y + size * 0.78), WHITE)


# ---------------------------------------------------------------------------
# The artwork


def draw_toplogo():
    """The banner over the main dialog: the product name and version on a
    sky, the maker's logo on a light panel at the right."""
    w, h = 400, 60
    canvas = Canvas(w, h)
    top, bottom = (40, 110, 205), (150, 205, 245)
    canvas.gradient(lambda x, y: mix(top, bottom, (y / (h - 1.0)) ** 0.9))

    # A soft glow behind the product name and a bank of clouds along the bottom.
    glow = Coverage(w, h)
    glow.fill([ellipse(150, 28, 120, 30)])
    canvas.paint(glow.blurred(8), (190, 225, 255), 0.35)
    clouds = Coverage(w, h)
    for cx, cy, r in [(8, 62, 12), (30, 58, 11), (52, 63, 13), (96, 64, 10), (128, 60, 9), (150, 65, 12),
                      (200, 63, 9), (228, 59, 10), (252, 64, 12), (282, 66, 10)]:
        clouds.fill([ellipse(cx, cy, r * 1.6, r)])
    canvas.paint(clouds.blurred(2), WHITE, 0.55)

    colour_wheel(canvas, 31, 30, 21, outline=(255, 255, 255))

    name = Text("Huevane", 28, weight=2.3, tracking=0.9)
    name_cover = name.coverage(w, h, 61, 43)
    canvas.paint(name_cover.shifted(2, 2).blurred(1), (14, 40, 100), 0.55)
    canvas.paint(name_cover, WHITE)

    version = Text("1.0", 14, weight=2.2, tracking=0.8)
    version_left = 61 + name.width() + 7
    version_cover = version.coverage(w, h, version_left, 43)
    canvas.paint(version_cover.shifted(1, 1).blurred(1), (14, 40, 100), 0.5)
    canvas.paint(version_cover, (255, 222, 90))

    panel = Coverage(w, h)
    panel.fill([rounded_rect(285, 9, 394, 51, 8)])
    canvas.paint(panel.shifted(0, 1).blurred(1), (20, 50, 110), 0.25)
    canvas.paint(panel, WHITE, 0.92)
    korvell_emblem(canvas, 292, 16, 28)
    canvas.paint(Text("Korvell", 11, weight=2.0, tracking=0.9).coverage(w, h, 328, 29), NAVY)
    canvas.paint(Text("Software", 8.5, weight=1.6, tracking=1.0).coverage(w, h, 328, 43), ORANGE)
    return canvas


def draw_huevlogo():
    """The product's logo for the About box: the name in the colours of the
    wheel, the version under it, on white."""
    w, h = 200, 60
    canvas = Canvas(w, h)
    name = Text("Huevane", 26, weight=2.4, tracking=0.9)
    left = (w - name.width()) / 2.0
    for k, (ch, segments) in enumerate(name.letters(left, 33)):
        cover = Coverage(w, h)
        cover.stroke(segments, name.weight * name.scale / 2.0)
        canvas.paint(cover, HUE_INKS[k])
    version = Text("Version 1.0", 9, weight=1.6, tracking=1.2)
    canvas.paint(version.coverage(w, h, (w - version.width()) / 2.0, 52), SLATE)
    return canvas


# The letters of "Huevane", red round to violet; deep enough to read on white.
HUE_INKS = [(222, 45, 45), (240, 122, 20), (214, 160, 0), (46, 160, 60), (0, 150, 170), (40, 90, 210),
            (140, 60, 190)]


def draw_kwslogo():
    """The maker's logo for the About box: the mark, the name and the web
    address, on white."""
    w, h = 200, 60
    canvas = Canvas(w, h)
    korvell_emblem(canvas, 8, 12, 36, crisp=True)
    korvell = Text("Korvell", 12, weight=2.0, tracking=0.9)
    canvas.paint(korvell.coverage(w, h, 52, 28), NAVY)
    canvas.paint(Text("Software", 12, weight=1.6, tracking=1.0).coverage(w, h, 52 + korvell.width() + 5, 28), ORANGE)
    canvas.paint(Text("www.korvell.example", 8, weight=1.5, tracking=1.3).coverage(w, h, 52, 44), SLATE)
    return canvas


KWS_PALETTE = [WHITE] + ramp_palette(WHITE, [NAVY], 4)[1:] + ramp_palette(WHITE, [ORANGE], 3)[1:] \
    + ramp_palette(WHITE, [SLATE], 3)[1:] + [(250, 200, 160), (252, 226, 204)]


def huevlogo_palette():
    palette = [WHITE]
    for ink in HUE_INKS:
        palette += [tuple(int(round(v)) for v in mix(WHITE, ink, 0.5)), ink]
    palette.append(SLATE)
    return palette


def draw_app_icon():
    """A dropper syringe over a small window. Returns (rows, opaque), drawn
    in whole pixels for the 16-colour palette."""
    size = 32
    canvas = Canvas(size, size, (255, 0, 255))
    opaque = [[False] * size for _ in range(size)]

    def put(cover, colour):
        cover.crisp()
        canvas.paint(cover, colour)
        for y in range(size):
            for x in range(size):
                if cover.values[y * size + x] > 0:
                    opaque[y][x] = True

    def rect(x0, y0, x1, y1):
        c = Coverage(size, size)
        c.fill([[(x0, y0), (x1, y0), (x1, y1), (x0, y1)]])
        return c

    # The window: black frame, blue caption with a close box, white client
    # area showing three colour swatches.
    put(rect(1, 9, 25, 31), BLACK)
    put(rect(2, 10, 24, 14), (0, 0, 255))
    put(rect(2, 10, 12, 14), (0, 0, 128))
    put(rect(21, 11, 23, 13), (192, 192, 192))
    put(rect(2, 14, 24, 30), (255, 255, 255))
    put(rect(3, 23, 24, 30), (192, 192, 192))
    for i, colour in enumerate([(255, 0, 0), (255, 255, 0), (0, 255, 0)]):
        put(rect(4 + i * 6, 25, 9 + i * 6, 29), BLACK)
        put(rect(5 + i * 6, 26, 8 + i * 6, 28), colour)

    # The dropper, from its tip in the client area up to the bulb at the top
    # right: each part a quadrilateral across the axis.
    tip = (11.0, 18.5)
    ux, uy = math.sqrt(0.5), -math.sqrt(0.5)
    nx, ny = -uy, ux

    def part(t0, t1, half0, half1, grow=0.0):
        t0, t1, half0, half1 = t0 - grow, t1 + grow, half0 + grow, half1 + grow
        p = lambda t, s: (tip[0] + ux * t + nx * s, tip[1] + uy * t + ny * s)
        c = Coverage(size, size)
        c.fill([[p(t0, -half0), p(t1, -half1), p(t1, half1), p(t0, half0)]])
        return c

    bulb_at = 18.3

    def bulb(grow=0.0):
        c = Coverage(size, size)
        c.fill([ellipse(tip[0] + ux * bulb_at, tip[1] + uy * bulb_at, 4.0 + grow, 4.0 + grow)])
        neck = part(14.0, bulb_at, 3.3, 4.0, grow)
        for i, v in enumerate(neck.values):
            c.values[i] = max(c.values[i], v)
        c._grow(*neck.bounds())
        return c

    put(part(0.0, 13.5, 0.9, 2.6, grow=1.0), BLACK)
    put(bulb(grow=1.0), BLACK)
    put(part(0.6, 13.0, 0.3, 1.7), (0, 255, 255))
    put(part(0.6, 6.5, 0.3, 1.7), (0, 128, 128))
    put(part(12.0, 14.5, 2.9, 2.9), (128, 128, 128))
    put(bulb(), (255, 0, 0))
    # Shade the bulb on the side away from the light (the top left).
    cx, cy = tip[0] + ux * bulb_at, tip[1] + uy * bulb_at
    lit = Coverage(size, size)
    lit.fill([ellipse(cx - 1.1, cy - 1.1, 3.5, 3.5)])
    lit.crisp()
    shade = Coverage(size, size)
    shade.fill([ellipse(cx, cy, 4.0, 4.0)])
    shade.crisp()
    for i, v in enumerate(lit.values):
        if v:
            shade.values[i] = 0.0
    canvas.paint(shade, (128, 0, 0))
    glint = rect(round(cx) - 2, round(cy) - 3, round(cx), round(cy) - 1)
    canvas.paint(glint.crisp(), WHITE)

    # A drop falling from the tip: a round bottom drawn out to a point.
    def drop(grow):
        cx, cy, r = 7.6, 21.0, 1.3 + grow
        outline = [(cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a)))
                   for a in range(-40, 230, 15)]
        c = Coverage(size, size)
        c.fill([outline + [(cx + 1.6 + grow * 0.7, cy - 2.2 - grow * 0.7)]])
        return c

    put(drop(1.0), BLACK)
    put(drop(0.0), (0, 128, 128))
    return canvas.rows(), opaque


def crosshair(size=32, centre=15):
    """The target picture: (black, white) pixel sets of a ring 11 pixels
    across and a cross from 5 to 25 on both axes, outlined in white outside,
    the centre pixel left clear."""
    black = set()
    # A ring 11 pixels across: the midpoint circle of radius 5.
    r, x, y, d = 5, 0, 5, 1 - 5
    while x <= y:
        for px, py in [(x, y), (y, x), (-x, y), (-y, x), (x, -y), (y, -x), (-x, -y), (-y, -x)]:
            black.add((centre + px, centre + py))
        x += 1
        if d < 0:
            d += 2 * x + 1
        else:
            y -= 1
            d += 2 * (x - y) + 1
    for k in range(5, 26):
        black.add((k, centre))
        black.add((centre, k))
    black.discard((centre, centre))
    white = set()
    for bx, by in black:
        for dx, dy in [(-1, 0), (1, 0), (0, -1), (0, 1)]:
            p = (bx + dx, by + dy)
            if p not in black and p != (centre, centre) and 0 <= p[0] < size and 0 <= p[1] < size:
                white.add(p)
    return black, white


def crosshair_indices():
    black, white = crosshair()
    indices = [[1 if (x, y) in white else 0 for x in range(32)] for y in range(32)]
    opaque = [[(x, y) in black or (x, y) in white for x in range(32)] for y in range(32)]
    return indices, opaque


# ---------------------------------------------------------------------------
# Previews


def decode_for_preview(indices, palette, opaque=None, zoom=1):
    rows = []
    for y, row in enumerate(indices):
        line = []
        for x, index in enumerate(row):
            if opaque is not None and not opaque[y][x]:
                c = (204, 204, 204) if ((x // 4 + y // 4) % 2) else (150, 150, 150)
            else:
                c = palette[index]
            line.extend([c] * zoom)
        rows.extend([line] * zoom)
    return rows


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", default=os.path.join(here, "..", "res"))
    parser.add_argument("--preview", help="also write enlarged PNG previews here")
    args = parser.parse_args()

    outputs = {}
    previews = {}

    banner = draw_toplogo().rows()
    counts = {}
    for row in banner:
        for c in row:
            counts[c] = counts.get(c, 0) + 1
    palette = median_cut(counts, 256)
    indices = quantise(banner, palette)
    outputs["toplogo.bmp"] = bmp_bytes(indices, palette, 8)
    previews["toplogo"] = decode_for_preview(indices, palette, zoom=2)

    for name, draw, palette in [("huevlogo", draw_huevlogo, huevlogo_palette()),
                                ("kwslogo", draw_kwslogo, KWS_PALETTE)]:
        assert len(palette) <= 16, name
        indices = quantise(draw().rows(), palette)
        outputs[name + ".bmp"] = bmp_bytes(indices, palette, 4)
        previews[name] = decode_for_preview(indices, palette, zoom=3)

    rows, opaque = draw_app_icon()
    indices = quantise(rows, VGA16)
    outputs["app.ico"] = icon_file_bytes(indices, opaque, VGA16, 4)
    previews["app"] = decode_for_preview(indices, VGA16, opaque, zoom=8)

    mono = [BLACK, WHITE]
    indices, opaque = crosshair_indices()
    outputs["target.ico"] = icon_file_bytes(indices, opaque, mono, 1)
    outputs["target.cur"] = icon_file_bytes(indices, opaque, mono, 1, hotspot=(15, 15))
    previews["target"] = decode_for_preview(indices, mono, opaque, zoom=8)

    os.makedirs(args.out, exist_ok=True)
    for name, data in outputs.items():
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)
    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
        for name, rows in previews.items():
            with open(os.path.join(args.preview, name + ".png"), "wb") as f:
                f.write(png_bytes(rows))


if __name__ == "__main__":
    main()
