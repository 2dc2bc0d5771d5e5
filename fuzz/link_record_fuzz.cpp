// Link records as a plug-in writes them into the shared record, one after another as a
// tile stream: each header is checked as the application checks its copy, and a sound one
// is placed into the picture the way its tile rectangle says.
#include <cstring>
#include <memory>
#include <vector>

#include "link/link_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t header = offsetof(LinkRecord, tilePixels);
    static const std::unique_ptr<LinkRecord> record = std::make_unique<LinkRecord>();
    std::vector<std::uint8_t> picture;
    std::int32_t width = 0, height = 0;
    for (std::size_t at = 0; at < size; at += header) {
        std::memset(record.get(), 0, header);
        std::memcpy(record.get(), data + at, std::min(header, size - at));
        for (const LinkSide side : {LinkSide::plugin, LinkSide::application}) {
            if (!transferIsSound(*record, side)) continue;
            const TileRect& tile = record->tileRect;
            if (tile.right <= tile.left || tile.bottom <= tile.top) continue;  // nothing to place
            if (isFirstTile(tile)) {
                width = record->imageWidth;
                height = record->imageHeight;
                picture.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 0);
            }
            // A checked tile lies inside the picture its header announces; one of another
            // size than the first tile's is not placed.
            if (record->imageWidth != width || record->imageHeight != height) continue;
            const std::size_t rowBytes = static_cast<std::size_t>(tile.right - tile.left) * 3;
            for (std::int32_t y = tile.top; y < tile.bottom; ++y)
                std::memcpy(picture.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                              static_cast<std::size_t>(tile.left)) * 3,
                            record->tilePixels + static_cast<std::size_t>(y - tile.top) * rowBytes, rowBytes);
            static_cast<void>(isLastTile(width, height, tile));
        }
    }
    return 0;
}
