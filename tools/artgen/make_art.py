#!/usr/bin/env python3
"""Draws the setup program's icons and bitmaps and writes them into setup/res as .ico and .bmp files."""

# Standard library only, and deterministic: running it twice gives the same bytes.
# Usage: python3 tools/artgen/make_art.py [output-folder]   (default: setup/res beside tools/)

import math
import os
import struct
import sys

# ---------------------------------------------------------------------------
# File writers
# ---------------------------------------------------------------------------

# The sixteen colours of the standard Windows palette, in the order icons use them.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def bmp_info_header(width, height, bit_count, image_size, colours_used):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bit_count, 0, image_size, 0, 0, colours_used, 0)


def palette_bytes(palette, count):
    out = bytearray()
    for r, g, b in palette:
        out += bytes((b, g, r, 0))
    out += bytes(4 * (count - len(palette)))
    return bytes(out)


def row_stride(width, bits):
    return ((width * bits + 31) // 32) * 4


def pack_rows(rows, bits):
    """Packs rows of palette indices (top row first) bottom-up, each padded to 4 bytes."""
    out = bytearray()
    for row in reversed(rows):
        line = bytearray()
        if bits == 8:
            line += bytes(row)
        elif bits == 4:
            for i in range(0, len(row), 2):
                hi = row[i]
                lo = row[i + 1] if i + 1 < len(row) else 0
                line.append((hi << 4) | lo)
        elif bits == 1:
            for i in range(0, len(row), 8):
                byte = 0
                for j in range(8):
                    if i + j < len(row) and row[i + j]:
                        byte |= 0x80 >> j
                line.append(byte)
        line += bytes(row_stride(len(row), bits) - len(line))
        out += line
    return bytes(out)


def write_bmp24(path, image):
    """Writes an RGB image (list of rows of (r, g, b)) as an uncompressed 24-bit bottom-up BMP."""
    height = len(image)
    width = len(image[0])
    stride = row_stride(width, 24)
    pixels = bytearray()
    for row in reversed(image):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    offset = 14 + 40
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + bmp_info_header(width, height, 24, len(pixels), 0) + bytes(pixels))


def icon_image(rgb_rows, bits, palette):
    """One icon DIB: header with doubled height, palette, XOR bitmap and AND mask (1 = transparent)."""
    size = len(rgb_rows)
    index_of = {c: i for i, c in enumerate(palette)}
    xor_rows = [[0 if c is None else index_of[c] for c in row] for row in rgb_rows]
    and_rows = [[1 if c is None else 0 for c in row] for row in rgb_rows]
    xor = pack_rows(xor_rows, bits)
    mask = pack_rows(and_rows, 1)
    count = 1 << bits
    return (bmp_info_header(size, size * 2, bits, len(xor) + len(mask), 0) + palette_bytes(palette, count) + xor +
            mask)


def write_ico(path, images):
    """images: list of (rgb_rows, bits, palette); rgb_rows hold (r, g, b) or None for transparent."""
    blobs = [icon_image(rows, bits, pal) for rows, bits, pal in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for (rows, bits, _), blob in zip(images, blobs):
        size = len(rows)
        colour_count = (1 << bits) if bits < 8 else 0
        out += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    with open(path, "wb") as f:
        f.write(bytes(out))


# ---------------------------------------------------------------------------
# Pixel canvas for icons: every pixel holds a material (16-colour and 256-colour look) or None
# ---------------------------------------------------------------------------

# name: (colour in the 16-colour image, colour in the 256-colour image)
MATERIALS = {
    "k": (VGA16[0], (0, 0, 0)),  # outline
    "w": (VGA16[15], (255, 255, 255)),  # highlight
    "hl": (VGA16[15], (250, 247, 234)),  # beige highlight
    "be": (VGA16[7], (222, 214, 188)),  # beige
    "bm": (VGA16[7], (196, 188, 162)),  # beige, turned away from the light
    "bd": (VGA16[8], (146, 138, 112)),  # beige shadow
    "bx": (VGA16[8], (104, 98, 80)),  # beige deep shadow
    "g": (VGA16[8], (128, 128, 128)),  # grey
    "lg": (VGA16[7], (192, 192, 192)),  # light grey
    "sd": (VGA16[4], (16, 32, 96)),  # screen, dark
    "sc": (VGA16[6], (0, 112, 148)),  # screen
    "sl": (VGA16[14], (96, 208, 232)),  # screen glare
    "nv": (VGA16[4], (0, 0, 128)),  # navy
    "led": (VGA16[10], (0, 230, 0)),  # power light
    "bb": (VGA16[12], (40, 88, 216)),  # box front
    "bl": (VGA16[14], (120, 168, 255)),  # box top, lit
    "bk": (VGA16[4], (16, 40, 136)),  # box side, shaded
    "yl": (VGA16[11], (255, 224, 32)),  # box stripe
    "rd": (VGA16[9], (224, 32, 32)),  # box stripe
    "dg": (VGA16[8], (80, 80, 80)),  # cable
}


class Pix:

    def __init__(self, size):
        self.size = size
        self.px = [[None] * size for _ in range(size)]

    def put(self, x, y, m):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = m

    def rect(self, x0, y0, x1, y1, m):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, m)

    def hline(self, x0, x1, y, m):
        self.rect(x0, y, x1, y, m)

    def vline(self, x, y0, y1, m):
        self.rect(x, y0, x, y1, m)

    def line(self, x0, y0, x1, y1, m):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.put(x0, y0, m)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def poly(self, pts, m):
        """Fills the pixels whose centres lie inside the polygon (pixel coordinates of corners)."""
        ys = [p[1] for p in pts]
        for y in range(max(0, int(min(ys))), min(self.size, int(math.ceil(max(ys))) + 1)):
            yc = y + 0.5
            xs = []
            for i in range(len(pts)):
                (ax, ay), (bx, by) = pts[i], pts[(i + 1) % len(pts)]
                if (ay <= yc < by) or (by <= yc < ay):
                    xs.append(ax + (yc - ay) * (bx - ax) / (by - ay))
            xs.sort()
            for k in range(0, len(xs) - 1, 2):
                for x in range(int(math.ceil(xs[k] - 0.5)), int(math.ceil(xs[k + 1] - 0.5))):
                    self.put(x, y, m)

    def bevel(self, x0, y0, x1, y1, face, light, dark, outline="k"):
        """A raised Windows-style block: black outline, light top-left edge, dark bottom-right edge."""
        self.rect(x0, y0, x1, y1, outline)
        self.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, face)
        self.hline(x0 + 1, x1 - 1, y0 + 1, light)
        self.vline(x0 + 1, y0 + 1, y1 - 1, light)
        self.hline(x0 + 1, x1 - 1, y1 - 1, dark)
        self.vline(x1 - 1, y0 + 1, y1 - 1, dark)

    def outline_shape(self, m="k"):
        """Puts an outline on every empty pixel that touches a drawn pixel side-on."""
        edge = []
        for y in range(self.size):
            for x in range(self.size):
                if self.px[y][x] is None:
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                        nx, ny = x + dx, y + dy
                        if 0 <= nx < self.size and 0 <= ny < self.size and self.px[ny][nx] is not None:
                            edge.append((x, y))
                            break
        for x, y in edge:
            self.px[y][x] = m

    def mirrored(self):
        out = Pix(self.size)
        out.px = [list(reversed(row)) for row in self.px]
        return out

    def rgb(self, variant):
        return [[None if m is None else MATERIALS[m][variant] for m in row] for row in self.px]


