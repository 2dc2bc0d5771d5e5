#pragma once
#include <cstdint>
#include <optional>

#include "image/image_io.h"

// Where a reader writes a picture, as a sink answered.
struct PixelDestination {
    std::uint8_t* pixels = nullptr;
    std::uint32_t stride = 0;
    int bytesPerPixel = 3;

    std::uint8_t* row(std::int32_t y) const { return pixels + static_cast<std::size_t>(y) * stride; }
};

// Asks the sink for the destination of a picture of that size. Empty when the answer
// cannot hold the picture: bytes per pixel other than 3 or 4, a stride shorter than a
// row, or no pixels for a non-empty picture.
inline std::optional<PixelDestination> requestDestination(PixelSink sink, Size size, int hint,
                                                          void* userData) {
    PixelDestination destination;
    sink(size, hint, userData, destination.stride, destination.bytesPerPixel, destination.pixels);
    if (destination.bytesPerPixel != 3 && destination.bytesPerPixel != 4) return std::nullopt;
    if (size.width > 0 && size.height > 0) {
        if (destination.pixels == nullptr) return std::nullopt;
        if (destination.stride < static_cast<std::uint64_t>(size.width) * destination.bytesPerPixel)
            return std::nullopt;
    }
    return destination;
}
