#include "image/bgra_image.h"

#include <algorithm>
#include <new>

#include "image/bgr_image.h"
#include "image/pixel_memory.h"

BGRAImage::BGRAImage(Size size) { allocate(size); }

BGRAImage::BGRAImage(const BGRImage& source, const std::uint8_t key[3]) { convertKeyed(source, key); }

BGRAImage::~BGRAImage() {
    storage_.reset();
    pixels = nullptr;
    width = height = 0;
    stride = 0;
}

void BGRAImage::allocate(Size size) {
    width = std::max(size.width, 0);
    height = std::max(size.height, 0);
    stride = 4 * static_cast<std::uint32_t>(width);
    storage_ = allocatePixels(static_cast<std::size_t>(stride) * height);
    pixels = storage_.get();
}

void BGRAImage::convertKeyed(const BGRImage& source, const std::uint8_t key[3]) {
    allocate(source.size());
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* from = source.row(y);
        std::uint8_t* to = pixels + static_cast<std::size_t>(y) * stride;
        for (std::int32_t x = 0; x < width; ++x, from += 3, to += 4) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
            const bool keyed = from[0] == key[0] && from[1] == key[1] && from[2] == key[2];
            to[3] = keyed ? 0 : 255;
        }
    }
}

void BGRAImage::sink(Size size, int, void* userData, std::uint32_t& stride, int& bytesPerPixel,
                     std::uint8_t*& pixels) {
    auto* image = static_cast<BGRAImage*>(userData);
    try {
        image->allocate(size);
    } catch (const std::bad_alloc&) {
        // No pixels: the reader refuses the destination and reports the file.
        image->storage_.reset();
        image->pixels = nullptr;
    }
    stride = image->stride;
    bytesPerPixel = 4;
    pixels = image->pixels;
}