def icon_set(pictures):
    """The 16-colour and 256-colour images of each picture (largest first)."""
    images = []
    for pic in pictures:
        images.append((pic.rgb(0), 4, VGA16))
    palette = list(VGA16)
    for pic in pictures:
        for row in pic.rgb(1):
            for c in row:
                if c is not None and c not in palette:
                    palette.append(c)
    for pic in pictures:
        images.append((pic.rgb(1), 8, palette))
    return images


# ---------------------------------------------------------------------------
# Icon 115: a computer with a setup box
# ---------------------------------------------------------------------------


def draw_monitor(p, x0, y0, x1, y1, inset, chin):
    """Monitor front: bevelled beige bezel around a sunken teal screen with a glare."""
    p.bevel(x0, y0, x1, y1, "be", "hl", "bd")
    sx0, sy0, sx1, sy1 = x0 + inset, y0 + inset, x1 - inset, y1 - chin
    # Sunken screen edge: dark on top-left, light on bottom-right.
    p.hline(sx0 - 1, sx1 + 1, sy0 - 1, "bd")
    p.vline(sx0 - 1, sy0 - 1, sy1 + 1, "bd")
    p.hline(sx0 - 1, sx1 + 1, sy1 + 1, "hl")
    p.vline(sx1 + 1, sy0 - 1, sy1 + 1, "hl")
    p.rect(sx0, sy0, sx1, sy1, "k")
    p.rect(sx0 + 1, sy0 + 1, sx1, sy1, "sc")
    p.hline(sx0 + 1, sx1, sy0 + 1, "sd")
    p.vline(sx0 + 1, sy0 + 1, sy1, "sd")
    return sx0, sy0, sx1, sy1


def pixel_box(p, x0, y0, x1, y1, d, front, top, side, light="w", dark="bd"):
    """A box in the icon style: front face x0..x1/y0..y1, top and right faces d pixels deep, black silhouette."""
    for k in range(1, d + 1):
        p.hline(x0 + k, x1 + k, y0 - k, top)
        p.vline(x1 + k, y0 - k, y1 - k, side)
    p.rect(x0, y0, x1, y1, front)
    # Silhouette.
    p.vline(x0, y0, y1, "k")
    p.hline(x0, x1, y1, "k")
    p.hline(x0 + d, x1 + d, y0 - d, "k")
    p.vline(x1 + d, y0 - d, y1 - d, "k")
    for k in range(d + 1):
        p.put(x0 + k, y0 - k, "k")
        p.put(x1 + k, y1 - k, "k")
    # Edges between the faces and the lit and shaded rims of the front.
    p.hline(x0 + 1, x1 - 1, y0, light)
    p.vline(x0 + 1, y0 + 1, y1 - 1, light)
    p.hline(x0 + 2, x1 - 1, y1 - 1, dark)
    p.vline(x1, y0, y1, "k")
    for k in range(1, d):
        p.put(x1 + k, y0 - k, light)


def draw_setup_32():
    p = Pix(32)
    # Desktop case with a floppy slot and lights.
    pixel_box(p, 0, 20, 23, 28, 3, "be", "hl", "bm")
    p.hline(3, 11, 23, "k")
    p.hline(3, 11, 24, "w")
    p.hline(8, 10, 26, "bd")
    p.put(3, 26, "led")
    p.put(5, 26, "bd")
    # Monitor on its stand.
    p.rect(8, 15, 15, 18, "bm")
    p.vline(7, 15, 18, "k")
    p.vline(16, 15, 17, "k")
    p.hline(8, 15, 18, "bd")
    sx0, sy0, sx1, sy1 = draw_monitor(p, 2, 0, 21, 15, 3, 4)
    p.poly([(sx0 + 3, sy0 + 1), (sx0 + 7, sy0 + 1), (sx0 + 1, sy0 + 7), (sx0 + 1, sy0 + 3)], "sl")
    p.put(sx0 + 2, sy0 + 2, "w")
    p.put(18, 12, "led")
    p.hline(5, 8, 12, "bd")
    # The software box, standing in front at the right, a diskette on its front.
    fx0, fy0, fx1, fy1 = 14, 18, 26, 31
    pixel_box(p, fx0, fy0, fx1, fy1, 4, "bb", "bl", "bk", light="bl", dark="bk")
    p.hline(fx0 + 1, fx1 - 1, fy0 + 8, "yl")
    p.hline(fx0 + 1, fx1 - 1, fy0 + 9, "rd")
    dx0, dy0 = fx0 + 3, fy0 + 2
    p.rect(dx0, dy0, dx0 + 6, dy0 + 5, "k")
    p.rect(dx0 + 1, dy0 + 1, dx0 + 5, dy0 + 4, "lg")
    p.rect(dx0 + 2, dy0, dx0 + 4, dy0 + 1, "w")
    p.hline(dx0 + 2, dx0 + 4, dy0 + 3, "w")
    p.hline(dx0 + 2, dx0 + 4, dy0 + 4, "w")
    p.hline(fx0 + 3, fx1 - 2, fy1 - 3, "bl")
    p.hline(fx0 + 3, fx1 - 5, fy1 - 2, "bl")
    return p


