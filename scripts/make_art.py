#!/usr/bin/env python3
"""Draws the installer's pictures and writes them into res/.

    res/banner.jpg       180 x 317 baseline JFIF JPEG (through cjpeg)
    res/kestrune.ico     one 32 x 32 image, 8 bits per pixel, AND mask
    res/tree_alert.bmp   16 x 15, 4 bits per pixel, standard 16-colour palette
    res/tree_folder.bmp  "
    res/tree_file.bmp    "

Everything is drawn here from polygons and pixel grids, with nothing but the
standard library; the JPEG encoding is left to cjpeg. The same inputs give the
same bytes on every run: no clocks, no unseeded randomness, no dict-order
dependence in the output.

Usage: make_art.py [RES_DIR]   (default: the res/ folder beside scripts/)
"""

import math
import os
import struct
import subprocess
import sys
import tempfile

# --------------------------------------------------------------------------
# Anti-aliased polygon coverage
# --------------------------------------------------------------------------

SUBROWS = 16  # vertical samples per pixel row; horizontal coverage is exact


def coverage(polys, width, height):
    """Returns {row: [coverage per column]} for the union (non-zero winding) of
    the polygons, each a list of (x, y) points in pixel units."""
    edges = []
    ylo, yhi = float("inf"), float("-inf")
    for poly in polys:
        n = len(poly)
        for i in range(n):
            x0, y0 = poly[i]
            x1, y1 = poly[(i + 1) % n]
            if y0 == y1:
                continue
            d = 1
            # A shared edge is always evaluated from the same end, so
            # neighbouring polygons split a pixel exactly.
            if (y0, x0) > (y1, x1):
                x0, y0, x1, y1, d = x1, y1, x0, y0, -1
            edges.append((y0, y1, x0, (x1 - x0) / (y1 - y0), d))
            ylo, yhi = min(ylo, y0), max(yhi, y1)
    rows = {}
    if not edges:
        return rows
    edges.sort()
    top = max(0, int(math.floor(ylo)))
    bottom = min(height, int(math.ceil(yhi)))
    weight = 1.0 / SUBROWS
    for py in range(top, bottom):
        row = None
        live = [e for e in edges if e[0] < py + 1 and e[1] > py]
        for s in range(SUBROWS):
            y = py + (s + 0.5) / SUBROWS
            xs = sorted((x0 + (y - y0) * k, d) for (y0, y1, x0, k, d) in live if y0 <= y < y1)
            if not xs:
                continue
            if row is None:
                row = [0.0] * width
            wind = 0
            start = 0.0
            for x, d in xs:
                before = wind
                wind += d
                if before == 0 and wind != 0:
                    start = x
                elif before != 0 and wind == 0:
                    _span(row, start, x, weight, width)
        if row is not None:
            rows[py] = row
    return rows


def _span(row, a, b, weight, width):
    a = max(0.0, a)
    b = min(float(width), b)
    if b <= a:
        return
    ia, ib = int(a), int(b)
    if ia == ib:
        row[ia] += (b - a) * weight
        return
    row[ia] += (ia + 1 - a) * weight
    for i in range(ia + 1, ib):
        row[i] += weight
    if ib < width:
        row[ib] += (b - ib) * weight


def orient(poly):
    """The polygon wound one fixed way, so that overlapping pieces of one
    shape add up as a union under the non-zero rule."""
    area = 0.0
    n = len(poly)
    for i in range(n):
        x0, y0 = poly[i]
        x1, y1 = poly[(i + 1) % n]
        area += x0 * y1 - x1 * y0
    return list(poly) if area >= 0 else list(reversed(poly))


class Canvas:
    """An RGB image of floats (0..255) to paint coverage masks onto."""

    def __init__(self, width, height, fill):
        self.w, self.h = width, height
        self.px = [[list(fill(x + 0.5, y + 0.5)) for x in range(width)] for y in range(height)]

    def paint(self, polys, colour, alpha=1.0, holes=()):
        """Blends colour (an (r, g, b) or a function of (x, y)) over the
        union of polys, less the union of holes."""
        shape = [orient(p) for p in polys] + [list(reversed(orient(p))) for p in holes]
        rows = coverage(shape, self.w, self.h)
        for y, row in rows.items():
            line = self.px[y]
            for x, c in enumerate(row):
                if c <= 0.0:
                    continue
                a = min(c, 1.0) * alpha
                col = colour(x + 0.5, y + 0.5) if callable(colour) else colour
                p = line[x]
                for i in range(3):
                    p[i] += (col[i] - p[i]) * a

    def glow(self, cx, cy, radius, colour, strength):
        for y in range(self.h):
            for x in range(self.w):
                d2 = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) / (radius * radius)
                a = strength * math.exp(-d2)
                if a < 1e-4:
                    continue
                p = self.px[y][x]
                for i in range(3):
                    p[i] += (colour[i] - p[i]) * a


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def smooth(t):
    t = min(1.0, max(0.0, t))
    return t * t * (3 - 2 * t)


