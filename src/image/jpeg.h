#pragma once
#include <cstdint>
#include <memory>

#include "image/image_io.h"
#include "image/jpeg_face_options.h"

struct PhotoMetadata;  // image/photo_metadata.h
class JpegBlocks;      // image/jpeg_blocks.h

// JPEG files through libjpeg: any JPEG read into a 3-byte destination (CMYK and YCCK
// turned into RGB, the inks read as inverted when the file has Adobe's APP14 segment),
// baseline 24-bit writing at the library's default settings (quality 75). libjpeg's
// messages appear in a message box; its errors become ioException (reading or writing).
void LoadJPEG(const char* path, PixelSink sink, void* userData);
void SaveJPEG(const char* path, Size size, std::uint32_t stride, int bytesPerPixel,
              const std::uint8_t* pixels);
// SaveJPEG at encoding's quality and chroma sampling; the default encoding writes the
// same bytes as SaveJPEG.
void SaveJPEGFace(const char* path, Size size, std::uint32_t stride, int bytesPerPixel,
                  const std::uint8_t* pixels, const JpegFaceEncoding& encoding);

// The same for a photo: the reading also collects the APP1, APP2 and COM segments worth
// keeping (copyableJpegSegment; a CMYK file's colour profile is not, and metadata says
// that the colours were converted), and with blocks the file's DCT coefficients
// (ReadJPEGBlocks, null when they cannot be written back as they are), read beside the
// pixels from the same bytes; the writing uses that quality (1-100) with every colour
// sampled at every pixel and writes the segments back in their order.
void LoadJPEGPhoto(const char* path, PixelSink sink, void* userData, PhotoMetadata& metadata,
                   std::unique_ptr<JpegBlocks>* blocks = nullptr);
void SaveJPEGPhoto(const char* path, Size size, std::uint32_t stride, const std::uint8_t* pixels, int quality,
                   const PhotoMetadata& metadata);
