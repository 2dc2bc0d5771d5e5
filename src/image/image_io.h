#pragma once
#include <cstdint>

#include "platform/image_types.h"

// How a reader obtains its destination once it knows the picture's size: the sink
// allocates and answers with the destination's stride, bytes per pixel (3 or 4) and row 0.
// bytesPerPixelHint is 4 when the file carries alpha (32-bit Targa), else 3.
using PixelSink = void (*)(Size size, int bytesPerPixelHint, void* userData, std::uint32_t& stride,
                           int& bytesPerPixel, std::uint8_t*& pixels);

// Every image file reader: throws ioException on failure.
using ImageReader = void (*)(const char* path, PixelSink sink, void* userData);

// Every image file writer: writes the rows from row 0 (the bottom) upward; throws
// ioException on failure.
using ImageWriter = void (*)(const char* path, Size size, std::uint32_t stride, int bytesPerPixel,
                             const std::uint8_t* pixels);