class Lcg:
    """A small fixed random source, so the pictures never depend on the
    Python version's generator."""

    def __init__(self, seed):
        self.s = seed & 0xFFFFFFFF

    def next(self):
        self.s = (self.s * 1664525 + 1013904223) & 0xFFFFFFFF
        return self.s / 4294967296.0


# --------------------------------------------------------------------------
# Shapes
# --------------------------------------------------------------------------


def circle(cx, cy, r, n=24):
    return [(cx + r * math.cos(2 * math.pi * i / n), cy + r * math.sin(2 * math.pi * i / n)) for i in range(n)]


def rounded_rect(x0, y0, x1, y1, r, n=8):
    pts = []
    corners = [(x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0), (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)]
    for cx, cy, a0 in corners:
        for i in range(n + 1):
            a = math.radians(a0 + 90.0 * i / n)
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def stroke(path, half):
    """Polygons covering a polyline drawn with round joins and caps."""
    polys = []
    for (x0, y0), (x1, y1) in zip(path, path[1:]):
        dx, dy = x1 - x0, y1 - y0
        length = math.hypot(dx, dy)
        if length == 0:
            continue
        nx, ny = -dy / length * half, dx / length * half
        polys.append([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)])
    for x, y in path:
        polys.append(circle(x, y, half, 16))
    return polys


def arc(cx, cy, rx, ry, a0, a1, steps=14):
    """Points on an ellipse from angle a0 to a1 (degrees, counter-clockwise
    on screen: 90 is up)."""
    out = []
    for i in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * i / steps)
        out.append((cx + rx * math.cos(a), cy - ry * math.sin(a)))
    return out


# Capital letterforms: strokes in a box one unit high (y down) and W wide.
def _glyphs():
    g = {}
    w = 0.62
    g["K"] = (w, [[(0, 0), (0, 1)], [(w, 0), (0.02, 0.6)], [(0.2, 0.44), (w, 1)]])
    w = 0.52
    g["E"] = (w, [[(w, 0), (0, 0), (0, 1), (w, 1)], [(0, 0.5), (w * 0.86, 0.5)]])
    w = 0.58
    g["S"] = (w, [arc(w / 2, 0.25, w / 2, 0.25, 20, 270, 20) + arc(w / 2, 0.75, w / 2, 0.25, 90, -160, 20)[1:]])
    w = 0.62
    g["T"] = (w, [[(0, 0), (w, 0)], [(w / 2, 0), (w / 2, 1)]])
    w = 0.56
    r = 0.265
    g["R"] = (w, [[(0, 1), (0, 0), (w - r, 0)] + arc(w - r, r, r, r, 90, -90, 16)[1:] + [(0, 2 * r)],
                  [(w - 0.3, 2 * r), (w, 1)]])
    w = 0.58
    g["U"] = (w, [[(0, 0)] + arc(w / 2, 1 - w / 2, w / 2, w / 2, 180, 360, 18) + [(w, 0)]])
    w = 0.6
    g["N"] = (w, [[(0, 1), (0, 0), (w, 1), (w, 0)]])
    g["I"] = (0.0, [[(0, 0), (0, 1)]])
    w = 0.66
    g["A"] = (w, [[(0, 1), (w / 2, 0), (w, 1)], [(w * 0.2, 0.68), (w * 0.8, 0.68)]])
    w = 0.5
    g["L"] = (w, [[(0, 0), (0, 1), (w, 1)]])
    return g


GLYPHS = _glyphs()


def text_polys(text, left, top, cap, half, gap):
    """Polygons for a line of capitals: cap is the outer cap height in pixels,
    half the stroke's half width, gap the space between letters."""
    inner = cap - 2 * half
    polys = []
    x = left
    for ch in text:
        w, strokes = GLYPHS[ch]
        for s in strokes:
            path = [(x + half + px * inner, top + half + py * inner) for px, py in s]
            polys.extend(stroke(path, half))
        x += w * inner + 2 * half + gap
    return polys, x - gap - left


