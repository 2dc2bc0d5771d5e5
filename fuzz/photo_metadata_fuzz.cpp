// Segments as a photo file carries them: each is kept or dropped, and the kept ones get
// the panorama's XMP properties added as a save does. Input: segments of one marker
// selector byte, a 16-bit little-endian length and that many bytes; then a 16-bit width.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "image/photo_metadata.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static constexpr int markers[] = {0xE1, 0xE2, 0xFE, 0xE0};
    PhotoMetadata metadata;
    std::size_t at = 0;
    while (at + 3 <= size) {
        const int marker = markers[data[at] % 4];
        const std::size_t length = std::min<std::size_t>(data[at + 1] | (data[at + 2] << 8), size - at - 3);
        const std::uint8_t* segment = data + at + 3;
        if (copyableJpegSegment(marker, segment, length))
            metadata.jpegSegments.push_back({marker, std::vector<std::uint8_t>(segment, segment + length)});
        at += 3 + length;
    }
    const std::int32_t width = size >= 2 ? (data[size - 2] | (data[size - 1] << 8)) : 4096;
    addPanoramaXmp(metadata, {width, std::max(width / 2, 1)});
    return 0;
}