def draw_setup_16():
    p = Pix(16)
    # Case.
    p.rect(0, 10, 11, 14, "k")
    p.rect(1, 11, 10, 13, "be")
    p.hline(1, 10, 11, "w")
    p.hline(1, 10, 13, "bd")
    p.hline(6, 9, 12, "k")
    p.put(2, 12, "led")
    # Monitor.
    p.rect(4, 9, 7, 9, "bd")
    p.bevel(1, 0, 11, 9, "be", "hl", "bd")
    p.rect(3, 2, 9, 6, "sc")
    p.hline(3, 9, 2, "sd")
    p.vline(3, 2, 6, "sd")
    p.put(4, 3, "sl")
    p.put(5, 3, "sl")
    p.put(4, 4, "sl")
    # Box.
    p.poly([(8, 8), (13, 8), (15, 6), (10, 6)], "bl")
    p.poly([(13, 8), (15, 6), (15, 13), (13, 15)], "bk")
    p.rect(8, 8, 13, 15, "bb")
    p.hline(9, 15, 5, "k")
    p.line(7, 7, 9, 5, "k")
    p.vline(15, 5, 13, "k")
    p.line(14, 15, 15, 14, "k")
    p.vline(7, 7, 15, "k")
    p.hline(7, 13, 15, "k")
    p.vline(13, 8, 14, "k")
    p.hline(8, 12, 8, "w")
    p.line(13, 8, 14, 7, "w")
    p.rect(9, 10, 11, 12, "lg")
    p.hline(9, 11, 10, "w")
    p.hline(8, 12, 13, "yl")
    return p


# ---------------------------------------------------------------------------
# Icon 141: a two-button mouse, cable going up-left; icon 143 is its mirror image
# ---------------------------------------------------------------------------


def mouse_outline(cx, top, bottom, half_front, half_back, steps=64, roundness=2.6):
    """Top view of a mouse body: a superellipse, a little narrower at the front (top) than at the back."""
    pts = []
    mid, half_h = (top + bottom) / 2, (bottom - top) / 2
    e = 2.0 / roundness
    for i in range(steps):
        t = 2 * math.pi * i / steps
        s, c = math.sin(t), math.cos(t)
        y = mid - half_h * math.copysign(abs(c)**e, c)
        half = lerp(half_front, half_back, (y - top) / (bottom - top))
        pts.append((cx + half * math.copysign(abs(s)**e, s), y))
    return pts


def draw_mouse_32():
    p = Pix(32)
    # Cable: out of the front of the mouse, bending up and away to the left.
    cable = [(19, 8), (19, 6), (18, 4), (16, 3), (13, 3), (10, 4), (7, 4), (4, 3), (2, 1), (1, 0)]
    for (ax, ay), (bx, by) in zip(cable, cable[1:]):
        p.line(ax, ay, bx, by, "dg")
    body = mouse_outline(19.0, 7.0, 31.0, 7.0, 9.0)
    p.poly(body, "be")
    # Shade the right and lower part, light the upper left.
    for y in range(32):
        for x in range(32):
            if p.px[y][x] == "be":
                if x + 0.5 > 19 + 5.5 - (y - 7) * 0.05 or y > 28:
                    p.px[y][x] = "bm"
    p.outline_shape("k")
    # Edge light and shadow just inside the outline.
    inside = [[p.px[y][x] in ("be", "bm") for x in range(32)] for y in range(32)]
    for y in range(32):
        for x in range(32):
            if not inside[y][x]:
                continue
            left = x == 0 or not inside[y][x - 1]
            up = y == 0 or not inside[y - 1][x]
            right = x == 31 or not inside[y][x + 1]
            down = y == 31 or not inside[y + 1][x]
            if (left or up) and x < 21:
                p.px[y][x] = "hl"
            elif right or down:
                p.px[y][x] = "bd"
    # Buttons: a seam across, and a split between left and right button.
    seam_y = 16
    for x in range(32):
        if inside[seam_y][x]:
            p.px[seam_y][x] = "bx"
            if inside[seam_y + 1][x]:
                p.px[seam_y + 1][x] = "hl" if x < 24 else p.px[seam_y + 1][x]
    for y in range(8, seam_y):
        if inside[y][19]:
            p.px[y][19] = "bx"
            p.px[y][20] = "hl" if inside[y][20] and p.px[y][20] not in ("bd",) else p.px[y][20]
    # Cable joins the body through a small strain relief.
    p.rect(18, 6, 20, 7, "k")
    p.put(19, 6, "g")
    p.put(19, 7, "dg")
    return p


def draw_mouse_16():
    p = Pix(16)
    cable = [(9, 4), (9, 2), (7, 1), (4, 2), (1, 1), (0, 0)]
    for (ax, ay), (bx, by) in zip(cable, cable[1:]):
        p.line(ax, ay, bx, by, "dg")
    body = mouse_outline(9.5, 3.5, 15.5, 3.6, 4.6)
    p.poly(body, "be")
    p.outline_shape("k")
    inside = [[p.px[y][x] == "be" for x in range(16)] for y in range(16)]
    for y in range(16):
        for x in range(16):
            if not inside[y][x]:
                continue
            if (x == 0 or not inside[y][x - 1] or not inside[y - 1][x]) and x < 10:
                p.px[y][x] = "hl"
            elif not inside[y][x + 1] or y == 15 or not inside[y + 1][x]:
                p.px[y][x] = "bd"
    for x in range(16):
        if inside[8][x]:
            p.px[8][x] = "bx"
    for y in range(4, 8):
        if inside[y][9]:
            p.px[y][9] = "bx"
    p.put(9, 3, "k")
    return p


