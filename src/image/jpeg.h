#pragma once
#include <cstdint>

#include "image/image_io.h"

// JPEG files through libjpeg: any JPEG read into a 3-byte destination, baseline 24-bit
// writing at the library's default settings (quality 75). libjpeg's messages appear in
// a message box; its errors become ioException (reading or writing).
void LoadJPEG(const char* path, PixelSink sink, void* userData);
void SaveJPEG(const char* path, Size size, std::uint32_t stride, int bytesPerPixel,
              const std::uint8_t* pixels);
