#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "panorama/six_image.h"
#include "platform/io_exception.h"
#include "view/geometry.h"
#include "view/view_marker.h"

namespace {

constexpr float markerScale = 40.7436638f;  // 128 / pi
constexpr std::uint32_t markerKey = 0x6742F2;

// Into [-pi, pi] in steps of pi (not 2 pi), as the paint-program plug-ins decode it.
float wrapMarkerAngle(float angle) {
    if (!std::isfinite(angle)) return 0;
    // Far beyond any view the shell produces; keeps the stepping loop short (and finite
    // where a step of pi no longer changes the float).
    if (std::fabs(angle) > 1.0e6f) angle = std::fmod(angle, singlePi);
    while (angle < -singlePi) angle += singlePi;
    while (angle > singlePi) angle -= singlePi;
    return angle;
}

std::uint32_t markerByte(float angle) {
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(wrapMarkerAngle(angle) * markerScale + 128.0f)) & 0xFF;
}

}  // namespace

std::uint32_t viewMarker(float heading, float pitch) {
    return ((markerByte(heading) << 8) | markerByte(pitch)) ^ markerKey;
}

void PaintedSixImage::saveViewFile(const char* path) const {
    if (viewPixels == nullptr || viewWidth <= 0 || viewHeight <= 0)
        throw ioException{path != nullptr ? path : "", ioException::writing};

    const std::uint32_t stride = BGRImage::strideFor(viewWidth);
    const std::size_t bytes = static_cast<std::size_t>(stride) * viewHeight;
    auto file = std::make_unique<std::uint8_t[]>(bytes);  // zeroed: the row padding too
    for (int i = 0; i < viewHeight; ++i) {
        const std::uint8_t* from = viewPixels.get() + static_cast<std::size_t>(viewHeight - 1 - i) * viewWidth * 4;
        std::uint8_t* to = file.get() + static_cast<std::size_t>(i) * stride;
        for (int j = 0; j < viewWidth; ++j, from += 4, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }

    const std::uint32_t marker = viewMarker(heading, pitch);
    const std::uint8_t corner[3] = {static_cast<std::uint8_t>(marker >> 16), static_cast<std::uint8_t>(marker >> 8),
                                    static_cast<std::uint8_t>(marker)};
    const std::size_t lastColumn = 3 * static_cast<std::size_t>(viewWidth - 1);
    const std::size_t topRow = static_cast<std::size_t>(viewHeight - 1) * stride;
    for (std::size_t offset : {std::size_t{0}, lastColumn, topRow, topRow + lastColumn})
        std::memcpy(file.get() + offset, corner, 3);

    SaveBMP(path, {viewWidth, viewHeight}, stride, 3, file.get());
}
