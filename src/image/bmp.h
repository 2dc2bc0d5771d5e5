#pragma once
#include <cstddef>
#include <cstdint>

#include "image/image_io.h"

// Uncompressed Windows BMP files: 4-, 8- and 24-bit reading, 24-bit writing.

// Reads a BMP file through a read-only mapping of the whole file into the destination the
// sink answers (3 or 4 bytes per pixel, alpha 255). Throws ioException.
void LoadBMP(const char* path, PixelSink sink, void* userData);

// Decodes the pixels that follow an in-memory BITMAPINFOHEADER into a 24-bit destination
// with the BGRImage stride for the header's width. pixelData null: the pixels follow the
// palette. available is the number of bytes from infoHeader to the end of the memory block.
// Returns false (after the "LoadBMP: Unsupported pixel format" message) for a compressed
// or unsupported depth, and false without a message when the header is unusable, the
// bytes would leave the block or a pixel indexes past the palette.
bool DecodeBMPPixels(const std::uint8_t* infoHeader, const std::uint8_t* pixelData,
                     std::uint8_t* destination, std::size_t available);

// Writes a 24-bit bottom-up BMP; bytesPerPixel is not consulted, the stride must be the
// BGRImage stride for the width. Throws ioException.
void SaveBMP(const char* path, Size size, std::uint32_t stride, int bytesPerPixel,
             const std::uint8_t* pixels);
