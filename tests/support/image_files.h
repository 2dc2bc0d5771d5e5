#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/image_types.h"

// A BMP file built byte by byte, independently of the reader under test.
struct BmpFile {
    int bitCount = 24;  // 4, 8 or 24
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t coloursUsed = 0;                      // the header field
    std::vector<std::array<std::uint8_t, 3>> palette;   // blue, green, red; all written
    // Set: the data offset field points this many bytes past the palette. Empty: the
    // field is 0 and the pixels follow the palette.
    std::optional<std::uint32_t> gap;
    // One per pixel, row 0 (the bottom) first: a palette index, or 0xRRGGBB at 24 bits.
    std::vector<std::uint32_t> values;

    std::vector<std::uint8_t> bytes() const;
    // Blue, green, red of pixel (x, y) as a reader should decode it.
    std::array<std::uint8_t, 3> expected(std::int32_t x, std::int32_t y) const;
};

// The 18-byte Targa header with those fields (16-bit fields little-endian).
std::vector<std::uint8_t> targaHeader(std::uint8_t imageType, std::uint8_t colourMapType,
                                      std::int16_t firstIndex, std::int16_t mapLength,
                                      std::uint8_t entrySize, std::int16_t width,
                                      std::int16_t height, std::uint8_t depth,
                                      std::uint8_t descriptor = 0, std::uint8_t idLength = 0);

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readBytes(const std::string& path);
// The whole file as text; empty when it cannot be read.
std::string fileText(const std::string& path);

// A destination filled through the PixelSink protocol, with the answers it gives
// configurable so that tests can hand readers unusable destinations.
struct SinkPicture {
    Size size{-1, -1};  // as the reader announced it; -1 x -1 until then
    int hint = 0;
    int bytesPerPixel = 3;     // answered
    std::uint32_t strideSlack = 0;  // bytes added to each row
    std::int32_t strideShortBy = 0; // bytes taken from each row
    bool nullPixels = false;   // answer null pixels
    std::int64_t maxPixels = -1;  // above this many pixels answer null pixels
    std::uint32_t stride = 0;
    std::vector<std::uint8_t> pixels;

    static void sink(Size size, int hint, void* userData, std::uint32_t& stride, int& bytesPerPixel,
                     std::uint8_t*& pixels);
    const std::uint8_t* at(std::int32_t x, std::int32_t y) const {
        return pixels.data() + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * bytesPerPixel;
    }
};
