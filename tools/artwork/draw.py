#!/usr/bin/env python3
"""Draws every picture of the program: the skin, the phase labels, the splash, the icon and the
"at once" cursor, as palettised BMP (at most 256 colours, uncompressed), ICO and CUR files in
src/resources/art/.

Standard library only, so anyone can redraw the art:  python3 tools/artwork/draw.py [out-folder]
The output is committed; the build never runs this script.
"""

import collections
import math
import os
import re
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from font5x7 import GLYPHS, HEIGHT, text_width  # noqa: E402

# ----------------------------------------------------------------------------------------------
# Palette: a dark slate panel, steel-blue controls, one warm accent for the flash itself.

INK = (232, 238, 246)
INK_DIM = (150, 164, 184)
PANEL_TOP = (40, 50, 66)
PANEL_BOTTOM = (20, 25, 34)
STEEL_TOP = (92, 116, 150)
STEEL_BOTTOM = (50, 66, 92)
ACCENT = (255, 176, 64)
FOCUS_GLOW = (120, 210, 255)
FLASH_TOP = (244, 136, 52)
FLASH_BOTTOM = (190, 72, 28)
EXIT_TOP = (150, 70, 70)
EXIT_BOTTOM = (96, 36, 40)
DISABLED_TOP = (86, 90, 96)
DISABLED_BOTTOM = (64, 67, 72)
DISABLED_INK = (128, 132, 138)
LCD = (14, 22, 20)
LCD_INK = (150, 236, 190)

# The block map cells' states in the order of the values the program paints them for.
CELL_STATES = ["untouched", "erased", "programmed", "left out", "verified", "blank checked",
               "already held"]


def program_cell_colours():
    """The cell colours and the cell border exactly as the program paints them, read from its
    source, so that the legend cannot drift from the map it explains."""
    skin = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "skin")
    with open(os.path.join(skin, "aux_layout.cpp")) as f:
        palette = re.search(r"kPalette\[[^]]*\] = \{(.*?)\};", f.read(), re.S).group(1)
    with open(os.path.join(skin, "aux_layout.h")) as f:
        border = re.search(r"kCellBorderColour = (Rgb\([^)]*\))", f.read()).group(1)
    rgb = r"Rgb\((\d+),\s*(\d+),\s*(\d+)\)"
    colours = [tuple(map(int, m)) for m in re.findall(rgb, palette)]
    assert len(colours) == len(CELL_STATES), "the program paints a cell state not named here"
    return dict(zip(CELL_STATES, colours)), tuple(map(int, re.search(rgb, border).groups()))


CELL_COLOURS, CELL_BORDER = program_cell_colours()


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def clamp01(v):
    return 0.0 if v < 0 else 1.0 if v > 1 else v


