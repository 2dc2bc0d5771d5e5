#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "image/image_io.h"

// Targa files: colour-mapped, true-colour and greyscale, raw or run-length, reading;
// uncompressed 24- and 32-bit writing.

// Returns the next byte of the Targa being decoded.
using TargaByteSource = int (*)(std::FILE* file);

// Installs a byte source (null: the file source) and returns the one it replaced.
TargaByteSource setTargaByteSource(TargaByteSource source);
// The default source: the next byte of the file, 255 past its end.
int targaFileSource(std::FILE* file);
// The memory source: the byte at the process-wide read pointer (set by
// setTargaMemory), 255 past the end of the block.
int targaMemorySource(std::FILE* file);
void setTargaMemory(const std::uint8_t* data, std::size_t size);

void LoadTGA(const char* path, PixelSink sink, void* userData);
// Decodes one Targa from the current byte source; name is used only in exceptions. Throws
// ioException reading for a header, colour map, interleave or pixel it cannot decode
// safely; bytes past the end of the data read as 255.
void DecodeTGA(const char* name, std::FILE* file, PixelSink sink, void* userData);
void SaveTGA(const char* path, Size size, std::uint32_t stride, int bytesPerPixel,
             const std::uint8_t* pixels);
