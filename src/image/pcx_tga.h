#pragma once
#include <cstdint>

#include "image/image_io.h"

// The "QuakeII, Targa & PCX" layout: every face written twice, as name.pcx and then
// name.tga; read as PCX when the name ends in ".pcx" (any case), else as Targa.
void SavePCXAndTGA(const char* path, Size size, std::uint32_t stride, int bytesPerPixel,
                   const std::uint8_t* pixels);
void LoadPCXOrTGA(const char* path, PixelSink sink, void* userData);