class Canvas:
    def __init__(self, w, h, colour=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(colour) for _ in range(w * h)]

    def get(self, x, y):
        return tuple(self.px[y * self.w + x])

    def blend(self, x, y, colour, alpha=1.0):
        if not (0 <= x < self.w and 0 <= y < self.h) or alpha <= 0:
            return
        p = self.px[y * self.w + x]
        if alpha >= 1:
            p[0], p[1], p[2] = colour
        else:
            for i in range(3):
                p[i] = int(round(p[i] + (colour[i] - p[i]) * alpha))

    def fill(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.blend(x, y, colour)

    def vgradient(self, x0, y0, x1, y1, top, bottom):
        span = max(1, y1 - y0 - 1)
        for y in range(max(0, y0), min(self.h, y1)):
            c = lerp(top, bottom, (y - y0) / span)
            for x in range(max(0, x0), min(self.w, x1)):
                self.blend(x, y, c)

    def rounded(self, x0, y0, x1, y1, r, paint, alpha=1.0):
        """Fills the rounded rectangle [x0, x1) x [y0, y1) with antialiased edges; `paint` is a
        colour or a function (x, y) -> colour."""
        cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
        bx, by = (x1 - x0) / 2, (y1 - y0) / 2
        for y in range(max(0, int(y0)), min(self.h, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.w, int(math.ceil(x1)))):
                qx = abs(x + 0.5 - cx) - (bx - r)
                qy = abs(y + 0.5 - cy) - (by - r)
                d = math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
                cover = clamp01(0.5 - d)
                if cover > 0:
                    c = paint(x, y) if callable(paint) else paint
                    self.blend(x, y, c, cover * alpha)

    def ring(self, x0, y0, x1, y1, r, width, colour, alpha=1.0):
        """An antialiased outline of `width` pixels just inside the rounded rectangle."""
        cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
        bx, by = (x1 - x0) / 2, (y1 - y0) / 2
        for y in range(max(0, int(y0)), min(self.h, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.w, int(math.ceil(x1)))):
                qx = abs(x + 0.5 - cx) - (bx - r)
                qy = abs(y + 0.5 - cy) - (by - r)
                d = math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
                cover = clamp01(0.5 - d) * clamp01(0.5 + d + width)
                if cover > 0:
                    self.blend(x, y, colour, cover * alpha)

    def disc(self, cx, cy, r, colour, alpha=1.0):
        for y in range(int(cy - r - 1), int(cy + r + 2)):
            for x in range(int(cx - r - 1), int(cx + r + 2)):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy) - r
                self.blend(x, y, colour, clamp01(0.5 - d) * alpha)

    def polygon(self, points, colour, alpha=1.0):
        """Fills a polygon with 4 x 4 supersampled coverage."""
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        for y in range(int(min(ys)), int(math.ceil(max(ys))) + 1):
            for x in range(int(min(xs)), int(math.ceil(max(xs))) + 1):
                hits = 0
                for sy in range(4):
                    for sx in range(4):
                        if inside(points, x + (sx + 0.5) / 4, y + (sy + 0.5) / 4):
                            hits += 1
                if hits:
                    self.blend(x, y, colour, hits / 16 * alpha)

    def text(self, x, y, s, colour, scale=1, shadow=None, spacing=1):
        if shadow:
            self.text(x + max(1, scale // 2), y + max(1, scale // 2), s, shadow, scale, None,
                      spacing)
        for i, ch in enumerate(s):
            glyph = GLYPHS[ch]
            gx = x + i * (5 + spacing) * scale
            for row in range(HEIGHT):
                for col in range(5):
                    if glyph[row][col] == "#":
                        c = colour(gx + col * scale, y + row * scale) if callable(colour) \
                            else colour
                        self.fill(gx + col * scale, y + row * scale, gx + (col + 1) * scale,
                                  y + (row + 1) * scale, c)

    def paste(self, other, x0, y0):
        for y in range(other.h):
            for x in range(other.w):
                self.blend(x0 + x, y0 + y, other.get(x, y))

    def crop(self, x0, y0, w, h):
        c = Canvas(w, h)
        for y in range(h):
            for x in range(w):
                c.px[y * w + x] = list(self.get(x0 + x, y0 + y))
        return c

    def reduce_colours(self, limit=256, keep=()):
        """Leaves at most `limit` colours, each one the picture already had, and the colours in
        `keep` exactly as drawn. The colour whose loss costs least (its pixels times how far they
        move to the nearest colour left) goes first, so faint antialiased edges and texture go
        before the steps of a gradient."""
        counts = collections.Counter(tuple(p) for p in self.px)
        if len(counts) <= limit:
            return
        left = set(counts)
        weight = dict(counts)

        def nearest(c):
            return min((o for o in left if o != c), key=lambda o: colour_distance(c, o))

        closest = {c: nearest(c) for c in left}
        while len(left) > limit:
            gone = min((c for c in left if c not in keep),
                       key=lambda c: (weight[c] * colour_distance(c, closest[c]), c))
            left.remove(gone)
            weight[closest[gone]] += weight[gone]
            for c in left:
                if closest[c] == gone:
                    closest[c] = nearest(c)
        becomes = {c: min(left, key=lambda o: colour_distance(c, o)) for c in counts}
        self.px = [list(becomes[tuple(p)]) for p in self.px]

    def bmp_rows(self):
        """Bottom-up rows of BGR bytes, each padded to four bytes."""
        pad = (4 - self.w * 3 % 4) % 4
        out = bytearray()
        for y in range(self.h - 1, -1, -1):
            for x in range(self.w):
                r, g, b = self.px[y * self.w + x]
                out += bytes((b, g, r))
            out += b"\0" * pad
        return bytes(out)


def colour_distance(a, b):
    """Squared distance, green weighing most and red more than blue, as the eye has it."""
    return 3 * (a[0] - b[0]) ** 2 + 4 * (a[1] - b[1]) ** 2 + 2 * (a[2] - b[2]) ** 2


def inside(points, x, y):
    result = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


def info_header(w, h, image_size, bits=24, colours=0):
    return struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 0, image_size, 2835, 2835, colours,
                       colours)


