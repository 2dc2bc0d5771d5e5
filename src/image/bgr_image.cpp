#include "image/bgr_image.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "image/pixel_memory.h"

BGRImage::BGRImage(Size size) : width(size.width), height(size.height), stride(strideFor(size.width)) {}

BGRImage::~BGRImage() {
    width = 0;
    height = 0;
    stride = 0;
}

void BGRImage::copyScaled(const BGRImage& source, Point sourceOrigin, Size sourceSize, Point origin,
                          Size destinationSize) {
    const auto [sx, sy] = sourceOrigin;
    const auto [sw, sh] = sourceSize;
    const auto [dx, dy] = origin;
    const auto [dw, dh] = destinationSize;
    if (dw <= 0 || dh <= 0) return;

    if (sw == dw && sh == dh && sw == source.width && dw == width) {
        // Whole rows of equal length: the two layouts agree byte for byte.
        std::memmove(row(dy), source.row(sy), static_cast<std::size_t>(dh) * stride);
        return;
    }
    for (std::int32_t i = 0; i < dh; ++i) {
        const std::int32_t sourceRow = sy + static_cast<std::int32_t>(static_cast<std::int64_t>(i) * sh / dh);
        const std::uint8_t* from = source.row(sourceRow);
        std::uint8_t* to = row(dy + i) + 3 * static_cast<std::size_t>(dx);
        if (sw == dw) {
            std::memmove(to, from + 3 * static_cast<std::size_t>(sx), 3 * static_cast<std::size_t>(dw));
            continue;
        }
        for (std::int32_t j = 0; j < dw; ++j) {
            const std::int32_t column = sx + static_cast<std::int32_t>(static_cast<std::int64_t>(j) * sw / dw);
            std::memcpy(to + 3 * static_cast<std::size_t>(j), from + 3 * static_cast<std::size_t>(column), 3);
        }
    }
}

void BGRImage::rotateQuarter(int counterClockwise) {
    const std::int32_t n = width;
    if (n != height || pixels == nullptr) return;
    auto at = [this](std::int32_t x, std::int32_t y) { return row(y) + 3 * static_cast<std::size_t>(x); };
    for (std::int32_t i = 0; i < n / 2; ++i) {
        for (std::int32_t j = 0; j < (n + 1) / 2; ++j) {
            // The four pixels that trade places under a quarter turn.
            std::uint8_t* a = at(j, i);
            std::uint8_t* b = at(i, n - 1 - j);
            std::uint8_t* c = at(n - 1 - j, n - 1 - i);
            std::uint8_t* d = at(n - 1 - i, j);
            std::uint8_t t[3];
            std::memcpy(t, a, 3);
            if (counterClockwise) {
                // new(x, y) = old(y, n-1-x): a <- b, b <- c, c <- d, d <- old a.
                std::memcpy(a, b, 3);
                std::memcpy(b, c, 3);
                std::memcpy(c, d, 3);
                std::memcpy(d, t, 3);
            } else {
                // new(x, y) = old(n-1-y, x): a <- d, d <- c, c <- b, b <- old a.
                std::memcpy(a, d, 3);
                std::memcpy(d, c, 3);
                std::memcpy(c, b, 3);
                std::memcpy(b, t, 3);
            }
        }
    }
}

RawImage::RawImage(Size size) : BGRImage(size) {
    allocate(size);
    std::memset(pixels, 0, static_cast<std::size_t>(stride) * static_cast<std::size_t>(std::max(height, 0)));
}

RawImage::RawImage(Size size, std::uint8_t* borrowedPixels) : BGRImage(size) {
    pixels = borrowedPixels;
    ownsPixels = 0;
}

RawImage::~RawImage() {
    storage_.reset();
    pixels = nullptr;
    ownsPixels = 0;
}

void RawImage::allocate(Size size) {
    width = std::max(size.width, 0);
    height = std::max(size.height, 0);
    stride = strideFor(width);
    storage_ = allocatePixels(static_cast<std::size_t>(stride) * height);
    pixels = storage_.get();
    ownsPixels = 1;
}

void RawImage::sink(Size size, int, void* userData, std::uint32_t& stride, int& bytesPerPixel,
                    std::uint8_t*& pixels) {
    auto* image = static_cast<RawImage*>(userData);
    try {
        image->allocate(size);
    } catch (const std::bad_alloc&) {
        // No pixels: the reader refuses the destination and reports the file.
        image->storage_.reset();
        image->pixels = nullptr;
    }
    stride = image->stride;
    bytesPerPixel = 3;
    pixels = image->pixels;
}
