#!/usr/bin/env python3
"""Writes the source picture of this folder (source.ppm, 13 x 7, every pixel its own
colour) and the BMP variants no paint program here writes, each with its expected pixels
(NAME.ppm, top row first) where ImageMagick cannot be the reference: run-length streams
with delta codes, early ends of line and of the bitmap and runs past the edge (whose
pixels are left out; the pixels a stream skips are palette index 0), OS/2 2.x headers,
BI_RGB at 16 and 32 bits, BI_ALPHABITFIELDS, masks after a 40-byte header and top-down
rows. make_fixtures.sh runs it; run from this folder."""
import struct

WIDTH, HEIGHT = 13, 7


def source_rgb(x, y):
    return ((x * 19 + y * 3) % 256, (y * 37 + x * 5 + 11) % 256, (x * x * 3 + y * 29 + 60) % 256)


def write_ppm(name, rows):
    """rows: top row first, each a list of (r, g, b)."""
    with open(name, 'wb') as f:
        f.write(b'P6\n%d %d\n255\n' % (len(rows[0]), len(rows)))
        for row in rows:
            for r, g, b in row:
                f.write(bytes((r, g, b)))


def source_rows():
    return [[source_rgb(x, y) for x in range(WIDTH)] for y in range(HEIGHT)]


def bmp(info, palette_and_masks, pixels):
    offset = 14 + len(info) + len(palette_and_masks)
    body = info + palette_and_masks + pixels
    return b'BM' + struct.pack('<IHHI', 14 + len(body), 0, 0, offset) + body


def info40(width, height, bits, compression=0, image_size=0, colours=0):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, compression, image_size, 2835, 2835,
                       colours, 0)


def palette_of(colours, entry=4):
    return b''.join(bytes((b, g, r) + ((0,) if entry == 4 else ())) for r, g, b in colours)


def pad(row):
    return row + bytes(-len(row) % 4)


def stored(rows, top_down):
    """The rows as a file stores them: bottom row first unless top-down."""
    return rows if top_down else rows[::-1]


# Palette of 16 distinct colours; index 0 is what a stream's skipped pixels show.
PALETTE16 = [(i * 16, 255 - i * 13, (i * 71) % 256) for i in range(16)]
PALETTE20 = [((i * 53) % 256, (i * 29 + 7) % 256, 250 - i * 11) for i in range(20)]


def rle_picture(palette, rows_of_indices):
    return [[palette[i] for i in row] for row in rows_of_indices[::-1]]  # to top row first


def rle4_delta():
    """RLE4: runs, absolute mode with odd counts and their padding, an early end of
    line, a delta, a run past the row's end and an early end of bitmap."""
    idx = [[0] * WIDTH for _ in range(HEIGHT)]  # idx[y] with y = 0 the bottom row
    s = bytearray()
    # row 0: run 5 of 1,2; absolute 3 (2 bytes, no pad); absolute 5 (3 bytes + 1 pad)
    s += bytes((5, 0x12)); idx[0][0:5] = [1, 2, 1, 2, 1]
    s += bytes((0, 3, 0x34, 0x50)); idx[0][5:8] = [3, 4, 5]
    s += bytes((0, 5, 0x67, 0x89, 0xA0, 0)); idx[0][8:13] = [6, 7, 8, 9, 10]
    s += bytes((0, 0))
    # row 1: run 4 then an early end of line
    s += bytes((4, 0xAB)); idx[1][0:4] = [10, 11, 10, 11]
    s += bytes((0, 0))
    # row 2: run 3, delta 2 right 1 up (to x 5 of row 3), a run of 20 of which 8 fit
    s += bytes((3, 0x11)); idx[2][0:3] = [1, 1, 1]
    s += bytes((0, 2, 2, 1))
    s += bytes((20, 0xCD)); idx[3][5:13] = [12, 13] * 4
    s += bytes((0, 0))
    # row 4: absolute 13 (7 bytes + 1 pad)
    vals = [15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3]
    packed = bytes(((vals[i] << 4) | (vals[i + 1] if i + 1 < 13 else 0)) for i in range(0, 13, 2))
    s += bytes((0, 13)) + packed + b'\0'; idx[4] = vals
    s += bytes((0, 0))
    # row 5: one run over the whole row
    s += bytes((13, 0x9F)); idx[5] = [9, 15] * 6 + [9]
    s += bytes((0, 0))
    # row 6: run 6, then the end of the bitmap
    s += bytes((6, 0x34)); idx[6][0:6] = [3, 4] * 3
    s += bytes((0, 1))
    info = info40(WIDTH, HEIGHT, 4, 2, len(s), 16)
    return bmp(info, palette_of(PALETTE16), bytes(s)), rle_picture(PALETTE16, idx)


