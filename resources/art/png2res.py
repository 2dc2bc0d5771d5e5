#!/usr/bin/env python3
"""Converts a PNG rendered by rsvg-convert into the program's resource formats.

    png2res.py tga IN.png OUT.tga   uncompressed 32-bit Targa (B, G, R, A), rows bottom-up
    png2res.py bmp IN.png OUT.bmp   24-bit BMP, rows bottom-up, padded to 4 bytes

Only the standard library is used (zlib for the PNG data), so no imaging package is needed.
Reads 8-bit non-interlaced greyscale, RGB and RGBA PNGs, which is what rsvg-convert writes."""
import struct
import sys
import zlib

CHANNELS = {0: 1, 2: 3, 4: 2, 6: 4}  # PNG colour type -> samples per pixel


def read_png(path):
    """Returns (width, height, rows) with rows top-down lists of (r, g, b, a)."""
    data = open(path, 'rb').read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        sys.exit(f'{path}: not a PNG file')
    pos, idat, header = 8, bytearray(), None
    while pos + 8 <= len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat += body
        elif kind == b'IEND':
            break
        pos += 12 + length
    if header is None:
        sys.exit(f'{path}: no IHDR chunk')
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or interlace != 0 or colour not in CHANNELS:
        sys.exit(f'{path}: only 8-bit non-interlaced grey, RGB or RGBA PNGs are read')
    bpp = CHANNELS[colour]
    stride = width * bpp
    raw = zlib.decompress(bytes(idat))
    if len(raw) != height * (stride + 1):
        sys.exit(f'{path}: image data has the wrong length')
    previous = bytearray(stride)
    rows = []
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up = previous[i]
            corner = previous[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                predictor = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                line[i] = (line[i] + predictor) & 255
            elif kind != 0:
                sys.exit(f'{path}: unknown row filter {kind}')
        previous = line
        row = []
        for x in range(width):
            s = line[x * bpp:(x + 1) * bpp]
            if colour == 0:
                row.append((s[0], s[0], s[0], 255))
            elif colour == 4:
                row.append((s[0], s[0], s[0], s[1]))
            elif colour == 2:
                row.append((s[0], s[1], s[2], 255))
            else:
                row.append(tuple(s))
        rows.append(row)
    return width, height, rows


def write_tga(path, width, height, rows):
    # Image type 2 (uncompressed true colour), 32 bits per pixel, descriptor 8: eight
    # alpha bits, origin at the bottom left.
    header = struct.pack('<BBBhhBhhhhBB', 0, 0, 2, 0, 0, 0, 0, 0, width, height, 32, 8)
    body = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            body += bytes((b, g, r, a))
    with open(path, 'wb') as f:
        f.write(header + bytes(body))


def write_bmp(path, width, height, rows):
    stride = (3 * width + 3) // 4 * 4
    body = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, a in row:
            if a != 255:
                sys.exit(f'{path}: a 24-bit bitmap needs an opaque picture (render with a background)')
            line += bytes((b, g, r))
        body += line + bytes(stride - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', 14 + 40 + len(body), 0, 0, 54) + info + bytes(body))


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ('tga', 'bmp'):
        sys.exit(__doc__)
    width, height, rows = read_png(sys.argv[2])
    (write_tga if sys.argv[1] == 'tga' else write_bmp)(sys.argv[3], width, height, rows)


if __name__ == '__main__':
    main()
