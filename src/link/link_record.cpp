#include "link/link_record.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr std::int32_t side = LinkRecord::maxTileSide;

std::int16_t narrow(std::int32_t value) { return static_cast<std::int16_t>(value); }

// Angles beyond this cannot be brought into [-pi, pi] by steps of pi in single precision.
constexpr float maxAngle = 1.0e6f;

bool angleIsSane(float value) { return std::isfinite(value) && std::fabs(value) <= maxAngle; }
}  // namespace

bool linkImageSizeIsSane(std::int32_t width, std::int32_t height) {
    return width >= 0 && height >= 0 && width <= maxLinkImageSide && height <= maxLinkImageSide;
}

void firstTile(std::int32_t width, std::int32_t height, TileRect& tile) {
    // A size the tile fields cannot describe gives the empty exchange of a bare command.
    if (!linkImageSizeIsSane(width, height)) width = height = 0;
    tile = TileRect{0, 0, narrow(std::min(height, side)), narrow(std::min(width, side))};
}

bool nextTile(std::int32_t width, std::int32_t height, TileRect& tile) {
    if (!linkImageSizeIsSane(width, height)) return false;
    if (tile.right == 0 || tile.bottom == 0) return false;
    if (tile.left + side < width) {
        tile.left = narrow(tile.left + side);
        tile.right = narrow(std::min(tile.right + side, width));
        return true;
    }
    if (tile.top + side >= height) return false;
    tile.left = 0;
    tile.right = narrow(std::min(width, side));
    tile.top = narrow(tile.top + side);
    tile.bottom = narrow(std::min(tile.top + side, height));
    return true;
}

bool isFirstTile(const TileRect& tile) {
    return tile.bottom == tile.top || tile.right == tile.left || (tile.top == 0 && tile.left == 0);
}

bool isLastTile(std::int32_t width, std::int32_t height, const TileRect& tile) {
    return tile.bottom == tile.top || tile.right == tile.left ||
           (tile.bottom == height && tile.right == width);
}

bool transferIsSound(const LinkRecord& header, LinkSide reader) {
    const std::int32_t width = header.imageWidth, height = header.imageHeight;
    if (!linkImageSizeIsSane(width, height)) return false;
    const TileRect& t = header.tileRect;
    if (t.left < 0 || t.top < 0 || t.left > t.right || t.top > t.bottom || t.right > width ||
        t.bottom > height || t.right - t.left > side || t.bottom - t.top > side)
        return false;
    if (!angleIsSane(header.heading) || !angleIsSane(header.pitch)) return false;
    if (reader == LinkSide::plugin) return true;

    switch (header.command) {
        case LinkCommand::newFromTemplate:
            return std::memchr(header.templatePath, 0, LinkRecord::templatePathSize) != nullptr;
        case LinkCommand::newEmpty:
            return header.newFaceSize > 0 && header.newFaceSize <= maxLinkImageSide;
        case LinkCommand::rotate:
            return angleIsSane(header.stepX) && angleIsSane(header.stepY);
        case LinkCommand::newFromDialog:
        case LinkCommand::applyImage:
        case LinkCommand::applyImageToo:
        case LinkCommand::applyAndShow:
            return true;
        default:
            return false;
    }
}
