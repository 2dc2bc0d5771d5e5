#!/usr/bin/env python3
"""Writes the two small pictures the resource tests decode (run from this folder).
picture.bmp: 8-bit, 13 x 7, six palette entries, pixels right after the palette (data
offset 0); index of pixel (x, y) = (x + 2y) mod 6, row 0 at the bottom.
picture.tga: 32-bit uncompressed, 5 x 3, bottom-left origin; pixel (x, y) has blue 50x,
green 100y, red x + y, alpha (0, 128, 255)[(x + y) mod 3]."""
import struct

palette = [(0, 0, 0), (10, 20, 30), (200, 100, 50), (0, 0, 1), (255, 255, 255), (1, 0, 0)]
width, height = 13, 7
row = (width + 3) // 4 * 4
pixels = b''.join(bytes([(x + 2 * y) % 6 for x in range(width)]) + bytes(row - width)
                  for y in range(height))
info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 8, 0, len(pixels), 0, 0, len(palette), 0)
body = info + b''.join(bytes([b, g, r, 0]) for b, g, r in palette) + pixels
with open('picture.bmp', 'wb') as f:
    f.write(b'BM' + struct.pack('<IHHI', 14 + len(body), 0, 0, 0) + body)

width, height = 5, 3
header = struct.pack('<BBBhhBhhhhBB', 0, 0, 2, 0, 0, 0, 0, 0, width, height, 32, 8)
pixels = b''.join(bytes([50 * x, 100 * y, x + y, (0, 128, 255)[(x + y) % 3]])
                  for y in range(height) for x in range(width))
with open('picture.tga', 'wb') as f:
    f.write(header + pixels)