def rle8_delta():
    """RLE8: absolute mode with an odd count, a delta over two rows, an early end of line
    and runs past the top of the picture."""
    idx = [[0] * WIDTH for _ in range(HEIGHT)]
    s = bytearray()
    for y in range(HEIGHT):
        if y == 1:
            s += bytes((0, 3, 17, 18, 19, 0)); idx[1][0:3] = [17, 18, 19]
            s += bytes((0, 2, 4, 2))   # to x 7 of row 3
            s += bytes((6, 5)); idx[3][7:13] = [5] * 6
            s += bytes((0, 0))
            continue
        if y in (2, 3):
            continue  # row 2 left by the delta, row 3 closed above
        if y == 5:
            s += bytes((2, 9)); idx[5][0:2] = [9, 9]
            s += bytes((0, 0))
            continue
        # a literal row of distinct indices (13: odd, padded)
        vals = [(x + 3 * y) % 20 for x in range(WIDTH)]
        s += bytes((0, WIDTH)) + bytes(vals) + b'\0'; idx[y] = vals
        s += bytes((0, 0))
    s += bytes((4, 7))  # a row past the top of the picture: left out
    s += bytes((0, 1))
    info = info40(WIDTH, HEIGHT, 8, 1, len(s), 20)
    return bmp(info, palette_of(PALETTE20), bytes(s)), rle_picture(PALETTE20, idx)


def pack16(r, g, b, masks):
    """The 16- or 32-bit value of a colour under masks, each channel rounded to its bits."""
    value = 0
    for channel, mask in zip((r, g, b), masks):
        shift = (mask & -mask).bit_length() - 1
        top = mask >> shift
        value |= (round(channel * top / 255) << shift) & mask
    return value


