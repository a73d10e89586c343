#!/usr/bin/env python3
"""Draws Kelvane's icon: a CRT monitor showing a green refresh wave.

Usage: make_icon.py [OUTPUT]   (default: res/Kelvane.ico beside this script)

Writes 48, 32 and 16 pixel images at three depths: 32-bit with alpha (XP and
later), 256 colours and 16 colours (Windows 2000 and 8-bit desktops, which
ignore alpha and go by the AND mask). Every image is a plain BMP entry,
because Windows 2000 cannot read PNG-compressed icon images. The output is
the same byte for byte on every run, so the icon in git can be checked
against this script.
"""

import math
import os
import struct
import sys

SIZES = (48, 32, 16)
SUPERSAMPLE = 8

# The sixteen colours every VGA card shows, in the order Windows keeps them.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


# ---------------------------------------------------------------- geometry

def rounded_rect(x0, y0, x1, y1, r):
    """Signed distance to a rounded rectangle: negative inside, in pixels."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return sdf


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


class Monitor:
    """The drawing for one icon size. Edges are snapped to whole pixels so the
    small sizes stay crisp instead of turning into grey mush."""

    def __init__(self, n):
        self.n = n
        px = lambda f: round(f * n)
        if n < 24:
            # At 16 pixels every row counts: no rim round the glass, a taller
            # chin, and a single period of wave drawn pixel by pixel.
            self.line = 1.0
            self.body = rounded_rect(0, 0, n, 13, 2.0)
            self.screen = rounded_rect(2, 2, n - 2, 10, 1.0)
            self.glass = self.screen
            self.neck = rounded_rect(6, 12, n - 6, 14, 0.5)
            self.base = rounded_rect(3, 14, n - 3, n, 1.0)
            self.led = None
            self.wave_x0, self.wave_x1 = 3.0, n - 3.0
            self.wave_mid, self.wave_amp, self.wave_half = 6.0, 2.5, 0.75
            self.periods, self.wave_fill, self.wave_cap = 1.0, 0.45, 0.0
            self.stand_line = 0.5
            self.crisp_wave = True
        else:
            self.line = 1.0 if n < 40 else 1.5  # outline width in pixels
            self.body = rounded_rect(px(0.02), px(0.06), n - px(0.02), px(0.80), n * 0.09)
            self.screen = rounded_rect(px(0.15), px(0.16), n - px(0.15), px(0.66), n * 0.07)
            self.glass = lambda x, y: self.screen(x, y) + self.line
            self.neck = rounded_rect(px(0.40), px(0.78), n - px(0.40), px(0.88), 0.5)
            self.base = rounded_rect(px(0.20), px(0.86), n - px(0.20), n - px(0.04), n * 0.04)
            self.led = circle(n - px(0.15) - n * 0.04, px(0.73), n * 0.035)
            # One and a half periods across the glass, as if the vertical
            # refresh were being traced on the tube.
            self.wave_x0 = px(0.15) + self.line + n * 0.04
            self.wave_x1 = n - px(0.15) - self.line - n * 0.04
            self.wave_mid = (px(0.16) + px(0.66)) / 2
            self.wave_amp = (px(0.66) - px(0.16)) * 0.24
            self.wave_half = n * 0.028
            self.periods, self.wave_fill, self.wave_cap = 1.5, 0.3, 0.5
            self.crisp_wave = False
            self.stand_line = self.line
        self.body_inner = lambda x, y: self.body(x, y) + self.line
        self._wave_cells = {}

    def on_wave(self, x, y, flat):
        """Whether a point belongs to the trace. Hard-edged images (the 16
        colour ones, and every 16 pixel one) take whole pixels the line
        covers well, so the trace stays one even stroke instead of a smear
        or a row of dots."""
        if not (flat or self.crisp_wave):
            return self.wave(x, y) <= 0
        cell = (int(x), int(y))
        if cell not in self._wave_cells:
            s = SUPERSAMPLE
            hits = sum(self.wave(cell[0] + (i + 0.5) / s, cell[1] + (j + 0.5) / s) <= 0
                       for i in range(s) for j in range(s))
            self._wave_cells[cell] = hits >= s * s * self.wave_fill
        return self._wave_cells[cell]

    def wave(self, x, y):
        """Distance to the wave curve, measured vertically and scaled by the
        slope, which is close enough to the true distance for a thin line."""
        if x < self.wave_x0 - self.wave_cap or x > self.wave_x1 + self.wave_cap:
            return 1e9
        t = (x - self.wave_x0) / (self.wave_x1 - self.wave_x0)
        k = 2 * math.pi * self.periods
        fy = self.wave_mid - self.wave_amp * math.sin(k * t)
        slope = -self.wave_amp * k * math.cos(k * t) / (self.wave_x1 - self.wave_x0)
        return abs(y - fy) / math.sqrt(1 + slope * slope) - self.wave_half

    def colour(self, x, y, flat=False):
        """The colour at a point, or None where the icon is transparent."""
        n = self.n
        if self.body(x, y) <= 0:
            if self.screen(x, y) <= 0:
                if self.glass(x, y) > 0:
                    return (40, 40, 44) if not flat else (0, 0, 0)
                if self.on_wave(x, y, flat):
                    return (150, 255, 140) if not flat else (0, 255, 0)
                if flat:
                    return (0, 0, 128) if n >= 32 else (0, 0, 0)
                # Phosphor glow around the trace and a darker rim toward the
                # tube's corners.
                glow = 0.0 if self.crisp_wave else \
                    max(0.0, 1.0 - (self.wave(x, y) + self.wave_half) / (n * 0.10))
                cx, cy = n / 2, self.wave_mid
                rim = min(1.0, math.hypot((x - cx) / (n * 0.36), (y - cy) / (n * 0.30)))
                base = (14 + 18 * (1 - rim), 40 + 26 * (1 - rim), 58 + 28 * (1 - rim))
                g = glow * glow
                return tuple(int(b + (t - b) * g * 0.55) for b, t in zip(base, (60, 200, 90)))
            if self.body_inner(x, y) > 0:
                return (52, 50, 46) if not flat else (0, 0, 0)
            if self.led and self.led(x, y) <= 0:
                return (70, 220, 70) if not flat else (0, 255, 0)
            if flat:
                return (192, 192, 192)
            # Warm grey plastic, lit from the top left.
            shade = (x + y) / (2 * n)
            top = 1.0 if y < self.line * 2 + n * 0.06 else 0.0
            return tuple(int(c - 38 * shade + 14 * top) for c in (226, 222, 208))
        if self.neck(x, y) <= 0 or self.base(x, y) <= 0:
            edge = min(-self.neck(x, y) if self.neck(x, y) <= 0 else 99,
                       -self.base(x, y) if self.base(x, y) <= 0 else 99)
            if edge < self.stand_line:
                return (52, 50, 46) if not flat else (0, 0, 0)
            return (176, 172, 160) if not flat else (128, 128, 128)
        return None


# ---------------------------------------------------------------- rendering

def render_rgba(n):
    """Anti-aliased rendering: each pixel averages SUPERSAMPLE^2 samples."""
    m = Monitor(n)
    s = SUPERSAMPLE
    pixels = []
    for py in range(n):
        for px_ in range(n):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(s):
                for sx in range(s):
                    c = m.colour(px_ + (sx + 0.5) / s, py + (sy + 0.5) / s)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            if hits == 0:
                pixels.append((0, 0, 0, 0))
            else:
                a = round(255 * hits / (s * s))
                pixels.append(tuple(min(255, round(v / hits)) for v in acc) + (a,))
    return pixels


def render_vga(n):
    """Hard-edged rendering in the VGA colours for the 16-colour images."""
    m = Monitor(n)
    return [m.colour(x + 0.5, y + 0.5, flat=True) for y in range(n) for x in range(n)]


def median_cut(colours, limit):
    """Returns at most `limit` colours representing `colours` ({rgb: count})."""
    boxes = [list(colours.items())]
    while len(boxes) < limit:
        splittable = [b for b in boxes if len(b) > 1]
        if not splittable:
            break
        box = max(splittable, key=lambda b: sum(c for _, c in b))
        spans = [max(rgb[i] for rgb, _ in box) - min(rgb[i] for rgb, _ in box) for i in range(3)]
        axis = spans.index(max(spans))
        box.sort(key=lambda e: (e[0][axis], e[0]))
        total, run, cut = sum(c for _, c in box), 0, 1
        for i, (_, c) in enumerate(box[:-1]):
            run += c
            if run * 2 >= total:
                cut = i + 1
                break
        boxes.remove(box)
        boxes += [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        w = sum(c for _, c in box)
        palette.append(tuple(round(sum(rgb[i] * c for rgb, c in box) / w) for i in range(3)))
    return palette


def nearest(palette, rgb):
    return min(range(len(palette)),
               key=lambda i: (sum((a - b) ** 2 for a, b in zip(palette[i], rgb)), i))


# ---------------------------------------------------------------- ICO writing

def rows_bottom_up(n, row_bytes):
    """BMP rows run bottom to top, each padded to four bytes."""
    out = bytearray()
    for y in reversed(range(n)):
        row = row_bytes(y)
        out += row + b"\0" * (-len(row) % 4)
    return bytes(out)


def and_mask(n, transparent):
    def row(y):
        bits = bytearray((n + 7) // 8)
        for x in range(n):
            if transparent[y * n + x]:
                bits[x // 8] |= 0x80 >> (x % 8)
        return bytes(bits)
    return rows_bottom_up(n, row)


def bitmap_header(n, bpp, image_size):
    # Height counts the colour bitmap and the mask together; a colour count
    # of 0 means a full palette.
    return struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, bpp, 0, image_size, 0, 0, 0, 0)


def image_32(n, rgba):
    transparent = [p[3] < 128 for p in rgba]
    # Windows 2000 ignores alpha and XORs whatever colour lies under a set mask
    # bit onto the desktop, so faint edge pixels are darkened toward black.
    def px(p):
        r, g, b, a = p
        if a < 128:
            r, g, b = (v * a // 255 for v in (r, g, b))
        return bytes((b, g, r, a))
    xor = rows_bottom_up(n, lambda y: b"".join(px(rgba[y * n + x]) for x in range(n)))
    mask = and_mask(n, transparent)
    return bitmap_header(n, 32, len(xor) + len(mask)) + xor + mask


def image_indexed(n, colours, bpp, palette):
    """colours: one rgb or None (transparent) per pixel."""
    size = 1 << bpp
    palette = list(palette) + [(0, 0, 0)] * (size - len(palette))
    index = {}
    indices = []
    for c in colours:
        if c is None:
            indices.append(0 if palette[0] == (0, 0, 0) else nearest(palette, (0, 0, 0)))
        else:
            if c not in index:
                index[c] = nearest(palette, c)
            indices.append(index[c])

    def row(y):
        line = indices[y * n:(y + 1) * n]
        if bpp == 8:
            return bytes(line)
        return bytes((line[x] << 4) | (line[x + 1] if x + 1 < n else 0) for x in range(0, n, 2))
    xor = rows_bottom_up(n, row)
    mask = and_mask(n, [c is None for c in colours])
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return bitmap_header(n, bpp, len(xor) + len(mask)) + pal + xor + mask


def build_icon():
    images = []  # (size, colour count for the directory, bpp, data)
    rgba = {n: render_rgba(n) for n in SIZES}
    for n in SIZES:
        images.append((n, 0, 32, image_32(n, rgba[n])))
    for n in SIZES:
        opaque = [None if p[3] < 128 else p[:3] for p in rgba[n]]
        counts = {}
        for c in opaque:
            if c is not None:
                counts[c] = counts.get(c, 0) + 1
        # Index 0 stays black for the transparent pixels the mask hides.
        palette = [(0, 0, 0)] + sorted(median_cut(counts, 255))
        images.append((n, 0, 8, image_indexed(n, opaque, 8, palette)))
    for n in SIZES:
        images.append((n, 16, 4, image_indexed(n, render_vga(n), 4, VGA16)))

    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    directory = bytearray()
    body = bytearray()
    for n, count, bpp, data in images:
        directory += struct.pack("<BBBBHHII", n % 256, n % 256, count, 0, 1, bpp, len(data), offset)
        offset += len(data)
        body += data
    return header + bytes(directory) + bytes(body)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out = argv[1] if len(argv) > 1 else os.path.join(here, "..", "res", "Kelvane.ico")
    data = build_icon()
    with open(out, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
