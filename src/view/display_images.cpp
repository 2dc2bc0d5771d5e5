#include "view/display_images.h"

#include <cstring>

Size halfSizeOf(Size size) { return {(size.width + 1) / 2, (size.height + 1) / 2}; }

DisplayImages::DisplayImages(Size size) : full_(std::make_unique<RawImage>(size)) {
    // The half image's stride never exceeds the full one's, so it fits in the same memory.
    half_ = std::make_unique<RawImage>(halfSizeOf(size), full_->pixels);
}

void expandHalfInPlace(BGRImage& full, std::uint32_t halfStride) {
    // Row y of the result comes from half row y / 2, which lies at or before row y's bytes
    // (halfStride <= stride), and within a row column x from column x / 2: going from the
    // last row and column backwards reads every source byte before it is overwritten.
    for (int y = full.height - 1; y >= 0; --y) {
        // The lower row of a pair repeats the upper one, made just before from the same
        // half row; everything a later row still needs lies below both.
        if (y % 2 == 0 && y + 1 < full.height) {
            std::memmove(full.row(y), full.row(y + 1), 3 * static_cast<std::size_t>(full.width));
            continue;
        }
        const std::uint8_t* from = full.pixels + static_cast<std::size_t>(y / 2) * halfStride;
        std::uint8_t* to = full.row(y);
        for (int x = full.width - 1; x >= 0; --x) {
            const std::uint8_t* s = from + 3 * (x / 2);
            std::uint8_t b = s[0], g = s[1], r = s[2];
            to[3 * x] = b;
            to[3 * x + 1] = g;
            to[3 * x + 2] = r;
        }
    }
}