# ---------------------------------------------------------------------------
# Smooth (supersampled) renderer for the bitmaps
# ---------------------------------------------------------------------------


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c0, c1, t):
    t = max(0.0, min(1.0, t))
    return (lerp(c0[0], c1[0], t), lerp(c0[1], c1[1], t), lerp(c0[2], c1[2], t))


def shade(c, f):
    """Scales a colour towards black (f < 1) or white (f > 1)."""
    if f <= 1:
        return (c[0] * f, c[1] * f, c[2] * f)
    return mix(c, (255, 255, 255), f - 1)


def linear(p0, c0, p1, c1):
    """A paint that runs from colour c0 at point p0 to c1 at point p1."""
    dx, dy = p1[0] - p0[0], p1[1] - p0[1]
    length2 = dx * dx + dy * dy or 1.0

    def paint(x, y):
        return mix(c0, c1, ((x - p0[0]) * dx + (y - p0[1]) * dy) / length2)

    return paint


class Raster:

    def __init__(self, width, height, scale, background):
        self.w, self.h, self.s = width, height, scale
        self.sw, self.sh = width * scale, height * scale
        self.buf = [None] * (self.sw * self.sh)
        self.fill_rect(0, 0, width, height, background)

    def fill_poly(self, pts, paint, alpha=1.0):
        s = self.s
        sp = [(x * s, y * s) for x, y in pts]
        ys = [p[1] for p in sp]
        y0 = max(0, int(math.floor(min(ys))))
        y1 = min(self.sh - 1, int(math.ceil(max(ys))))
        solid = not callable(paint)
        n = len(sp)
        for sy in range(y0, y1 + 1):
            yc = sy + 0.5
            xs = []
            for i in range(n):
                ax, ay = sp[i]
                bx, by = sp[(i + 1) % n]
                if (ay <= yc < by) or (by <= yc < ay):
                    xs.append(ax + (yc - ay) * (bx - ax) / (by - ay))
            xs.sort()
            base = sy * self.sw
            for k in range(0, len(xs) - 1, 2):
                xa = max(0, int(math.ceil(xs[k] - 0.5)))
                xb = min(self.sw, int(math.ceil(xs[k + 1] - 0.5)))
                for sx in range(xa, xb):
                    c = paint if solid else paint((sx + 0.5) / s, yc / s)
                    if alpha < 1.0:
                        c = mix(self.buf[base + sx], c, alpha)
                    self.buf[base + sx] = c

    def fill_rect(self, x0, y0, x1, y1, paint, alpha=1.0):
        self.fill_poly([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], paint, alpha)

    def fill_ellipse(self, cx, cy, rx, ry, paint, alpha=1.0, angle=0.0, steps=72):
        self.fill_poly(ellipse_pts(cx, cy, rx, ry, angle, steps), paint, alpha)

    def stroke(self, pts, width, paint, closed=False, alpha=1.0):
        """Draws each segment of a polyline as a band of the given width, with square joins."""
        segs = list(zip(pts, pts[1:] + pts[:1] if closed else pts[1:]))
        for (ax, ay), (bx, by) in segs:
            dx, dy = bx - ax, by - ay
            length = math.hypot(dx, dy) or 1.0
            ux, uy = dx / length * width / 2, dy / length * width / 2
            nx, ny = -uy, ux
            self.fill_poly([(ax - ux + nx, ay - uy + ny), (bx + ux + nx, by + uy + ny), (bx + ux - nx, by + uy - ny),
                            (ax - ux - nx, ay - uy - ny)], paint, alpha)

    def image(self):
        s = self.s
        area = s * s
        out = []
        for y in range(self.h):
            row = []
            for x in range(self.w):
                r = g = b = 0.0
                for sy in range(y * s, y * s + s):
                    base = sy * self.sw
                    for sx in range(x * s, x * s + s):
                        c = self.buf[base + sx]
                        r += c[0]
                        g += c[1]
                        b += c[2]
                row.append(tuple(max(0, min(255, int(v / area + 0.5))) for v in (r, g, b)))
            out.append(row)
        return out


def ellipse_pts(cx, cy, rx, ry, angle=0.0, steps=72):
    ca, sa = math.cos(angle), math.sin(angle)
    pts = []
    for i in range(steps):
        t = 2 * math.pi * i / steps
        x, y = rx * math.cos(t), ry * math.sin(t)
        pts.append((cx + x * ca - y * sa, cy + x * sa + y * ca))
    return pts


def rounded_rect_pts(x0, y0, x1, y1, r, steps=6):
    pts = []
    for cx, cy, a0 in ((x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0), (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)):
        for i in range(steps + 1):
            a = math.radians(a0 + 90 * i / steps)
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


# Colours of the bitmaps.
BEIGE = (218, 210, 184)
BEIGE_LIGHT = (244, 240, 224)
BEIGE_SIDE = (168, 160, 134)
BEIGE_DARK = (110, 104, 84)
OUTLINE = (24, 22, 18)
SCREEN_DARK = (8, 20, 72)
SCREEN_LIGHT = (0, 120, 160)
DIALOG_GREY = (192, 192, 192)

# Screen offset of one unit of depth (going back = up and to the right).
DEPTH_X, DEPTH_Y = 0.55, -0.36


def back(pt, depth):
    return (pt[0] + DEPTH_X * depth, pt[1] + DEPTH_Y * depth)


def draw_box(r, x0, y0, x1, y1, depth, front, top, side, edge=OUTLINE, edge_width=0.7):
    """A box seen from the front, a little from above and from the right; returns its corners."""
    tl, tr, br, bl = (x0, y0), (x1, y0), (x1, y1), (x0, y1)
    btl, btr, bbr = back(tl, depth), back(tr, depth), back(br, depth)
    r.fill_poly([tl, tr, btr, btl], top)
    r.fill_poly([tr, btr, bbr, br], side)
    r.fill_poly([tl, tr, br, bl], front)
    if edge is not None:
        r.stroke([bl, tl, btl, btr, bbr, br, bl], edge_width, edge, closed=False)
        r.stroke([tl, tr, br], edge_width * 0.8, edge)
        r.stroke([tr, btr], edge_width * 0.8, edge)
    return tl, tr, br, bl


