#!/usr/bin/env python3
"""Draws the program's own pictures (run from this folder):
background.bmp  320 x 240, 24-bit: the tiled panel background, a slate weave that repeats
                seamlessly in both directions.
icon32.tga, icon16.tga  32-bit with alpha: a dome over a horizon, with a sun.
logo.bmp        24-bit: the word DOMECAST in a block font under a dome, for the About box."""
import math
import struct


def write_bmp(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b) with y = 0 the top row; stored bottom-up."""
    stride = (3 * width + 3) // 4 * 4
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes([b, g, r])
        rows.append(bytes(row) + bytes(stride - 3 * width))
    data = b''.join(rows)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', 14 + 40 + len(data), 0, 0, 54) + info + data)


def write_tga(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b, a) with y = 0 the top row; stored bottom-up."""
    header = struct.pack('<BBBhhBhhhhBB', 0, 0, 2, 0, 0, 0, 0, 0, width, height, 32, 8)
    data = bytearray()
    for y in reversed(range(height)):
        for x in range(width):
            r, g, b, a = pixel(x, y)
            data += bytes([b, g, r, a])
    with open(path, 'wb') as f:
        f.write(header + bytes(data))


def clamp(v):
    return max(0, min(255, int(round(v))))


def background(x, y):
    # Every term has a period dividing 320 across and 240 down, so the tiles join.
    u, v = 2 * math.pi * x / 320, 2 * math.pi * y / 240
    weave = math.sin(8 * u) * math.sin(6 * v)
    ripple = 0.5 * math.sin(3 * u + 2 * v) + 0.35 * math.cos(5 * u - 4 * v)
    grain = math.sin(40 * u + 3 * math.sin(2 * v)) * 0.25
    light = 10 * weave + 8 * ripple + 4 * grain
    return clamp(62 + light), clamp(74 + light * 1.05), clamp(92 + light * 1.2)


def icon(size):
    def pixel(x, y):
        # Coordinates in the unit square, y up, centre of the pixel.
        px, py = (x + 0.5) / size, 1 - (y + 0.5) / size
        cx, cy, radius = 0.5, 0.36, 0.44
        d = math.hypot(px - cx, py - cy)
        inside = d <= radius and py >= cy - 0.02
        ground = py < cy - 0.02 and py > 0.08 and abs(px - cx) < radius
        if math.hypot(px - 0.66, py - 0.58) < 0.09:
            return 255, 214, 90, 255
        if inside:
            sky = (py - cy) / radius
            edge = 255 if d < radius - 1.0 / size else 160
            return clamp(90 + 80 * sky), clamp(150 + 70 * sky), 235, edge
        if ground:
            return 70, 120, 60, 255
        return 0, 0, 0, 0
    return pixel


GLYPHS = {
    'D': ["1110", "1001", "1001", "1001", "1001", "1001", "1110"],
    'O': ["0110", "1001", "1001", "1001", "1001", "1001", "0110"],
    'M': ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    'E': ["1111", "1000", "1000", "1110", "1000", "1000", "1111"],
    'C': ["0111", "1000", "1000", "1000", "1000", "1000", "0111"],
    'A': ["0110", "1001", "1001", "1111", "1001", "1001", "1001"],
    'S': ["0111", "1000", "1000", "0110", "0001", "0001", "1110"],
    'T': ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
}


def logo():
    word, scale, gap = "DOMECAST", 4, 2
    cells = []
    x0 = 0
    for letter in word:
        glyph = GLYPHS[letter]
        cells.append((x0, glyph))
        x0 += len(glyph[0]) + gap
    text_width = (x0 - gap) * scale
    width, height = text_width + 24, 7 * scale + 56
    top = 44

    def pixel(x, y):
        # The dome: a half circle above the word.
        dx, dy = x - width / 2, top - 6 - y
        if dy >= 0 and abs(math.hypot(dx, dy) - 30) < 2:
            return 40, 90, 170
        if dy >= 0 and math.hypot(dx, dy) < 28:
            return 215, 230, 250
        gx, gy = (x - 12) // scale, (y - top) // scale
        if 0 <= gy < 7 and x >= 12:
            for cx, glyph in cells:
                if cx <= gx < cx + len(glyph[0]) and glyph[gy][gx - cx] == '1':
                    return 30, 50, 90
        return 255, 255, 255
    return width, height, pixel


write_bmp('background.bmp', 320, 240, background)
write_tga('icon32.tga', 32, 32, icon(32))
write_tga('icon16.tga', 16, 16, icon(16))
w, h, p = logo()
write_bmp('logo.bmp', w, h, p)
