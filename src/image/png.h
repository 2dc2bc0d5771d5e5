#pragma once
#include <cstdint>

#include "image/image_io.h"

struct PhotoMetadata;  // image/photo_metadata.h

// PNG files through libpng: any PNG read as 8-bit blue, green, red (alpha and
// transparency dropped); 8-bit RGB or RGBA writing with a "Software" text chunk.
// Every libpng error becomes ioException (opening) naming the file; warnings appear in
// a message box.
void LoadPNG(const char* path, PixelSink sink, void* userData);
void SavePNG(const char* path, Size size, std::uint32_t stride, int bytesPerPixel,
             const std::uint8_t* pixels);

// The same for a photo: the reading also collects the text chunks and the ICC profile,
// the writing puts them back (with "Software" only when the photo had none).
void LoadPNGPhoto(const char* path, PixelSink sink, void* userData, PhotoMetadata& metadata);
void SavePNGPhoto(const char* path, Size size, std::uint32_t stride, const std::uint8_t* pixels,
                  const PhotoMetadata& metadata);