def bevel_lines(r, x0, y0, x1, y1, light, dark, width=0.9, inset=0.9):
    """Windows-style raised edge just inside a rectangle: light top-left, dark bottom-right."""
    r.stroke([(x0 + inset, y1 - inset), (x0 + inset, y0 + inset), (x1 - inset, y0 + inset)], width, light)
    r.stroke([(x1 - inset, y0 + inset), (x1 - inset, y1 - inset), (x0 + inset, y1 - inset)], width, dark)


# ---------------------------------------------------------------------------
# Bitmap 10551: a computer with disks (129 x 249)
# ---------------------------------------------------------------------------


def wizard_background(x, y):
    t = y / 249.0
    top, mid, bottom = (0, 104, 124), (0, 40, 72), (0, 0, 8)
    c = mix(top, mid, t / 0.55) if t < 0.55 else mix(mid, bottom, (t - 0.55) / 0.45)
    # A soft light falling from the upper left.
    glow = max(0.0, 1.0 - math.hypot(x - 30, y - 40) / 150.0)
    return mix(c, (40, 170, 180), glow * 0.35)


def draw_monitor_big(r, x0, y0, x1, y1):
    # Picture tube housing behind the bezel, narrowing towards the back.
    slab = 7
    tube_in, tube_depth = 9, 44
    a_tl, a_tr, a_br = back((x0 + tube_in, y0 + tube_in * 0.6), slab), back((x1 - tube_in, y0 + tube_in * 0.6),
                                                                           slab), back((x1 - tube_in, y1 - 4), slab)
    b_tl = back((x0 + tube_in + 12, y0 + tube_in + 10), tube_depth)
    b_tr = back((x1 - tube_in - 12, y0 + tube_in + 10), tube_depth)
    b_br = back((x1 - tube_in - 12, y1 - 14), tube_depth)
    r.fill_poly([a_tl, a_tr, b_tr, b_tl], linear(a_tl, BEIGE_LIGHT, b_tl, BEIGE))
    r.fill_poly([a_tr, b_tr, b_br, a_br], linear(a_tr, BEIGE_SIDE, b_br, BEIGE_DARK))
    r.stroke([a_tl, b_tl, b_tr, b_br, a_br], 0.8, OUTLINE)
    r.stroke([a_tr, b_tr], 0.6, BEIGE_DARK)
    # Vent slots on top of the tube housing.
    for i in range(5):
        t = 0.3 + i * 0.09
        p0 = (lerp(a_tl[0], b_tl[0], t) + 8, lerp(a_tl[1], b_tl[1], t))
        p1 = (lerp(a_tr[0], b_tr[0], t) - 8, lerp(a_tr[1], b_tr[1], t))
        r.stroke([p0, p1], 0.8, BEIGE_SIDE)
    # Bezel slab.
    draw_box(r, x0, y0, x1, y1, slab, linear((x0, y0), BEIGE_LIGHT, (x1, y1), BEIGE),
             linear(back((x0, y0), slab), BEIGE_LIGHT, (x0, y0), (250, 248, 236)), BEIGE_SIDE)
    bevel_lines(r, x0, y0, x1, y1, (255, 255, 250), BEIGE_SIDE)
    # Screen, sunken into the bezel.
    sx0, sy0, sx1, sy1 = x0 + 7, y0 + 6, x1 - 7, y1 - 11
    r.fill_poly(rounded_rect_pts(sx0 - 2, sy0 - 2, sx1 + 2, sy1 + 2, 3), BEIGE_SIDE)
    r.fill_poly(rounded_rect_pts(sx0 - 1, sy0 - 1, sx1 + 2, sy1 + 2, 3), BEIGE_LIGHT)
    r.fill_poly(rounded_rect_pts(sx0 - 1, sy0 - 1, sx1 + 1, sy1 + 1, 3), BEIGE_DARK)
    r.fill_poly(rounded_rect_pts(sx0, sy0, sx1, sy1, 3), linear((sx0, sy0), SCREEN_DARK, (sx1, sy1), SCREEN_LIGHT))
    # A little setup dialog on the screen: title bar, text lines and a progress bar.
    wx0, wy0, wx1, wy1 = sx0 + 9, sy0 + 9, sx1 - 8, sy1 - 9
    r.fill_rect(wx0 + 1.5, wy0 + 1.5, wx1 + 1.5, wy1 + 1.5, (0, 0, 0), 0.45)
    r.fill_rect(wx0, wy0, wx1, wy1, DIALOG_GREY)
    r.fill_rect(wx0 + 0.8, wy0 + 0.8, wx1 - 0.8, wy0 + 5, linear((wx0, 0), (0, 0, 128), (wx1, 0), (16, 132, 208)))
    r.stroke([(wx0 + 0.3, wy1), (wx0 + 0.3, wy0 + 0.3), (wx1, wy0 + 0.3)], 0.6, (255, 255, 255))
    r.stroke([(wx1 - 0.3, wy0), (wx1 - 0.3, wy1 - 0.3), (wx0, wy1 - 0.3)], 0.6, (64, 64, 64))
    r.fill_rect(wx1 - 4.2, wy0 + 1.6, wx1 - 1.6, wy0 + 4.2, DIALOG_GREY)
    for i, length in enumerate((0.8, 0.6)):
        ly = wy0 + 8 + i * 3
        r.fill_rect(wx0 + 3, ly, wx0 + 3 + (wx1 - wx0 - 6) * length, ly + 1, (96, 96, 96))
    py0, py1 = wy1 - 7, wy1 - 3
    r.fill_rect(wx0 + 3, py0, wx1 - 3, py1, (255, 255, 255))
    r.stroke([(wx0 + 3, py1), (wx0 + 3, py0), (wx1 - 3, py0)], 0.6, (96, 96, 96))
    for i in range(6):
        bx = wx0 + 4 + i * 3.4
        r.fill_rect(bx, py0 + 1, bx + 2.6, py1 - 0.8, (0, 0, 128))
    # Glare across the glass.
    r.fill_poly([(sx0 + 1, sy0 + 14), (sx0 + 1, sy0 + 1), (sx0 + 24, sy0 + 1)], (255, 255, 255), 0.13)
    r.fill_poly([(sx0 + 1, sy0 + 22), (sx0 + 1, sy0 + 17), (sx0 + 30, sy0 + 1), (sx0 + 38, sy0 + 1)],
                (255, 255, 255), 0.07)
    # Controls on the chin: maker's badge, power light and button.
    r.fill_rect(x0 + 9, y1 - 7, x0 + 20, y1 - 5.5, BEIGE_SIDE)
    r.fill_ellipse(x1 - 15, y1 - 6, 1.3, 1.3, (40, 230, 40))
    r.fill_rect(x1 - 11, y1 - 8, x1 - 6, y1 - 4, BEIGE_DARK)
    r.fill_rect(x1 - 11, y1 - 8, x1 - 6.7, y1 - 4.7, BEIGE_LIGHT)
    r.fill_rect(x1 - 10.3, y1 - 7.3, x1 - 6.7, y1 - 4.7, BEIGE)


