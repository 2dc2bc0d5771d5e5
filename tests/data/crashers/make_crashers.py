#!/usr/bin/env python3
"""Writes the hostile BMP and Targa files of this folder: each is a small valid file with
the one defect its name says. Every one must be refused with an ioException of kind
reading. Run from this folder after changing a case."""
import struct


def bmp(bits=8, width=3, height=2, colours_used=0, palette_entries=None, data_offset=None,
        pixels=None, file_size=None, header_size=40, compression=0, truncate=None, masks=b''):
    """masks: bytes written between the 40-byte header and the palette."""
    if palette_entries is None:
        palette_entries = (1 << bits if bits <= 8 else 0) if colours_used == 0 else colours_used
    palette = b''.join(struct.pack('<4B', i & 255, 2 * i & 255, 255 - i & 255, 0)
                       for i in range(palette_entries))
    row = (width * bits + 31) // 32 * 4
    if pixels is None:
        pixels = bytes(row * abs(height))
    info = struct.pack('<IiiHHIIiiII', header_size, width, height, 1, bits, compression,
                       len(pixels), 0, 0, colours_used, 0)
    if 40 < header_size <= 124:  # a real header size: its bytes are there
        info += bytes(header_size - 40)
    offset = 14 + len(info) + len(masks) + len(palette) if data_offset is None else data_offset
    body = info + masks + palette + pixels
    size = 14 + len(body) if file_size is None else file_size
    data = b'BM' + struct.pack('<IHHI', size, 0, 0, offset) + body
    if truncate is not None:
        data = data[:truncate]
        if file_size is None:
            data = data[:2] + struct.pack('<I', len(data)) + data[6:]
    return data