def text_width(text, cap, half, gap):
    inner = cap - 2 * half
    return sum(GLYPHS[c][0] * inner + 2 * half for c in text) + gap * (len(text) - 1)


# The bird: a kestrel seen from below, wings spread, built from flat facets.
# Unit coordinates: the wingspan runs from x = -1 to 1, y points down.
def bird_facets():
    """[(polygon, shade)] with shade 0 (darkest facet) .. 1 (lightest)."""
    f = []
    for side in (-1, 1):
        def m(p):
            return (p[0] * side, p[1])
        shoulder = (0.08, -0.22)
        wrist = (0.46, -0.50)
        tip = (1.0, -0.62)
        outer = (0.66, -0.30)
        inner = (0.36, -0.06)
        hip = (0.07, 0.08)
        f.append(([m(shoulder), m(wrist), m(inner)], 0.95))
        f.append(([m(shoulder), m(inner), m(hip)], 0.55))
        f.append(([m(wrist), m(tip), m(outer)], 0.82))
        f.append(([m(wrist), m(outer), m(inner)], 0.38))
        # The trailing edge of the hand, cut into feather tips.
        f.append(([m(tip), m((0.90, -0.47)), m((0.86, -0.46)), m((0.80, -0.38)), m((0.76, -0.37)),
                   m(outer)], 0.62))
        # Tail half: fanned, square-ended.
        f.append(([(0.0, 0.04), m((0.065, 0.06)), m((0.16, 0.56)), (0.0, 0.58)], 0.72 if side < 0 else 0.45))
    # Body and head.
    f.append(([(0.0, -0.40), (0.09, -0.28), (0.095, -0.02), (0.0, 0.16), (-0.095, -0.02), (-0.09, -0.28)], 1.0))
    f.append(([(0.0, -0.51), (0.055, -0.45), (0.045, -0.37), (0.0, -0.34), (-0.045, -0.37), (-0.055, -0.45)], 0.8))
    return f


def bird_polys(cx, cy, scale):
    return [([(cx + x * scale, cy + y * scale) for x, y in poly], shade) for poly, shade in bird_facets()]


# --------------------------------------------------------------------------
# The banner
# --------------------------------------------------------------------------

NAVY = (10, 26, 70)
DEEP = (14, 52, 110)
TEAL = (12, 122, 132)
PALE = (214, 244, 246)
WHITE = (246, 252, 253)


def banner_gradient(x, y):
    t = y / 317.0 + (x / 180.0 - 0.5) * 0.12
    if t < 0.45:
        return mix(NAVY, DEEP, smooth(t / 0.45))
    return mix(DEEP, TEAL, smooth((t - 0.45) / 0.55))


