#!/usr/bin/env python3
"""Draws the application's pictures and writes them as C++ data.

Our own artwork, drawn here from simple shapes (no source file is read):
- the splash picture: 442 x 586 pixels of 8-bit palette indices (bottom
  row first) and a 256-entry RGB palette, each stored as a zlib stream;
- the file browser's image strips (bitmaps 600-603): an open folder, a
  closed folder and a document, side by side, at 16 x 15, 32 x 30, 18 x 18
  and 22 x 22 pixels, as 24-bit blue-green-red rows, top row first.

Usage: make_pictures.py OUTPUT.cpp
"""
import sys
import zlib

WIDTH, HEIGHT = 442, 586


def lerp(a, b, t):
    return int(round(a + (b - a) * t))


def make_palette():
    palette = []
    # 0-127: the background, deep blue at the top to light blue below.
    for i in range(128):
        t = i / 127.0
        palette.append((lerp(18, 150, t), lerp(40, 196, t), lerp(96, 240, t)))
    # 128-191: greys for the page and its text, dark to white.
    for i in range(64):
        v = lerp(40, 255, i / 63.0)
        palette.append((v, v, v))
    # 192-223: warm orange for the folded corner and the lens rim.
    for i in range(32):
        t = i / 31.0
        palette.append((lerp(150, 255, t), lerp(60, 170, t), lerp(10, 60, t)))
    # 224-255: pale yellow for the lens glass.
    for i in range(32):
        t = i / 31.0
        palette.append((lerp(200, 255, t), lerp(200, 250, t), lerp(120, 200, t)))
    return palette


def make_splash():
    pixels = bytearray(WIDTH * HEIGHT)
    for y in range(HEIGHT):
        shade = y * 127 // (HEIGHT - 1)
        row = y * WIDTH
        for x in range(WIDTH):
            # A soft diagonal band across the background.
            band = 12 if (x + y) % 160 < 80 else 0
            pixels[row + x] = min(127, shade + band)
    # The page: a white sheet with a shadow and a folded top-right corner.
    left, top, right, bottom = 86, 90, 356, 470
    fold = 56
    for y in range(top + 8, bottom + 8):
        for x in range(left + 8, right + 8):
            pixels[y * WIDTH + x] = 140
    for y in range(top, bottom):
        for x in range(left, right):
            if x - (right - fold) > y - top:
                continue  # cut away by the fold
            pixels[y * WIDTH + x] = 191
    for y in range(top, top + fold):
        for x in range(right - fold, right):
            if x - (right - fold) <= y - top:
                pixels[y * WIDTH + x] = 200 + (y - top) * 20 // fold
    # Lines of text on the page.
    for line in range(12):
        y0 = top + 80 + line * 26
        length = 200 if line % 4 != 3 else 120
        for y in range(y0, y0 + 8):
            for x in range(left + 30, left + 30 + length):
                pixels[y * WIDTH + x] = 150
    # A magnifying glass over the lower right of the page.
    cx, cy, radius, rim = 300, 400, 70, 12
    for y in range(cy - radius - rim, cy + radius + rim):
        for x in range(cx - radius - rim, cx + radius + rim):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if d2 <= radius * radius:
                pixels[y * WIDTH + x] = 224 + min(31, d2 * 31 // (radius * radius))
            elif d2 <= (radius + rim) ** 2:
                pixels[y * WIDTH + x] = 210
    # Its handle, down and to the right.
    for step in range(0, 90):
        x0 = cx + 55 + step
        y0 = cy + 55 + step
        for dy in range(-9, 10):
            for dx in range(-9, 10):
                if dx * dx + dy * dy <= 81:
                    x, y = x0 + dx, y0 + dy
                    if 0 <= x < WIDTH and 0 <= y < HEIGHT:
                        pixels[y * WIDTH + x] = 196
    return bytes(pixels)


# Browser images on a 16 x 16 design grid, scaled to each size.
BACK = (255, 255, 255)
OUTLINE = (60, 60, 60)
FOLDER = (240, 200, 80)
FOLDER_OPEN = (250, 225, 130)
PAPER = (255, 255, 255)
INK = (150, 150, 150)
LABEL = (200, 40, 40)


def shape_closed_folder(u, v):
    if 2 <= v <= 4 and 1 <= u <= 6:
        return OUTLINE if v == 2 or u in (1, 6) else FOLDER
    if 4 <= v <= 13 and 1 <= u <= 14:
        edge = v in (4, 13) or u in (1, 14)
        return OUTLINE if edge else FOLDER
    return BACK


def shape_open_folder(u, v):
    if 2 <= v <= 4 and 1 <= u <= 6:
        return OUTLINE if v == 2 or u in (1, 6) else FOLDER
    if 4 <= v <= 13 and 1 <= u <= 12:
        if v in (4, 13) or u == 1:
            return OUTLINE
        return FOLDER
    # The front flap, tilted open.
    if 7 <= v <= 13:
        lo = 3 + (13 - v) // 2
        hi = 14 + (13 - v) // 3
        if lo <= u <= hi:
            return OUTLINE if v in (7, 13) or u in (lo, hi) else FOLDER_OPEN
    return BACK


def shape_document(u, v):
    if 1 <= v <= 14 and 3 <= u <= 12:
        if v in (1, 14) or u in (3, 12):
            return OUTLINE
        if v in (4, 6, 8) and 5 <= u <= 10:
            return INK
        if 10 <= v <= 12 and 5 <= u <= 10:
            return LABEL
        return PAPER
    return BACK


SHAPES = (shape_open_folder, shape_closed_folder, shape_document)
STRIPS = ((600, 16, 15), (601, 32, 30), (602, 18, 18), (603, 22, 22))


def make_strip(width, height):
    rows = []
    for y in range(height):
        row = bytearray()
        for shape in SHAPES:
            for x in range(width):
                u = x * 16 // width
                v = y * 16 // height
                r, g, b = shape(u, v)
                row += bytes((b, g, r))
        rows.append(bytes(row))
    return b"".join(rows)


def c_array(name, data):
    lines = ["const uint8_t %s[%d] = {" % (name, len(data))]
    for i in range(0, len(data), 24):
        lines.append("    " + ", ".join(str(b) for b in data[i:i + 24]) + ",")
    lines.append("};")
    return "\n".join(lines)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    palette = make_palette()
    # Rows bottom row first, as a bottom-up DIB shows them.
    top_down = make_splash()
    rows = [top_down[y * WIDTH:(y + 1) * WIDTH] for y in range(HEIGHT)]
    indices = zlib.compress(b"".join(reversed(rows)), 9)
    colours = zlib.compress(bytes(c for rgb in palette for c in rgb), 9)
    out = ["// Generated by resources/pictures/make_pictures.py; do not edit.",
           '#include "resources/AppPictures.h"', "", "namespace resources {", ""]
    out.append(c_array("kSplashIndexStream", indices))
    out.append("const uint32_t kSplashIndexStreamSize = sizeof kSplashIndexStream;")
    out.append(c_array("kSplashPaletteStream", colours))
    out.append("const uint32_t kSplashPaletteStreamSize = sizeof kSplashPaletteStream;")
    strips = []
    for ident, width, height in STRIPS:
        name = "kBrowserStrip%d" % ident
        out.append(c_array(name, make_strip(width, height)))
        strips.append("    {%d, %d, %d, %s}," % (ident, width, height, name))
    out.append("const BrowserImageStrip kBrowserImageStrips[4] = {")
    out.extend(strips)
    out.append("};")
    out.append("")
    out.append("}  // namespace resources")
    with open(sys.argv[1], "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