def tga(image_type=2, colour_map_type=0, first=0, length=0, entry_size=0, width=2, height=2,
        depth=24, descriptor=0, body=None):
    header = struct.pack('<BBBhhBhhhhBB', 0, colour_map_type, image_type, first, length,
                         entry_size, 0, 0, width, height, depth, descriptor)
    assert len(header) == 18
    if body is None:
        body = bytes(max(width, 0) * max(height, 0) * max(depth // 8, 1))
    return header + body


bmp_cases = {
    'shorter-than-file-header.bmp': bmp()[:10],
    'shorter-than-info-header.bmp': bmp()[:40],
    'file-size-field-past-end.bmp': bmp(file_size=100000),
    'top-down-rle8.bmp': bmp(height=-2, compression=1, pixels=bytes([3, 1, 0, 0, 3, 2, 0, 1])),
    'huge-width.bmp': bmp(width=40000, height=1, pixels=b''),
    'huge-height.bmp': bmp(width=1, height=32768, pixels=b''),
    'negative-width.bmp': bmp(width=-3),
    'info-header-size-too-small.bmp': bmp(header_size=8),
    'info-header-size-past-end.bmp': bmp(header_size=0xFFFFFFF0),
    'palette-past-end.bmp': bmp(bits=8, colours_used=0, palette_entries=4, pixels=bytes(8)),
    'colours-used-above-4-bit-depth.bmp': bmp(bits=4, colours_used=17),
    'colours-used-above-8-bit-depth.bmp': bmp(bits=8, colours_used=300),
    'index-beyond-colours-used-8-bit.bmp': bmp(bits=8, colours_used=4,
                                                 pixels=bytes([0, 1, 9, 0, 0, 0, 0, 0])),
    'index-beyond-colours-used-4-bit.bmp': bmp(bits=4, colours_used=3,
                                                 pixels=bytes([0x12, 0x30, 0, 0, 0x01, 0x00, 0, 0])),
    'pixel-data-past-end-24-bit.bmp': bmp(bits=24, width=5, height=4, truncate=14 + 40 + 16 * 3 + 5),
    'pixel-data-past-end-8-bit.bmp': bmp(bits=8, width=5, height=4, truncate=14 + 40 + 1024 + 12),
    'data-offset-beyond-file.bmp': bmp(bits=24, data_offset=0x7FFFFFFF),
    'data-offset-inside-header.bmp': bmp(bits=24, data_offset=20),
    'bit-count-0.bmp': bmp(bits=0),
    'bit-count-7.bmp': bmp(bits=7),
    'bit-count-64.bmp': bmp(bits=64),
    'jpeg-compressed.bmp': bmp(bits=0, compression=4, pixels=bytes([0xFF, 0xD8, 0xFF, 0xE0, 0, 16])),
    'png-compressed.bmp': bmp(bits=0, compression=5, pixels=b'\x89PNG\r\n\x1a\n'),
    'unknown-compression.bmp': bmp(bits=8, compression=9),
    'os2-huffman.bmp': bmp(bits=1, header_size=64, compression=3),
    'rle4-at-8-bits.bmp': bmp(bits=8, compression=2, pixels=bytes([0, 1])),
    'bit-fields-at-24-bits.bmp': bmp(bits=24, compression=3, masks=struct.pack('<3I', 0xFF0000, 0xFF00, 0xFF)),
    'bit-field-masks-past-end.bmp': bmp(bits=16, compression=3, pixels=b'', masks=struct.pack('<I', 0xF800)),
    'bit-field-masks-overlap.bmp': bmp(bits=16, compression=3, masks=struct.pack('<3I', 0xF800, 0x0FE0, 0x1F)),
    'bit-field-mask-with-gap.bmp': bmp(bits=16, compression=3, masks=struct.pack('<3I', 0xF800, 0x07A0, 0x1F)),
    'bit-field-mask-wider-than-pixel.bmp': bmp(bits=16, compression=3,
                                               masks=struct.pack('<3I', 0x1F800, 0x07E0, 0x1F)),
    'bit-field-masks-all-empty.bmp': bmp(bits=32, compression=6, masks=struct.pack('<4I', 0, 0, 0, 0xFF)),
    'index-beyond-colours-used-1-bit.bmp': bmp(bits=1, colours_used=1, pixels=bytes([0x20, 0, 0, 0]) * 2),
    'rle8-index-beyond-colours-used.bmp': bmp(bits=8, colours_used=4, compression=1,
                                              pixels=bytes([3, 1, 0, 0, 0, 3, 1, 2, 4, 0, 0, 1])),
    'rle8-ends-inside-the-picture.bmp': bmp(bits=8, compression=1, pixels=bytes([3, 1, 0, 0, 2])),
    'rle4-literal-past-end.bmp': bmp(bits=4, compression=2, pixels=bytes([3, 0x12, 0, 0, 0, 3, 0x12])),
    'rle8-delta-past-end.bmp': bmp(bits=8, compression=1, pixels=bytes([0, 2, 1])),
}

tga_cases = {
    'colour-map-type-2.tga': tga(colour_map_type=2),
    'unknown-image-type.tga': tga(image_type=4),
    'mapped-without-colour-map.tga': tga(image_type=1, depth=8),
    'mapped-depth-24.tga': tga(image_type=1, colour_map_type=1, length=2, entry_size=24, depth=24,
                               body=bytes(6) + bytes(12)),
    'true-colour-depth-8.tga': tga(depth=8),
    'greyscale-depth-16.tga': tga(image_type=3, depth=16),
    'interleave-factor-8.tga': tga(descriptor=0xC0),
    'interleave-past-end.tga': tga(width=1, height=3, descriptor=0x80),
    'index-outside-colour-map.tga': tga(image_type=1, colour_map_type=1, length=4, entry_size=24,
                                        depth=8, body=bytes(12) + bytes([0, 1, 2, 7])),
    'index-outside-empty-colour-map.tga': tga(image_type=1, colour_map_type=1, length=0,
                                              entry_size=24, depth=8, body=bytes(4)),
    'rle-index-outside-colour-map.tga': tga(image_type=9, colour_map_type=1, first=2, length=2,
                                            entry_size=16, depth=16,
                                            body=bytes(4) + bytes([0x83, 4, 0])),
    'negative-colour-map-length.tga': tga(image_type=1, colour_map_type=1, length=-1, entry_size=24,
                                          depth=8, body=bytes(4)),
    'colour-map-entry-size-8.tga': tga(image_type=1, colour_map_type=1, length=4, entry_size=8,
                                       depth=8, body=bytes(4) + bytes(4)),
    'negative-width.tga': tga(width=-2),
    'negative-height.tga': tga(height=-32768),
}

for name, data in {**bmp_cases, **tga_cases}.items():
    with open(name, 'wb') as f:
        f.write(data)