def scaled(value, mask):
    """A channel made 8 bits wide: fewer bits repeated down the byte, more scaled and rounded."""
    shift = (mask & -mask).bit_length() - 1
    bits = bin(mask).count('1')
    v = (value & mask) >> shift
    if bits > 8:
        top = mask >> shift
        return (v * 255 + top // 2) // top
    repeated, filled = 0, 0
    while filled < 8:
        repeated, filled = repeated << bits | v, filled + bits
    return repeated >> (filled - 8)


def bit_field_file(bits, masks, header, top_down=False, alpha_mask=0):
    """A bit-field picture: header 'rgb' (BI_RGB, masks implied), 'after40' (masks in
    12 or 16 bytes after a 40-byte header), 'alpha40' (BI_ALPHABITFIELDS)."""
    rows = source_rows()
    expected = []
    data = bytearray()
    for row in stored(rows, top_down):
        line = bytearray()
        for r, g, b in row:
            v = pack16(r, g, b, masks) | alpha_mask & 0x55555555
            line += struct.pack('<H' if bits == 16 else '<I', v)
        data += pad(bytes(line))
    for row in rows:
        exp = []
        for r, g, b in row:
            v = pack16(r, g, b, masks)
            exp.append(tuple(scaled(v, m) for m in masks))
        expected.append(exp)
    height = -HEIGHT if top_down else HEIGHT
    if header == 'rgb':
        return bmp(info40(WIDTH, height, bits, 0, len(data)), b'', bytes(data)), expected
    if header in ('v2', 'v4'):
        # BITMAPV2INFOHEADER (52 bytes) or BITMAPV4HEADER (108): the masks in the header.
        size = 52 if header == 'v2' else 108
        info = info40(WIDTH, height, bits, 3, len(data))
        info = struct.pack('<I', size) + info[4:] + struct.pack('<3I', *masks)
        if size == 108:
            info += struct.pack('<I', alpha_mask) + b'BGRs' + bytes(36 + 12)
        return bmp(info, b'', bytes(data)), expected
    if header == 'after40':
        return bmp(info40(WIDTH, height, bits, 3, len(data)), struct.pack('<3I', *masks), bytes(data)), expected
    return bmp(info40(WIDTH, height, bits, 6, len(data)), struct.pack('<4I', *masks, alpha_mask),
               bytes(data)), expected


def true_colour(top_down=False):
    rows = source_rows()
    data = b''.join(pad(b''.join(bytes((b, g, r)) for r, g, b in row)) for row in stored(rows, top_down))
    return bmp(info40(WIDTH, -HEIGHT if top_down else HEIGHT, 24, 0, len(data)), b'', data), rows


def palette8(top_down=False):
    rows = source_rows()
    colours = sorted({c for row in rows for c in row})
    index = {c: i for i, c in enumerate(colours)}
    data = b''.join(pad(bytes(index[c] for c in row)) for row in stored(rows, top_down))
    info = info40(WIDTH, -HEIGHT if top_down else HEIGHT, 8, 0, len(data), len(colours))
    return bmp(info, palette_of(colours), data), rows


def os2_v2(size):
    """OS/2 2.x: a 64-byte header, or a 16-byte one whose missing fields are 0, 24 bits."""
    rows = source_rows()
    data = b''.join(pad(b''.join(bytes((b, g, r)) for r, g, b in row)) for row in rows[::-1])
    full = struct.pack('<IiiHHIIiiII', size, WIDTH, HEIGHT, 1, 24, 0, len(data), 0, 0, 0, 0) + bytes(24)
    return bmp(full[:size], b'', data), rows


def main():
    write_ppm('source.ppm', source_rows())
    m565, m555 = (0xF800, 0x07E0, 0x001F), (0x7C00, 0x03E0, 0x001F)
    m888, m101010 = (0xFF0000, 0x00FF00, 0x0000FF), (0x3FF00000, 0x000FFC00, 0x000003FF)
    cases = {
        'py-rle4-delta': rle4_delta(),
        'py-rle8-delta': rle8_delta(),
        'py-rgb16-bi-rgb': bit_field_file(16, m555, 'rgb'),
        'py-rgb32-bi-rgb': bit_field_file(32, m888, 'rgb', alpha_mask=0xFF000000),
        'py-565-masks-after-40': bit_field_file(16, m565, 'after40'),
        'py-bgr-444-masks-after-40': bit_field_file(16, (0x000F, 0x00F0, 0x0F00), 'after40'),
        'py-alphabitfields-32': bit_field_file(32, m888, 'alpha40', alpha_mask=0xFF000000),
        'py-alphabitfields-1555': bit_field_file(16, m555, 'alpha40', alpha_mask=0x8000),
        'py-10-10-10-32': bit_field_file(32, m101010, 'after40'),
        'py-v2-header-565': bit_field_file(16, m565, 'v2'),
        'py-v4-header-argb32': bit_field_file(32, (0xFF00, 0xFF0000, 0xFF000000), 'v4', alpha_mask=0xFF),
        'py-top-down-24': true_colour(top_down=True),
        'py-top-down-8': palette8(top_down=True),
        'py-top-down-565': bit_field_file(16, m565, 'after40', top_down=True),
        'py-os2-v2-64': os2_v2(64),
        'py-os2-v2-16': os2_v2(16),
    }
    for name, (data, expected) in cases.items():
        with open(name + '.bmp', 'wb') as f:
            f.write(data)
        write_ppm(name + '.ppm', expected)


if __name__ == '__main__':
    main()