def palettised(canvas):
    """The palette (sorted, so that a redraw gives the same bytes), the bits per pixel (4 for up
    to 16 colours, else 8) and the bottom-up rows of palette indices, each padded to four bytes.
    Uncompressed: every loader reads it, which is not so of run-length encoding."""
    canvas.reduce_colours(256)
    palette = sorted(set(tuple(p) for p in canvas.px))
    index = {c: i for i, c in enumerate(palette)}
    bits = 4 if len(palette) <= 16 else 8
    stride = (canvas.w * bits + 31) // 32 * 4
    out = bytearray()
    for y in range(canvas.h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(canvas.w):
            i = index[tuple(canvas.px[y * canvas.w + x])]
            if bits == 8:
                row[x] = i
            else:
                row[x // 2] |= i << (4 if x % 2 == 0 else 0)
        out += row
    return palette, bits, bytes(out)


def write_bmp(path, canvas):
    palette, bits, rows = palettised(canvas)
    header = info_header(canvas.w, canvas.h, len(rows), bits, len(palette))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + len(header) + len(table)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset))
        f.write(header)
        f.write(table)
        f.write(rows)


def and_mask(w, h, opaque):
    """The 1-bit mask of an icon or cursor: 0 where the picture shows, 1 where it is clear."""
    stride = (w + 31) // 32 * 4
    out = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if not opaque(x, y):
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def write_icon_file(path, images, kind=1, hotspot=(0, 0)):
    """An ICO (kind 1) or CUR (kind 2) of 24-bit images, each with its own transparency."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for canvas, opaque in images:
        rows = canvas.bmp_rows()
        mask = and_mask(canvas.w, canvas.h, opaque)
        blob = info_header(canvas.w, canvas.h * 2, len(rows) + len(mask)) + rows + mask
        planes, bits = (1, 24) if kind == 1 else hotspot
        entries.append(struct.pack("<BBBBHHII", canvas.w % 256, canvas.h % 256, 0, 0, planes,
                                   bits, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, kind, len(images)))
        for e in entries:
            f.write(e)
        for b in blobs:
            f.write(b)


# ----------------------------------------------------------------------------------------------
# Pictograms, drawn at 16 x 16 on a canvas at (x, y).

def icon_folder(c, x, y, col):
    c.rounded(x + 1, y + 3, x + 8, y + 7, 1.5, col)
    c.rounded(x + 1, y + 5, x + 15, y + 14, 1.5, col)
    c.fill(x + 2, y + 7, x + 14, y + 8, lerp(col, (0, 0, 0), 0.35))


def icon_chip_save(c, x, y, col):
    # A chip with an arrow out of it: the BIOS copied to a file.
    c.rounded(x + 3, y + 1, x + 13, y + 9, 1.5, col)
    for i in range(4):
        c.fill(x + 4 + i * 2, y + 9, x + 5 + i * 2, y + 11, col)
    c.polygon([(x + 8, y + 16), (x + 3.5, y + 11.5), (x + 12.5, y + 11.5)], col)
    c.fill(x + 6, y + 3, x + 10, y + 7, lerp(col, (0, 0, 0), 0.45))


def icon_gear(c, x, y, col, hole):
    cx, cy = x + 8, y + 8
    for k in range(8):
        a = k * math.pi / 4
        px, py = cx + math.cos(a) * 6, cy + math.sin(a) * 6
        c.disc(px, py, 1.9, col)
    c.disc(cx, cy, 5.6, col)
    c.disc(cx, cy, 2.3, hole)


def icon_help(c, x, y, col, ink):
    c.disc(x + 8, y + 8, 7.5, col)
    c.text(x + 6, y + 4, "?", ink, 1, spacing=0)
    # The 5 x 7 question mark is narrow; thicken it for the small disc.
    c.text(x + 5, y + 4, "?", ink, 1, spacing=0)


def icon_bolt(c, x, y, col, scale=1.0):
    pts = [(9, 0), (2, 9), (7, 9), (5, 16), (13, 6), (8, 6), (11, 0)]
    c.polygon([(x + px * scale, y + py * scale) for px, py in pts], col)


def icon_power(c, x, y, col, hole):
    c.disc(x + 8, y + 9, 6.5, col)
    c.disc(x + 8, y + 9, 4.3, hole)
    c.fill(x + 6, y + 1, x + 11, y + 6, hole)
    c.rounded(x + 7, y + 1, x + 9.5, y + 9.5, 1.2, col)


# ----------------------------------------------------------------------------------------------
# The skin.

BLOCK_MAP = (29, 90, 260, 260)
PHASE_ITEM = (328, 98, 108, 12)
STATUS_BAR = (333, 117, 98, 7)
BUTTONS = {
    "LOAD": (327, 130, 110, 36),
    "BACKUP": (327, 168, 110, 36),
    "OPTION": (327, 208, 110, 36),
    "HELP": (327, 249, 110, 36),
    "FLASH": (229, 393, 100, 50),
    "EXIT": (334, 392, 100, 50),
}


def draw_chip(c, x, y, w, h, body=(34, 40, 50), pins=(176, 184, 196), label="ROM"):
    for i in range(5):
        px = x + 8 + i * (w - 16) // 4
        c.fill(px - 2, y - 5, px + 2, y, pins)
        c.fill(px - 2, y + h, px + 2, y + h + 5, pins)
    c.rounded(x, y, x + w, y + h, 3, lambda px, py: lerp((60, 70, 86), body, (py - y) / h))
    c.ring(x, y, x + w, y + h, 3, 1, (110, 124, 146))
    c.disc(x + 6, y + 6, 2, (20, 24, 30))
    tw = text_width(label, 2)
    c.text(x + (w - tw) // 2, y + (h - 14) // 2, label, INK_DIM, 2)


def draw_background():
    c = Canvas(450, 450)
    c.vgradient(0, 0, 450, 450, PANEL_TOP, PANEL_BOTTOM)
    # A faint diagonal texture keeps the large panel from looking flat.
    for y in range(450):
        for x in range(450):
            if (x + y) % 6 == 0:
                c.blend(x, y, (255, 255, 255), 0.018)
    # Frame: a light outer edge and a dark inner one, as if the panel were raised.
    c.fill(0, 0, 450, 1, (112, 130, 158))
    c.fill(0, 0, 1, 450, (112, 130, 158))
    c.fill(0, 449, 450, 450, (8, 10, 14))
    c.fill(449, 0, 450, 450, (8, 10, 14))
    c.ring(4, 4, 446, 446, 8, 1, (70, 84, 104))

    # Title band.
    c.rounded(12, 12, 438, 72, 8, lambda x, y: lerp((52, 66, 88), (30, 38, 52), (y - 12) / 60))
    c.ring(12, 12, 438, 72, 8, 1, (92, 110, 138))
    title = "QUORRELITE"
    c.text(28, 22, title, lambda x, y: lerp((255, 255, 255), (150, 210, 255), (y - 22) / 28), 4,
           shadow=(10, 14, 20))
    c.text(30, 57, "BIOS FLASH UTILITY", ACCENT, 1)
    c.text(150, 57, "VERSION 1.0", INK_DIM, 1)
    icon_bolt(c, 262, 20, (10, 14, 20), 2.0)
    icon_bolt(c, 260, 18, ACCENT, 2.0)
    draw_chip(c, 330, 27, 90, 30)

    # The block map sits in a recessed well with a caption.
    bx, by, bw, bh = BLOCK_MAP
    c.text(bx, by - 10, "ROM BLOCK MAP", INK_DIM, 1)
    c.rounded(bx - 6, by - 1, bx + bw + 6, by + bh + 6, 5, (12, 15, 20))
    c.ring(bx - 6, by - 1, bx + bw + 6, by + bh + 6, 5, 1, (78, 92, 114))

    # Right column: the status readout and the command buttons on a raised plate.
    c.rounded(318, 84, 446, 292, 7, lambda x, y: lerp((50, 62, 80), (34, 42, 56), (y - 84) / 208))
    c.ring(318, 84, 446, 292, 7, 1, (92, 110, 138))
    px, py, pw, ph = PHASE_ITEM
    c.rounded(px - 3, py - 3, px + pw + 3, STATUS_BAR[1] + STATUS_BAR[3] + 3, 3, (12, 15, 20))

    # Legend of the cell colours, under the block map, in two columns.
    lx, ly = 29, 362
    entries = [("untouched", "NOT TOUCHED"), ("erased", "ERASED"), ("programmed", "PROGRAMMED"),
               ("verified", "VERIFIED"), ("already held", "ALREADY HELD"),
               ("blank checked", "BLANK CHECKED"), ("left out", "LEFT OUT")]
    assert {key for key, _ in entries} == set(CELL_COLOURS), "a cell colour without its legend"
    for i, (key, label) in enumerate(entries):
        x = lx + (i // 4) * 98
        y = ly + (i % 4) * 13
        c.fill(x, y, x + 9, y + 9, CELL_BORDER)
        c.fill(x + 1, y + 1, x + 8, y + 8, CELL_COLOURS[key])
        c.text(x + 14, y + 1, label, INK_DIM, 1)
    c.text(29, 417, "DROP A ROM FILE HERE", (96, 110, 132), 1)
    c.text(29, 428, "OR PRESS LOAD", (96, 110, 132), 1)
    # A recess for the two big buttons.
    c.rounded(222, 386, 442, 448, 8, (14, 18, 24))
    c.ring(222, 386, 442, 448, 8, 1, (62, 74, 94))
    # The buttons are cut from this very picture, so they meet it without a seam; the legend
    # keeps the program's own cell colours.
    c.reduce_colours(256, keep=set(CELL_COLOURS.values()) | {CELL_BORDER})
    return c


def draw_button(bg, name, face):
    x0, y0, w, h = BUTTONS[name]
    c = bg.crop(x0, y0, w, h)
    big = h >= 50
    r = 7 if big else 6
    if name == "FLASH":
        top, bottom = FLASH_TOP, FLASH_BOTTOM
    elif name == "EXIT":
        top, bottom = EXIT_TOP, EXIT_BOTTOM
    else:
        top, bottom = STEEL_TOP, STEEL_BOTTOM
    ink, shift = INK, 0
    if face == "PRESS":
        top, bottom = lerp(bottom, (0, 0, 0), 0.35), lerp(top, (0, 0, 0), 0.25)
        shift = 1
    elif face == "FOCUS":
        top, bottom = lerp(top, (255, 255, 255), 0.12), lerp(bottom, (255, 255, 255), 0.08)
    elif face == "DIS":
        top, bottom, ink = DISABLED_TOP, DISABLED_BOTTOM, DISABLED_INK

    # Drop shadow, body, then the edges that make it look raised (or sunk when pressed).
    if face != "PRESS":
        c.rounded(1, 2, w, h, r, (0, 0, 0), 0.45)
    c.rounded(0, 0, w - 1, h - 1, r, lambda x, y: lerp(top, bottom, y / (h - 2)))
    c.ring(0, 0, w - 1, h - 1, r, 1, (12, 16, 22))
    if face == "PRESS":
        c.ring(1, 1, w - 2, h - 2, r - 1, 1.5, (0, 0, 0), 0.35)
    elif face != "DIS":
        c.ring(1, 1, w - 2, h - 2, r - 1, 1, (255, 255, 255), 0.22)
        c.rounded(3, 2, w - 4, h * 0.45, r - 2, (255, 255, 255), 0.10)
    if face == "FOCUS":
        c.ring(0, 0, w - 1, h - 1, r, 2, FOCUS_GLOW)

    label = name
    scale = 2
    icon_w = 16
    tw = text_width(label, scale)
    total = icon_w + 6 + tw
    ix = (w - total) // 2 + shift
    iy = (h - 16) // 2 + shift
    icon_col = ink if face == "DIS" else (ACCENT if name not in ("FLASH", "EXIT") else INK)
    hole = lerp(top, bottom, 0.5)
    if name == "LOAD":
        icon_folder(c, ix, iy, icon_col)
    elif name == "BACKUP":
        icon_chip_save(c, ix, iy, icon_col)
    elif name == "OPTION":
        icon_gear(c, ix, iy, icon_col, hole)
    elif name == "HELP":
        icon_help(c, ix, iy, icon_col, hole)
    elif name == "FLASH":
        icon_bolt(c, ix + 1, iy, (255, 244, 200) if face != "DIS" else ink)
    elif name == "EXIT":
        icon_power(c, ix, iy, icon_col, hole)
    tx = ix + icon_w + 6
    ty = (h - 14) // 2 + shift
    shadow = None if face == "DIS" else (0, 0, 0)
    c.text(tx, ty, label, ink, scale, shadow=shadow)
    return c


PHASES = [
    ("STATUS", "READY", None),
    ("READ_FILE", "READING FILE", (255, 176, 64)),
    ("ERASEING", "ERASING", CELL_COLOURS["erased"]),
    ("FLASHING", "PROGRAMMING", (80, 120, 255)),
    ("BACKUP", "BACKING UP", (255, 176, 64)),
    ("VERIFYING", "VERIFYING", CELL_COLOURS["verified"]),
    ("BLANKCHECK", "BLANK CHECK", (170, 170, 170)),
    ("PREPARING", "PREPARING", (255, 176, 64)),
]


def draw_phase(label, dot):
    c = Canvas(108, 12, LCD)
    c.fill(0, 0, 108, 1, (6, 10, 9))
    if dot is None:
        c.disc(6, 6, 3, (70, 200, 120))
    else:
        c.disc(6, 6, 3, dot)
    c.text(14, 3, label, LCD_INK if dot else (120, 200, 160), 1)
    return c


def draw_splash():
    c = Canvas(300, 136)
    c.vgradient(0, 0, 300, 136, (44, 56, 76), (16, 20, 28))
    for y in range(136):
        for x in range(300):
            if (x + y) % 6 == 0:
                c.blend(x, y, (255, 255, 255), 0.02)
    # A grid of cells fading in from the right, echoing the block map.
    colours = [CELL_COLOURS["verified"], CELL_COLOURS["programmed"], CELL_COLOURS["erased"],
               (255, 255, 255)]
    for row in range(6):
        for col in range(10):
            x, y = 186 + col * 10, 70 + row * 10
            k = (col + row * 3) % 7
            fade = clamp01((col - 1) / 9) * 0.85
            c.fill(x, y, x + 9, y + 9, lerp(CELL_BORDER, (16, 20, 28), 1 - fade))
            c.fill(x + 1, y + 1, x + 8, y + 8, lerp(colours[k % 4], (16, 20, 28), 1 - fade))
    c.text(20, 18, "QUORRELITE",
           lambda x, y: lerp((255, 255, 255), (150, 210, 255), (y - 18) / 28), 4,
           shadow=(6, 8, 12))
    c.fill(20, 54, 260, 56, ACCENT)
    c.text(20, 64, "BIOS FLASH UTILITY", INK, 1)
    c.text(20, 78, "REWRITES THE SYSTEM BIOS", INK_DIM, 1)
    c.text(20, 89, "FROM THE RUNNING DESKTOP", INK_DIM, 1)
    icon_bolt(c, 22, 102, ACCENT, 1.3)
    c.text(44, 110, "VERSION 1.0.0", INK_DIM, 1)
    c.ring(0, 0, 300, 136, 1, 1, (112, 130, 158))
    return c


def draw_icon(size):
    c = Canvas(size, size)
    s = size / 32
    c.rounded(2 * s, 2 * s, 30 * s, 30 * s, 6 * s,
              lambda x, y: lerp((80, 104, 140), (34, 44, 62), y / size))
    c.ring(2 * s, 2 * s, 30 * s, 30 * s, 6 * s, max(1, s), (16, 20, 28))
    icon_bolt(c, 7 * s, 4 * s, ACCENT, 1.5 * s)

    def opaque(x, y):
        qx = abs(x + 0.5 - 16 * s) - (14 * s - 6 * s)
        qy = abs(y + 0.5 - 16 * s) - (14 * s - 6 * s)
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - 6 * s < 0.3

    # Clear corners show black in the colour part so that they stay invisible.
    for y in range(size):
        for x in range(size):
            if not opaque(x, y):
                c.px[y * size + x] = [0, 0, 0]
    return c, opaque


# The "at once" cursor: an arrow carrying a lightning bolt, shown while the BIOS writes a block
# by itself and the program can only wait.
ARROW = [
    "X",
    "XX",
    "X.X",
    "X..X",
    "X...X",
    "X....X",
    "X.....X",
    "X......X",
    "X.......X",
    "X........X",
    "X.....XXXXX",
    "X..X..X",
    "X.X X..X",
    "XX  X..X",
    "X    X..X",
    "     X..X",
    "      XX",
]


def draw_cursor():
    c = Canvas(32, 32)
    shape = {}
    for y, row in enumerate(ARROW):
        for x, ch in enumerate(row):
            if ch == "X":
                shape[(x, y)] = (0, 0, 0)
            elif ch == ".":
                shape[(x, y)] = (255, 255, 255)
    bolt = Canvas(32, 32, (255, 0, 255))
    icon_bolt(bolt, 9, 13, ACCENT, 0.95)
    for y in range(32):
        for x in range(32):
            p = bolt.get(x, y)
            if p != (255, 0, 255):
                # Antialiased edges blend toward black, not toward the marker colour.
                shape[(x, y)] = (0, 0, 0) if p[1] < 60 else (255, 176, 64)
    for (x, y), col in shape.items():
        c.px[y * 32 + x] = list(col)
    return c, lambda x, y: (x, y) in shape


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "src", "resources",
                                                              "art")
    os.makedirs(out, exist_ok=True)
    bg = draw_background()
    write_bmp(os.path.join(out, "background.bmp"), bg)
    for name in BUTTONS:
        faces = ["NORMAL", "PRESS", "FOCUS"] + (["DIS"] if name in ("BACKUP", "FLASH") else [])
        for face in faces:
            write_bmp(os.path.join(out, f"{name.lower()}_{face.lower()}.bmp"),
                      draw_button(bg, name, face))
    for key, label, dot in PHASES:
        write_bmp(os.path.join(out, f"progress_{key.lower()}.bmp"), draw_phase(label, dot))
    write_bmp(os.path.join(out, "splash.bmp"), draw_splash())
    write_icon_file(os.path.join(out, "quorrelite.ico"), [draw_icon(32), draw_icon(16)])
    write_icon_file(os.path.join(out, "atonce.cur"), [draw_cursor()], kind=2, hotspot=(0, 0))


if __name__ == "__main__":
    main()