def draw_banner():
    W, H = 180, 317
    cv = Canvas(W, H, banner_gradient)

    # Low-poly facets: a jittered grid, each triangle lifted or sunk a little.
    rnd = Lcg(0x6B657374)
    step = 30.0
    cols, rows = 9, 13
    grid = []
    for j in range(rows):
        line = []
        for i in range(cols):
            x = -20 + i * step + (j % 2) * step / 2
            y = -20 + j * step * 0.98
            if 0 < i < cols - 1:
                x += (rnd.next() - 0.5) * step * 0.6
            if 0 < j < rows - 1:
                y += (rnd.next() - 0.5) * step * 0.6
            line.append((x, y))
        grid.append(line)
    tris = []
    for j in range(rows - 1):
        for i in range(cols - 1):
            a, b = grid[j][i], grid[j][i + 1]
            c, d = grid[j + 1][i], grid[j + 1][i + 1]
            if j % 2 == 0:
                tris += [[a, b, c], [b, d, c]]
            else:
                tris += [[a, b, d], [a, d, c]]
    for tri in tris:
        cy = sum(p[1] for p in tri) / 3
        v = rnd.next()
        lift = (v - 0.5) * 2  # -1 .. 1
        target = (150, 220, 230) if lift > 0 else (4, 12, 40)
        strength = abs(lift) * (0.06 + 0.04 * (cy / H))
        cv.paint([tri], target, strength)

    # Two faceted ridges along the bottom, the far one paler.
    for peaks, base, colour, alpha in (
            ([(-4, 262), (22, 248), (52, 266), (88, 240), (122, 262), (150, 250), (184, 266)], 317,
             (70, 170, 182), 0.22),
            ([(-4, 286), (30, 270), (62, 290), (104, 266), (140, 288), (166, 278), (184, 286)], 317,
             (4, 48, 70), 0.40)):
        for (x0, y0), (x1, y1) in zip(peaks, peaks[1:]):
            rising = y1 < y0
            cv.paint([[(x0, y0), (x1, y1), (x1, base), (x0, base)]], colour, alpha * (1.0 if rising else 0.75))
        # Lit slopes: a narrow lighter facet on each peak's left flank.
        for (x0, y0), (x1, y1), (x2, y2) in zip(peaks, peaks[1:], peaks[2:]):
            if y1 < y0 and y1 < y2:
                cv.paint([[(x1, y1), (x1 - (x1 - x0) * 0.55, y1 + (y0 - y1) * 0.55 + 14), (x1 + 3, base)]],
                         (160, 230, 236), 0.08)

    # A soft light behind the bird and a faint disc around it.
    bx, by, scale = 90.0, 116.0, 76.0
    cv.glow(bx, by - 4, 58, (60, 170, 190), 0.22)
    cv.paint([circle(bx, by - 4, 70, 96)], PALE, 0.10)

    # The bird: a faint shadow, then its facets.
    for poly, shade in bird_polys(bx + 1.5, by + 2.5, scale):
        cv.paint([poly], (4, 14, 44), 0.35)
    for poly, shade in bird_polys(bx, by, scale):
        cv.paint([poly], mix((120, 200, 214), WHITE, shade), 0.97)

    # The name, and a small line under it.
    cap, half, gap = 17.0, 1.35, 4.6
    tw = text_width("KESTRUNE", cap, half, gap)
    polys, _ = text_polys("KESTRUNE", (W - 2 - tw) / 2, 186, cap, half, gap)
    cv.paint(polys, WHITE, 1.0)

    cap2, half2, gap2 = 7.0, 0.62, 3.4
    tw2 = text_width("INSTALLER", cap2, half2, gap2)
    left2 = (W - 2 - tw2) / 2
    polys, _ = text_polys("INSTALLER", left2, 214, cap2, half2, gap2)
    cv.paint(polys, (170, 226, 232), 1.0)
    mid = 214 + cap2 / 2
    for x0, x1 in ((left2 - 26, left2 - 8), (left2 + tw2 + 8, left2 + tw2 + 26)):
        cv.paint([[(x0, mid - 0.5), (x1, mid - 0.5), (x1, mid + 0.5), (x0, mid + 0.5)]], (170, 226, 232), 0.7)

    # The light edge on the right.
    cv.paint([[(W - 1, 0), (W, 0), (W, H), (W - 1, H)]], (226, 246, 248), 0.9)
    cv.paint([[(W - 2, 0), (W - 1, 0), (W - 1, H), (W - 2, H)]], (226, 246, 248), 0.22)

    # Quantise with a fixed, fine dither so the gradient shows no bands.
    dither = Lcg(0x62616E6E)
    out = bytearray()
    for y in range(H):
        for x in range(W):
            p = cv.px[y][x]
            for i in range(3):
                v = int(math.floor(p[i] + dither.next()))
                out.append(min(255, max(0, v)))
    return W, H, bytes(out)


def write_jpeg(path, w, h, rgb):
    cjpeg = "cjpeg"
    with tempfile.TemporaryDirectory() as tmp:
        ppm = os.path.join(tmp, "banner.ppm")
        with open(ppm, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (w, h))
            f.write(rgb)
        data = subprocess.run([cjpeg, "-quality", "90", "-baseline", "-sample", "1x1", ppm],
                              check=True, stdout=subprocess.PIPE).stdout
    with open(path, "wb") as f:
        f.write(data)


# --------------------------------------------------------------------------
# The icon
# --------------------------------------------------------------------------


def draw_icon():
    """32 x 32 pixels: (rgb rows, opaque rows)."""
    S = 32

    def grad(x, y):
        t = smooth((x * 0.35 + y) / (S * 1.35))
        return mix((16, 40, 100), (14, 132, 142), t)

    cv = Canvas(S, S, grad)
    # At this size the thin wing tips need a little more body: an outline
    # half a pixel wide under the facets.
    bold = []
    for poly, _ in bird_polys(16.0, 17.0, 13.0):
        bold += stroke(poly + poly[:1], 0.45)
    cv.paint(bold, (200, 236, 242), 1.0)
    for poly, shade in bird_polys(16.0, 17.0, 13.0):
        cv.paint([poly], mix((150, 214, 224), (255, 255, 255), shade), 1.0)
    square = rounded_rect(0.5, 0.5, 31.5, 31.5, 6.0)
    inner = rounded_rect(1.5, 1.5, 30.5, 30.5, 5.0)
    cv.paint([square], (120, 200, 212), 0.55, holes=[inner])
    mask = coverage([orient(square)], S, S)
    rgb, opaque = [], []
    for y in range(S):
        rgb.append([tuple(min(255, max(0, int(c + 0.5))) for c in cv.px[y][x]) for x in range(S)])
        opaque.append([mask.get(y, [0.0] * S)[x] >= 0.5 for x in range(S)])
    return rgb, opaque


