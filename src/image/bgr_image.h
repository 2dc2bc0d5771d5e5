#pragma once
#include <cstdint>
#include <memory>

#include "image/image_io.h"
#include "image/pixel_memory.h"
#include "platform/image_types.h"

// 24-bit picture: blue, green, red; rows bottom-up, each padded to a multiple of 4 bytes.
// Byte for byte the pixel array of an uncompressed 24-bit BMP and of glReadPixels(GL_BGR)
// with pack alignment 4. The base class owns nothing; subclasses supply the pixels.
class BGRImage {
public:
    explicit BGRImage(Size size);
    virtual ~BGRImage();
    BGRImage(const BGRImage&) = delete;
    BGRImage& operator=(const BGRImage&) = delete;

    // 3 x width rounded up to a multiple of 4.
    static std::uint32_t strideFor(std::int32_t width) {
        return static_cast<std::uint32_t>((3 * static_cast<std::int64_t>(width) + 3) / 4 * 4);
    }

    Size size() const { return {width, height}; }
    std::uint8_t* row(std::int32_t y) { return pixels + static_cast<std::size_t>(y) * stride; }
    const std::uint8_t* row(std::int32_t y) const { return pixels + static_cast<std::size_t>(y) * stride; }
    PixelRows rows() { return {pixels, static_cast<std::ptrdiff_t>(stride), width, height, 3}; }

    // Nearest-neighbour copy of a source rectangle onto a rectangle of this image, sampling
    // at the low edge of each destination pixel. The caller keeps both rectangles inside
    // their images.
    void copyScaled(const BGRImage& source, Point sourceOrigin, Size sourceSize, Point origin,
                    Size destinationSize);

    // Quarter turn of a square image in place; non-zero turns counter-clockwise as seen
    // with row 0 at the bottom.
    void rotateQuarter(int counterClockwise);

    std::uint8_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t stride = 0;
};

// A BGRImage whose pixels are on the heap (or borrowed, when ownsPixels is 0).
class RawImage : public BGRImage {
public:
    // width x height black pixels.
    explicit RawImage(Size size);
    // Wraps pixels of the BGRImage layout for that size; they are not freed.
    RawImage(Size size, std::uint8_t* borrowedPixels);
    // Reads a BMP file (LoadBMP); throws what the reader throws.
    explicit RawImage(const char* bmpPath);
    // Decodes the program resource of that name; only type "BITMAP24" is known. A missing
    // resource leaves a 0 x 0 image with no pixels.
    RawImage(const char* resourceName, const char* resourceType);
    ~RawImage() override;

    // The sink that makes a reader fill a RawImage passed as user data.
    static void sink(Size size, int bytesPerPixelHint, void* userData, std::uint32_t& stride,
                     int& bytesPerPixel, std::uint8_t*& pixels);

    // Replaces the pixels by stride x height uncleared bytes of a new size.
    void allocate(Size size);

    std::int32_t ownsPixels = 0;

private:
    PixelStorage storage_;
};