def draw_case_big(r, x0, y0, x1, y1, depth):
    draw_box(r, x0, y0, x1, y1, depth, linear((x0, y0), BEIGE_LIGHT, (x0, y1), BEIGE),
             linear(back((x0, y0), depth), BEIGE, (x1, y0), BEIGE_LIGHT), linear((x1, y0), BEIGE_SIDE, back(
                 (x1, y1), depth), BEIGE_DARK))
    bevel_lines(r, x0, y0, x1, y1, (255, 255, 250), BEIGE_SIDE)
    # Drive bays at the right: a 3.5" floppy drive over a CD-ROM drive.
    bx0, bx1 = x1 - 38, x1 - 5
    for by0, by1 in ((y0 + 4, y0 + 10), (y0 + 12, y0 + 18)):
        r.fill_rect(bx0, by0, bx1, by1, BEIGE_DARK)
        r.fill_rect(bx0 + 0.8, by0 + 0.8, bx1, by1, BEIGE_LIGHT)
        r.fill_rect(bx0 + 0.8, by0 + 0.8, bx1 - 0.8, by1 - 0.8, BEIGE)
    r.fill_rect(bx0 + 6, y0 + 6.3, bx1 - 6, y0 + 7.8, OUTLINE)
    r.fill_rect(bx1 - 6, y0 + 8.2, bx1 - 3, y0 + 9.2, BEIGE_DARK)
    r.fill_ellipse(bx0 + 3, y0 + 8.6, 0.9, 0.7, (60, 200, 60))
    r.fill_rect(bx0 + 2, y0 + 14.4, bx1 - 2, y0 + 15.1, BEIGE_DARK)
    r.fill_rect(bx1 - 7, y0 + 16, bx1 - 3, y0 + 17.2, BEIGE_DARK)
    r.fill_ellipse(bx0 + 3, y0 + 16.6, 0.7, 0.6, (230, 140, 20))
    # Power switch and lights at the left, vents in between.
    r.fill_rect(x0 + 5, y0 + 11, x0 + 12, y0 + 17, BEIGE_DARK)
    r.fill_rect(x0 + 5, y0 + 11, x0 + 11.2, y0 + 16.2, BEIGE_LIGHT)
    r.fill_rect(x0 + 5.8, y0 + 11.8, x0 + 11.2, y0 + 16.2, BEIGE)
    r.fill_ellipse(x0 + 7, y0 + 6, 1.2, 1.0, (40, 230, 40))
    r.fill_ellipse(x0 + 11, y0 + 6, 1.2, 1.0, (240, 160, 20))
    for i in range(7):
        vx = x0 + 18 + i * 3.2
        r.fill_rect(vx, y0 + 7, vx + 1.4, y1 - 5, BEIGE_DARK)
        r.fill_rect(vx + 1.4, y0 + 7, vx + 2, y1 - 5, BEIGE_LIGHT)


def key_quad(corner, u0, v0, u1, v1):
    return [corner(u0, v0), corner(u1, v0), corner(u1, v1), corner(u0, v1)]


def draw_keys(r, corner, layout, rows_span, key_colour, mod_colour, lift):
    """Keycaps on a keyboard's top face. corner(u, v) maps keyboard units to screen points."""
    for u0, v0, u1, v1, is_mod in layout:
        face = mod_colour if is_mod else key_colour
        g = 0.06
        skirt = key_quad(corner, u0 + g, v0 + g, u1 - g, v1 - g)
        r.fill_poly(skirt, shade(face, 0.66))
        top = [(x, y - lift) for x, y in key_quad(corner, u0 + 0.15, v0 + 0.08, u1 - 0.15, v1 - 0.3)]
        r.fill_poly(top, linear(top[0], shade(face, 1.12), top[2], face))
        r.stroke([top[3], top[0], top[1]], 0.35, shade(face, 1.35))


# Blocks of keys that sit in one well: (u0, v0, u1, v1) in key units.
KEY_GROUPS = [
    (0, 0, 1, 1), (2, 0, 6, 1), (6.5, 0, 10.5, 1), (11, 0, 15, 1), (15.5, 0, 18.5, 1),
    (0, 1.5, 15, 6.5), (15.5, 1.5, 18.5, 3.5), (16.5, 4.5, 17.5, 5.5), (15.5, 5.5, 18.5, 6.5), (19, 1.5, 23, 6.5),
]


