// Pictures compiled into the program, decoded by the BMP and Targa readers from memory.
#include <cstring>
#include <span>

#include "image/bgr_image.h"
#include "image/bgra_image.h"
#include "image/bmp.h"
#include "image/little_endian.h"
#include "image/tga.h"
#include "platform/io_exception.h"
#include "platform/resources.h"

namespace {

// A complete BMP file: BITMAPFILEHEADER (14 bytes), then BITMAPINFOHEADER.
constexpr std::size_t fileHeaderSize = 14;
constexpr std::size_t dataOffsetField = 10;  // u32, from the file's start; 0 = after the palette
constexpr std::size_t widthField = fileHeaderSize + 4;   // s32
constexpr std::size_t heightField = fileHeaderSize + 8;  // s32
constexpr std::size_t infoHeaderSize = 40;
constexpr std::int32_t maxDimension = 32767;

// Installs the memory source over one resource for one decoding, and restores the
// previous source however the decoding ends.
class TargaMemoryScope {
public:
    explicit TargaMemoryScope(std::span<const std::uint8_t> bytes)
        : previous_(setTargaByteSource(targaMemorySource)) {
        setTargaMemory(bytes.data(), bytes.size());
    }
    ~TargaMemoryScope() {
        setTargaMemory(nullptr, 0);
        setTargaByteSource(previous_);
    }
    TargaMemoryScope(const TargaMemoryScope&) = delete;
    TargaMemoryScope& operator=(const TargaMemoryScope&) = delete;

private:
    TargaByteSource previous_;
};

}  // namespace

RawImage::RawImage(const char* bmpPath) : BGRImage(Size{0, 0}) { LoadBMP(bmpPath, RawImage::sink, this); }

RawImage::RawImage(const char* resourceName, const char* resourceType) : BGRImage(Size{0, 0}) {
    if (resourceType == nullptr || std::strcmp(resourceType, "BITMAP24") != 0) return;
    const std::span<const std::uint8_t> bytes = findResource(resourceName, resourceType);
    if (bytes.size() < fileHeaderSize + infoHeaderSize) return;
    const std::uint32_t dataOffset = getLE32(bytes.data() + dataOffsetField);
    const auto width = static_cast<std::int32_t>(getLE32(bytes.data() + widthField));
    const auto height = static_cast<std::int32_t>(getLE32(bytes.data() + heightField));
    if (width < 0 || width > maxDimension || height < 0 || height > maxDimension) return;
    if (dataOffset > bytes.size()) return;

    allocate({width, height});
    const std::uint8_t* pixelData = dataOffset != 0 ? bytes.data() + dataOffset : nullptr;
    if (!DecodeBMPPixels(bytes.data() + fileHeaderSize, pixelData, pixels, bytes.size() - fileHeaderSize)) {
        // An undecodable resource is as good as a missing one: no pixels.
        storage_.reset();
        pixels = nullptr;
        ownsPixels = 0;
        this->width = this->height = 0;
        stride = 0;
    }
}

BGRAImage::BGRAImage(const char* resourceName, const char* resourceType) {
    if (resourceType == nullptr) return;
    if (std::strcmp(resourceType, "TARGA32") == 0) {
        const std::span<const std::uint8_t> bytes = findResource(resourceName, resourceType);
        if (bytes.empty()) return;
        try {
            TargaMemoryScope scope(bytes);
            DecodeTGA(resourceName, nullptr, BGRAImage::sink, this);
        } catch (const ioException&) {
            // An undecodable resource is as good as a missing one: no pixels.
            storage_.reset();
            pixels = nullptr;
            width = height = 0;
            stride = 0;
        }
    } else if (std::strcmp(resourceType, "BITMAP24") == 0) {
        const RawImage picture(resourceName, resourceType);
        if (picture.pixels == nullptr) return;
        const std::uint8_t black[3] = {0, 0, 0};
        convertKeyed(picture, black);
    }
}
