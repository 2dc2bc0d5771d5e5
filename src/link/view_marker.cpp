#include "link/view_marker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "link/link_record.h"

namespace {

constexpr float singlePi = 3.14159274f;
constexpr float markerScale = 40.7436638f;  // 128 / pi
constexpr std::uint32_t markerKey = 0x6742F2;

// Into [-pi, pi] in steps of pi (not 2 pi), as the paint-program plug-ins decode it.
float wrapMarkerAngle(float angle) {
    if (!std::isfinite(angle)) return 0;
    // Far beyond any view the shell produces; keeps the stepping loop short, and finite
    // where a step of pi would no longer change the float.
    if (std::fabs(angle) > 1.0e6f) angle = std::fmod(angle, singlePi);
    while (angle < -singlePi) angle += singlePi;
    while (angle > singlePi) angle -= singlePi;
    return angle;
}

std::uint32_t markerByte(float angle) {
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(wrapMarkerAngle(angle) * markerScale + 128.0f)) & 0xFF;
}

// The corner pixels' offsets; false for an empty picture.
bool cornerOffsets(const PictureLayout& layout, std::size_t (&offsets)[4]) {
    if (layout.width <= 0 || layout.height <= 0) return false;
    const std::size_t lastColumn = static_cast<std::size_t>(layout.width - 1) * static_cast<std::size_t>(layout.bytesPerPixel);
    const std::size_t lastRow = static_cast<std::size_t>(layout.height - 1) * layout.stride;
    offsets[0] = 0;
    offsets[1] = lastColumn;
    offsets[2] = lastRow;
    offsets[3] = lastRow + lastColumn;
    return true;
}

// The marker's three bytes in the layout's channel order.
void markerBytes(std::uint32_t marker, ChannelOrder order, std::uint8_t (&bytes)[3]) {
    const std::uint8_t red = static_cast<std::uint8_t>(marker), green = static_cast<std::uint8_t>(marker >> 8),
                       blue = static_cast<std::uint8_t>(marker >> 16);
    bytes[0] = order == ChannelOrder::rgb ? red : blue;
    bytes[1] = green;
    bytes[2] = order == ChannelOrder::rgb ? blue : red;
}

}  // namespace

std::uint32_t viewMarker(float heading, float pitch) {
    return ((markerByte(heading) << 8) | markerByte(pitch)) ^ markerKey;
}

void stampViewMarker(std::uint8_t* pixels, const PictureLayout& layout, std::uint32_t marker) {
    std::size_t offsets[4];
    if (pixels == nullptr || !cornerOffsets(layout, offsets)) return;
    std::uint8_t bytes[3];
    markerBytes(marker, layout.order, bytes);
    for (std::size_t offset : offsets)
        for (int c = 0; c < 3; ++c) pixels[offset + static_cast<std::size_t>(c)] = bytes[c];
}

bool cornerCarriesViewMarker(const std::uint8_t* pixels, const PictureLayout& layout, std::uint32_t marker) {
    std::size_t offsets[4];
    if (pixels == nullptr || !cornerOffsets(layout, offsets)) return false;
    std::uint8_t bytes[3];
    markerBytes(marker, layout.order, bytes);
    for (std::size_t offset : offsets)
        if (pixels[offset] == bytes[0] && pixels[offset + 1] == bytes[1] && pixels[offset + 2] == bytes[2])
            return true;
    return false;
}

MarkedAngles markedAngles(std::uint32_t marker) {
    const std::uint32_t bytes = marker ^ markerKey;
    // A byte stands for the step of angles truncated to it: its middle is the best guess.
    const auto angle = [](std::uint32_t byte) { return (static_cast<float>(byte & 0xFF) - 127.5f) / markerScale; };
    return {angle(bytes >> 8), angle(bytes)};
}

std::optional<std::uint32_t> foreignViewMarker(const std::uint8_t* pixels, const PictureLayout& layout,
                                               std::uint32_t expected) {
    std::size_t offsets[4];
    if (pixels == nullptr || !cornerOffsets(layout, offsets)) return std::nullopt;
    if (cornerCarriesViewMarker(pixels, layout, expected)) return std::nullopt;
    std::uint32_t found[4];
    int count = 0;
    for (std::size_t offset : offsets) {
        const std::uint8_t* p = pixels + offset;
        const std::uint8_t red = layout.order == ChannelOrder::rgb ? p[0] : p[2];
        const std::uint8_t blue = layout.order == ChannelOrder::rgb ? p[2] : p[0];
        const std::uint32_t value = (std::uint32_t{blue} << 16) | (std::uint32_t{p[1]} << 8) | red;
        if ((value >> 16) == (markerKey >> 16)) found[count++] = value;
    }
    const auto stepsApart = [](std::uint32_t a, std::uint32_t b) {
        const int d = std::abs(static_cast<int>(a & 0xFF) - static_cast<int>(b & 0xFF));
        return std::min(d, 256 - d);  // the byte wraps with the angle
    };
    for (int i = 0; i < count; ++i)
        for (int j = i + 1; j < count; ++j) {
            if (found[i] != found[j]) continue;
            const std::uint32_t a = found[i] ^ markerKey, b = expected ^ markerKey;
            if (stepsApart(a >> 8, b >> 8) > 1 || stepsApart(a, b) > 1) return found[i];
        }
    return std::nullopt;
}

std::int32_t maskModeFor(std::int32_t command, bool hasPicture, const std::uint8_t* pixels,
                         const PictureLayout& layout, float heading, float pitch) {
    if (!hasPicture) return 0;
    if (command == LinkCommand::newFromTemplate || command == LinkCommand::newEmpty) return 1;
    return cornerCarriesViewMarker(pixels, layout, viewMarker(heading, pitch)) ? 2 : 0;
}
