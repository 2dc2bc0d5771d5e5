#pragma once
#include "image/image_io.h"

// Run-length-encoded PCX files of 1, 2, 4 or 8 bits per pixel and plane with 1, 3 or 4
// planes, read into a 3-byte destination. Throws ioException.
void LoadPCX(const char* path, PixelSink sink, void* userData);