def keyboard_layout():
    """A 101-key layout in key units: (u0, v0, u1, v1, is_modifier). Width 23 units, depth 6.5."""
    keys = []

    def row(v, widths, u=0.0, mods=()):
        for i, w in enumerate(widths):
            if w > 0:
                keys.append((u, v, u + w, v + 1, i in mods))
            u += abs(w)

    # Function row with its gaps.
    row(0, [1, -1, 1, 1, 1, 1, -0.5, 1, 1, 1, 1, -0.5, 1, 1, 1, 1], mods=(0, ))
    row(0, [1, 1, 1], 15.5, mods=(0, 1, 2))
    v = 1.5
    row(v, [1] * 13 + [2], mods=(13, ))
    row(v + 1, [1.5] + [1] * 12 + [1.5], mods=(0, ))
    row(v + 2, [1.75] + [1] * 11 + [2.25], mods=(0, 12))
    row(v + 3, [2.25] + [1] * 10 + [2.75], mods=(0, 11))
    row(v + 4, [1.5, -1, 1.5, 7, 1.5, -1, 1.5], mods=(0, 2, 4, 6))
    # Editing and cursor keys.
    row(v, [1, 1, 1], 15.5, mods=(0, 1, 2))
    row(v + 1, [1, 1, 1], 15.5, mods=(0, 1, 2))
    row(v + 3, [1], 16.5, mods=(0, ))
    row(v + 4, [1, 1, 1], 15.5, mods=(0, 1, 2))
    # Numeric keypad.
    row(v, [1, 1, 1, 1], 19, mods=(0, 1, 2, 3))
    row(v + 1, [1, 1, 1], 19)
    row(v + 2, [1, 1, 1], 19)
    row(v + 3, [1, 1, 1], 19)
    row(v + 4, [2, 1], 19)
    keys.append((22, v + 1, 23, v + 3, True))
    keys.append((22, v + 3, 23, v + 5, True))
    return keys


def draw_keyboard_body(r, fl, fr, bl, br, thickness, layout, key_colour, mod_colour, lift, margin_u, margin_v,
                       units_u, units_v):
    """Keyboard as a slab: top face fl-fr-br-bl (front left/right, back left/right) and a front face."""
    front = [fl, fr, (fr[0], fr[1] + thickness), (fl[0], fl[1] + thickness)]
    r.fill_poly(front, linear(fl, BEIGE_SIDE, (fl[0], fl[1] + thickness), BEIGE_DARK))
    r.fill_poly([fl, fr, br, bl], linear(bl, BEIGE_LIGHT, fl, BEIGE))
    r.stroke([fl, bl, br, fr], 0.6, (255, 255, 248))
    r.stroke([bl, br], 0.5, BEIGE_DARK)

    def corner(u, v):
        s = (u + margin_u) / (units_u + 2 * margin_u)
        t = (v + margin_v) / (units_v + margin_v + 0.8)
        b = (lerp(bl[0], br[0], s), lerp(bl[1], br[1], s))
        f = (lerp(fl[0], fr[0], s), lerp(fl[1], fr[1], s))
        return (lerp(b[0], f[0], t), lerp(b[1], f[1], t))

    # Sunken wells around each group of keys.
    for u0, v0, u1, v1 in KEY_GROUPS:
        well = key_quad(corner, u0 - 0.12, v0 - 0.12, u1 + 0.12, v1 + 0.12)
        r.fill_poly(well, shade(BEIGE, 0.6))
        r.stroke([well[3], well[2], well[1]], 0.45, BEIGE_LIGHT)
    draw_keys(r, corner, layout, 6.5, key_colour, mod_colour, lift)
    # Three status lights above the keypad.
    for i in range(3):
        x, y = corner(19.5 + i * 1.1, -0.8)
        r.fill_ellipse(x, y, 0.6, 0.45, (40, 200, 40) if i == 0 else BEIGE_DARK)
    r.stroke(front + front[:1], 0.7, OUTLINE)
    r.stroke([fl, bl, br, fr], 0.7, OUTLINE)
    return corner


def draw_floppy(r, cx, cy, size, angle, body):
    """An upright 3.5" diskette: body with a cut corner, metal shutter at the top, paper label below."""
    ca, sa = math.cos(angle), math.sin(angle)

    def tr(pts):
        return [(cx + (x - 0.5) * size * ca - (y - 0.5) * size * sa, cy + (x - 0.5) * size * sa + (y - 0.5) * size * ca)
                for x, y in pts]

    outline = tr([(0.02, 0.0), (0.93, 0.0), (1.0, 0.07), (1.0, 1.0), (0.0, 1.0), (0.0, 0.02)])
    r.fill_poly([(x + 2.5, y + 2.5) for x, y in outline], (0, 0, 0), 0.45)
    r.fill_poly(outline, linear(outline[0], shade(body, 1.25), outline[3], shade(body, 0.75)))
    r.stroke(tr([(0.02, 0.98), (0.02, 0.02), (0.92, 0.02)]), 0.7, shade(body, 1.6))
    r.stroke(tr([(0.98, 0.08), (0.98, 0.98), (0.02, 0.98)]), 0.7, shade(body, 0.5))
    # Shutter with its window.
    shutter = tr([(0.22, 0.0), (0.78, 0.0), (0.78, 0.36), (0.22, 0.36)])
    r.fill_poly(shutter, linear(shutter[0], (236, 236, 240), shutter[2], (140, 144, 152)))
    r.stroke([shutter[3], shutter[2], shutter[1]], 0.5, (80, 80, 88))
    r.fill_poly(tr([(0.56, 0.05), (0.70, 0.05), (0.70, 0.30), (0.56, 0.30)]), (40, 40, 48))
    # Label with a few written lines.
    label = tr([(0.1, 0.46), (0.9, 0.46), (0.9, 1.0), (0.1, 1.0)])
    r.fill_poly(label, linear(label[0], (255, 255, 250), label[2], (212, 212, 204)))
    r.stroke([label[3], label[0], label[1]], 0.4, (150, 150, 150))
    for i, (a, b) in enumerate(((0.16, 0.7), (0.16, 0.84), (0.16, 0.6))):
        ly = 0.6 + i * 0.11
        r.stroke(tr([(a, ly), (b, ly)]), 0.6, (60, 60, 140) if i == 0 else (150, 150, 170))
    r.stroke(outline, 0.6, OUTLINE, closed=True)


