#pragma once
#include <cstddef>
#include <cstdint>

// A size in pixels: (width, height).
struct Size {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// A pixel position: x from the left column, y from row 0 (the bottom row).
struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Rows of blue-green-red pixels somewhere in memory, counted from the bottom row as
// pictures are here, whichever order they lie in: step is the distance in bytes from a
// row to the row above, negative for memory that holds the top row first (X images).
// Bytes past the third of a pixel are padding.
struct PixelRows {
    std::uint8_t* bottom = nullptr;
    std::ptrdiff_t step = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    int bytesPerPixel = 3;

    Size size() const { return {width, height}; }
    std::uint8_t* row(std::int32_t y) const { return bottom + static_cast<std::ptrdiff_t>(y) * step; }
};

// Memory holding size.height rows of stride bytes, the top row first.
inline PixelRows topDownRows(std::uint8_t* top, std::size_t stride, Size size, int bytesPerPixel) {
    const std::ptrdiff_t step = static_cast<std::ptrdiff_t>(stride);
    std::uint8_t* bottom = size.height > 0 ? top + static_cast<std::ptrdiff_t>(size.height - 1) * step : top;
    return {bottom, -step, size.width, size.height, bytesPerPixel};
}
