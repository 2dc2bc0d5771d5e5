#pragma once
#include <cstddef>
#include <cstdint>

#include "image/image_io.h"

// Windows and OS/2 BMP files. Reading: 1-, 4- and 8-bit palettes (uncompressed, RLE4,
// RLE8), 16- and 32-bit bit fields (any masks; alpha ignored), 24-bit; rows bottom-up or
// top-down. Writing: 24-bit bottom-up.

// Reads a BMP file through a read-only mapping of the whole file into the destination the
// sink answers (3 or 4 bytes per pixel, alpha 255). Throws ioException; a file it cannot
// decode (JPEG or PNG inside, other depths, nonsense masks, an index past the palette, data
// cut short) is refused before the sink is asked for a destination. Run-length pixels past
// their row or the picture are left out, and a message naming the file says so.
void LoadBMP(const char* path, PixelSink sink, void* userData);

// Decodes the pixels that follow an in-memory information header into a 24-bit destination
// with the BGRImage stride for the header's width, the bottom row first. pixelData null:
// the pixels follow the palette. available is the number of bytes from infoHeader to the
// end of the memory block. Returns false, without a message, for whatever LoadBMP refuses.
bool DecodeBMPPixels(const std::uint8_t* infoHeader, const std::uint8_t* pixelData,
                     std::uint8_t* destination, std::size_t available);

// Writes a 24-bit bottom-up BMP; bytesPerPixel is not consulted, the stride must be the
// BGRImage stride for the width. Throws ioException.
void SaveBMP(const char* path, Size size, std::uint32_t stride, int bytesPerPixel,
             const std::uint8_t* pixels);