def draw_cd(r, cx, cy, radius):
    """A compact disc face-on: silver with rainbow sheen, clear inner ring and the centre hole."""
    r.fill_ellipse(cx + 2.5, cy + 2.5, radius, radius, (0, 0, 0), 0.45)

    def sheen(x, y):
        a = math.atan2(y - cy, x - cx)
        d = math.hypot(x - cx, y - cy) / radius
        hue = (a * 2 / (2 * math.pi)) % 1.0
        rainbow = tuple(127.5 + 127.5 * math.cos(2 * math.pi * (hue - k / 3.0)) for k in range(3))
        base = mix((226, 228, 234), (150, 154, 168), 0.5 + 0.5 * math.sin(a * 2 + 0.8))
        return mix(base, rainbow, 0.28 * (0.4 + 0.6 * d))

    r.fill_ellipse(cx, cy, radius, radius, sheen)
    r.fill_ellipse(cx, cy, radius * 0.34, radius * 0.34, (196, 200, 208))
    r.fill_ellipse(cx, cy, radius * 0.3, radius * 0.3, (232, 234, 240))
    r.fill_ellipse(cx, cy, radius * 0.13, radius * 0.13, wizard_background)
    r.stroke(ellipse_pts(cx, cy, radius * 0.13, radius * 0.13, 0, 24), 0.5, (110, 110, 120), closed=True)
    r.stroke(ellipse_pts(cx, cy, radius, radius), 0.7, (70, 72, 84), closed=True)
    # Reflections of the light.
    r.fill_poly([(cx, cy), back((cx - radius * 0.2, cy - radius), 0)] +
                ellipse_pts(cx, cy, radius * 0.97, radius * 0.97)[48:55], (255, 255, 255), 0.35)


def draw_wizard():
    r = Raster(129, 249, 4, wizard_background)
    dy = 6  # the computer's height in the picture
    # Shadow of the computer on the desk.
    r.fill_ellipse(66, 164 + dy, 62, 12, (0, 0, 0), 0.45)
    draw_case_big(r, 12, 136 + dy, 104, 160 + dy, 34)
    # Monitor stand on the case.
    neck_top, neck_bottom = 114 + dy, 130 + dy
    neck = [back((46, neck_top), 12), back((70, neck_top), 12), back((70, neck_bottom), 12),
            back((46, neck_bottom), 12)]
    r.fill_poly(neck, linear(neck[0], BEIGE_SIDE, neck[3], BEIGE_DARK))
    r.stroke(neck + neck[:1], 0.6, OUTLINE)
    foot_x, foot_y = back((58, neck_bottom), 12)
    r.fill_ellipse(foot_x, foot_y - 0.5, 19, 4.2, BEIGE_DARK)
    r.fill_ellipse(foot_x, foot_y - 1.5, 19, 4.2, BEIGE)
    r.stroke(ellipse_pts(foot_x, foot_y - 1.0, 19.3, 4.7), 0.6, OUTLINE, True)
    draw_monitor_big(r, 20, 52 + dy, 92, 116 + dy)
    # Keyboard in front of the computer.
    r.fill_ellipse(62, 188 + dy, 60, 7, (0, 0, 0), 0.4)
    fl, fr = (3, 184 + dy), (101, 184 + dy)
    bl, br = back(fl, 40), back(fr, 40)
    draw_keyboard_body(r, fl, fr, bl, br, 4, keyboard_layout(), (236, 230, 210), (210, 204, 184), 0.6, 0.6, 1.2,
                       23.0, 6.5)
    # Disks in front: a CD behind three fanned diskettes.
    draw_cd(r, 94, 218, 23)
    draw_floppy(r, 29, 219, 35, math.radians(-16), (40, 40, 48))
    draw_floppy(r, 50, 221, 35, math.radians(-3), (32, 72, 180))
    draw_floppy(r, 72, 224, 35, math.radians(11), (176, 36, 36))
    return r.image()


# ---------------------------------------------------------------------------
# Bitmap 146: a keyboard (186 x 50) on the dialog grey
# ---------------------------------------------------------------------------


def draw_keyboard_bitmap():
    r = Raster(186, 50, 4, DIALOG_GREY)
    fl, fr = (2.5, 42.5), (183.5, 42.5)
    bl, br = (9.5, 4.5), (176.5, 4.5)
    # Shadow on the dialog, down and to the right, in the system's shadow grey.
    r.fill_poly([(fl[0] + 2, fl[1] + 5), (fr[0] + 1.5, fr[1] + 5), (br[0] + 2, br[1] + 3), (fr[0] + 2, fr[1])],
                (128, 128, 128))
    r.fill_poly([(fl[0] + 1, fl[1] + 2), (fr[0] + 1.5, fr[1] + 2), (fr[0] + 1.5, fr[1] + 5.5),
                 (fl[0] + 1.5, fl[1] + 5.5)], (128, 128, 128))
    draw_keyboard_body(r, fl, fr, bl, br, 4, keyboard_layout(), (240, 235, 218), (214, 208, 188), 0.9, 0.6, 1.2,
                       23.0, 6.5)
    return r.image()


# ---------------------------------------------------------------------------


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "setup", "res")
    os.makedirs(out_dir, exist_ok=True)
    write_ico(os.path.join(out_dir, "setup.ico"), icon_set([draw_setup_32(), draw_setup_16()]))
    mouse = [draw_mouse_32(), draw_mouse_16()]
    write_ico(os.path.join(out_dir, "mouse_right.ico"), icon_set(mouse))
    write_ico(os.path.join(out_dir, "mouse_left.ico"), icon_set([m.mirrored() for m in mouse]))
    write_bmp24(os.path.join(out_dir, "keyboard.bmp"), draw_keyboard_bitmap())
    write_bmp24(os.path.join(out_dir, "wizard.bmp"), draw_wizard())


if __name__ == "__main__":
    main()