def median_cut(colours, limit):
    """A palette of at most limit colours for a list of (r, g, b)."""
    uniq = sorted(set(colours))
    if len(uniq) <= limit:
        return uniq
    boxes = [sorted(colours)]
    while len(boxes) < limit:
        best, axis, spread = None, 0, -1
        for bi, box in enumerate(boxes):
            if len(set(box)) < 2:
                continue
            for ch in range(3):
                vals = [c[ch] for c in box]
                s = max(vals) - min(vals)
                if s > spread:
                    best, axis, spread = bi, ch, s
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda c: (c[axis], c))
        half = len(box) // 2
        # Split between two different values so both halves are non-empty
        # and no colour lands in both.
        while half < len(box) and half > 0 and box[half][axis] == box[half - 1][axis]:
            half += 1
        if half >= len(box):
            half = len(box) // 2
            while half > 0 and box[half][axis] == box[half - 1][axis]:
                half -= 1
        boxes.insert(best, box[half:])
        boxes.insert(best, box[:half])
    pal = []
    for box in boxes:
        n = len(box)
        pal.append(tuple(int(sum(c[i] for c in box) / n + 0.5) for i in range(3)))
    return sorted(set(pal))


def write_ico(path, rgb, opaque):
    S = len(rgb)
    colours = [rgb[y][x] for y in range(S) for x in range(S) if opaque[y][x]]
    palette = [(0, 0, 0)] + [c for c in median_cut(colours, 255) if c != (0, 0, 0)]
    palette = palette[:256]
    index = {}

    def nearest(c):
        if c not in index:
            index[c] = min(range(len(palette)),
                           key=lambda i: (sum((palette[i][k] - c[k]) ** 2 for k in range(3)), i))
        return index[c]

    xor = bytearray()
    for y in range(S - 1, -1, -1):
        for x in range(S):
            xor.append(nearest(rgb[y][x]) if opaque[y][x] else 0)
    and_stride = ((S + 31) // 32) * 4
    andm = bytearray()
    for y in range(S - 1, -1, -1):
        row = bytearray(and_stride)
        for x in range(S):
            if not opaque[y][x]:
                row[x // 8] |= 0x80 >> (x % 8)
        andm += row
    pal = bytearray()
    for i in range(256):
        r, g, b = palette[i] if i < len(palette) else (0, 0, 0)
        pal += bytes((b, g, r, 0))
    image_size = len(xor) + len(andm)
    header = struct.pack("<IiiHHIIiiII", 40, S, S * 2, 1, 8, 0, image_size, 0, 0, 0, 0)
    body = header + bytes(pal) + bytes(xor) + bytes(andm)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", S, S, 0, 0, 1, 8, len(body), 6 + 16)
    with open(path, "wb") as f:
        f.write(icondir + entry + body)


# --------------------------------------------------------------------------
# The tree-view bitmaps
# --------------------------------------------------------------------------

# The standard 16-colour palette, in its usual order.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# One letter per palette entry used in the pixel grids below.
KEY = {".": 15, "K": 0, "M": 1, "O": 3, "S": 7, "G": 8, "R": 9, "Y": 11, "W": 15}

TREE_ALERT = """
.....MMMMMM.....
...MMRRRRRRMM...
..MRRRRRRRRRRM..
.MRRRRRWWRRRRRM.
.MRRRRRWWRRRRRM.
MRRRRRRWWRRRRRRM
MRRRRRRWWRRRRRRM
MRRRRRRWWRRRRRRM
MRRRRRRWWRRRRRRM
MRRRRRRRRRRRRRRM
.MRRRRRWWRRRRRM.
.MRRRRRWWRRRRRM.
..MRRRRRRRRRRM..
...MMRRRRRRMM...
.....MMMMMM.....
"""

TREE_FOLDER = """
................
................
.KKKKK..........
KYYYYYK.........
KYYYYYYKKKKKKKK.
KYYYYYYYYYYYYYOK
KYYYYYYYYYYYYYOK
KYYYYYYYYYYYYYOK
KYYYYYYYYYYYYYOK
KYYYYYYYYYYYYYOK
KYYYYYYYYYYYYYOK
KYYYYYYYYYYYYYOK
KOOOOOOOOOOOOOOK
.KKKKKKKKKKKKKK.
................
"""

TREE_FILE = """
..KKKKKKKKK.....
..K.......KK....
..K.......KSK...
..K.......KKKK..
..K..........K..
..K.GGGGGG...K..
..K..........K..
..K.GGGGGGGG.K..
..K..........K..
..K.GGGGGGGG.K..
..K..........K..
..K.GGGGG....K..
..K..........K..
..KKKKKKKKKKKK..
................
"""


def grid(text):
    rows = [r for r in text.strip("\n").split("\n")]
    assert len(rows) == 15 and all(len(r) == 16 for r in rows), "tree bitmaps are 16 x 15"
    return [[KEY[c] for c in r] for r in rows]


def write_bmp4(path, pixels):
    h, w = len(pixels), len(pixels[0])
    stride = ((w * 4 + 31) // 32) * 4
    data = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            row[x // 2] |= pixels[y][x] << (4 if x % 2 == 0 else 0)
        data += row
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA16)
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(data), 0, 0, 16, 0)
    head = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + palette + bytes(data))


# --------------------------------------------------------------------------
# Checks on what was written
# --------------------------------------------------------------------------


def check_jpeg(path):
    d = open(path, "rb").read()
    assert d[:2] == b"\xff\xd8" and d[6:11] == b"JFIF\x00", "not JFIF"
    i = 2
    while i < len(d):
        assert d[i] == 0xFF
        marker = d[i + 1]
        length = struct.unpack(">H", d[i + 2:i + 4])[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            assert marker == 0xC0, "not baseline"
            h, w = struct.unpack(">HH", d[i + 5:i + 9])
            assert (w, h) == (180, 317), (w, h)
            return
        i += 2 + length
    raise AssertionError("no frame header")


def check_ico(path):
    d = open(path, "rb").read()
    assert struct.unpack("<HHH", d[:6]) == (0, 1, 1)
    w, h, cc, _, planes, bpp, size, off = struct.unpack("<BBBBHHII", d[6:22])
    assert (w, h, cc, planes, bpp, off) == (32, 32, 0, 1, 8, 22) and off + size == len(d)
    hs, bw, bh, _, bbpp, comp = struct.unpack("<IiiHHI", d[22:42])
    assert (hs, bw, bh, bbpp, comp) == (40, 32, 64, 8, 0)
    assert len(d) == 22 + 40 + 256 * 4 + 32 * 32 + 4 * 32


def check_bmp(path):
    d = open(path, "rb").read()
    assert d[:2] == b"BM" and struct.unpack("<I", d[2:6])[0] == len(d)
    hs, w, h, _, bpp, comp = struct.unpack("<IiiHHI", d[14:34])
    used = struct.unpack("<I", d[46:50])[0]
    assert (hs, w, h, bpp, comp, used) == (40, 16, 15, 4, 0, 16)
    assert len(d) == 14 + 40 + 64 + 8 * 15


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    res = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(here), "res")

    w, h, rgb = draw_banner()
    write_jpeg(os.path.join(res, "banner.jpg"), w, h, rgb)
    write_ico(os.path.join(res, "kestrune.ico"), *draw_icon())
    write_bmp4(os.path.join(res, "tree_alert.bmp"), grid(TREE_ALERT))
    write_bmp4(os.path.join(res, "tree_folder.bmp"), grid(TREE_FOLDER))
    write_bmp4(os.path.join(res, "tree_file.bmp"), grid(TREE_FILE))

    check_jpeg(os.path.join(res, "banner.jpg"))
    check_ico(os.path.join(res, "kestrune.ico"))
    for name in ("tree_alert.bmp", "tree_folder.bmp", "tree_file.bmp"):
        check_bmp(os.path.join(res, name))
    for name in ("banner.jpg", "kestrune.ico", "tree_alert.bmp", "tree_folder.bmp", "tree_file.bmp"):
        print("%-16s %6d bytes" % (name, os.path.getsize(os.path.join(res, name))))


if __name__ == "__main__":
    main()
