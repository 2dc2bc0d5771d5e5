#pragma once
#include <cstdint>
#include <memory>

#include "image/image_io.h"
#include "image/pixel_memory.h"
#include "platform/image_types.h"

class BGRImage;
class RawImage;

// 32-bit picture: blue, green, red, alpha; rows bottom-up, 4 x width bytes apart.
class BGRAImage {
public:
    // Allocates 4 x width x height bytes, not initialised.
    explicit BGRAImage(Size size);
    // A program resource: "TARGA32" (a Targa file) or "BITMAP24" (a BMP keyed on black).
    // A missing resource or another type leaves the image without pixels.
    BGRAImage(const char* resourceName, const char* resourceType);
    // convertKeyed of the image with the key colour (blue, green, red).
    BGRAImage(const BGRImage& source, const std::uint8_t key[3]);
    virtual ~BGRAImage();
    BGRAImage(const BGRAImage&) = delete;
    BGRAImage& operator=(const BGRAImage&) = delete;

    // Copies the source's colours; alpha 0 where blue, green and red all equal the key,
    // 255 elsewhere.
    void convertKeyed(const BGRImage& source, const std::uint8_t key[3]);

    // The sink that makes a reader fill a BGRAImage passed as user data.
    static void sink(Size size, int bytesPerPixelHint, void* userData, std::uint32_t& stride,
                     int& bytesPerPixel, std::uint8_t*& pixels);

    void allocate(Size size);

    std::uint8_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t stride = 0;

private:
    PixelStorage storage_;
};
