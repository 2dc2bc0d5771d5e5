#pragma once
#include <cstdint>
#include <string>

#include "image/image_io.h"

// The three choices of a PCX write, as the settings "PCXColormap", "PCXDither" and
// "PCXResize" hold them.
struct PCXWriteOptions {
    std::string colormap;      // ".act" or ".pal" path; empty for the built-in palette
    std::uint32_t dither = 160;  // 0 no dithering; pixels of adjusted luma above it pass no error
    std::uint32_t resize = 1;    // non-zero: faces not 256 wide are written at 256 x 256
};

// Writes a 24-bit picture (BGRImage layout) as an 8-bit run-length PCX with a 256-colour
// palette. Throws ioException (writing).
void writePCX(const char* path, Size size, std::uint32_t stride, const std::uint8_t* pixels,
              const PCXWriteOptions& options);

// ImageWriter form: writePCX with the options read from the settings. The bytes per
// pixel are not consulted. Defined beside the other settings code (pcx_options.cpp).
void SavePCX(const char* path, Size size, std::uint32_t stride, int bytesPerPixel,
             const std::uint8_t* pixels);
