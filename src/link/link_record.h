#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>

// One tile of the picture being transferred; bottom and right are exclusive. Trivial, as
// the record that holds it is copied byte for byte.
struct TileRect {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

// The record shared by the application and the paint-program plug-ins. A wire format:
// little-endian, fixed offsets, exactly as the plug-ins expect it.
struct LinkRecord {
    static constexpr std::int16_t currentVersion = 100;
    static constexpr int maxTileSide = 256;
    static constexpr std::size_t templatePathSize = 260;
    static constexpr std::size_t tilePixelsSize = maxTileSide * maxTileSide * 3;

    std::int16_t version;             // layout version, currentVersion
    std::uint16_t fieldOfView;        // across the view the application sent, 1/100 degree;
                                      // 0 from applications that did not say
    std::int32_t readDone;            // 1 once either side has finished reading
    std::int32_t hasImage;            // nonzero: tiles to apply; 0: a bare command
    std::int32_t command;             // LinkCommand code
    std::int32_t maskMode;            // 0 none, 1 first row, 2 four corners
    std::uint32_t appProcessId;       // 0 when the application has gone
    std::uint32_t pluginProcessId;    // 0 when there is no peer
    float stepX;                      // heading multiplier of the rotate command
    float stepY;                      // pitch multiplier of the rotate command
    float heading;                    // radians
    float pitch;                      // radians
    std::int32_t imageWidth;          // the whole picture, pixels
    std::int32_t imageHeight;
    std::int32_t newFaceSize;         // face side for LinkCommand::newEmpty
    TileRect tileRect;                // the tile in tilePixels
    char templatePath[templatePathSize];  // zero-terminated unless it fills the field
    std::uint8_t tilePixels[tilePixelsSize];  // red, green, blue; top row first; unpadded
};

static_assert(std::endian::native == std::endian::little, "the record is little-endian");
static_assert(offsetof(LinkRecord, version) == 0);
static_assert(offsetof(LinkRecord, fieldOfView) == 2);
static_assert(offsetof(LinkRecord, readDone) == 4);
static_assert(offsetof(LinkRecord, hasImage) == 8);
static_assert(offsetof(LinkRecord, command) == 12);
static_assert(offsetof(LinkRecord, maskMode) == 16);
static_assert(offsetof(LinkRecord, appProcessId) == 20);
static_assert(offsetof(LinkRecord, pluginProcessId) == 24);
static_assert(offsetof(LinkRecord, stepX) == 28);
static_assert(offsetof(LinkRecord, stepY) == 32);
static_assert(offsetof(LinkRecord, heading) == 36);
static_assert(offsetof(LinkRecord, pitch) == 40);
static_assert(offsetof(LinkRecord, imageWidth) == 44);
static_assert(offsetof(LinkRecord, imageHeight) == 48);
static_assert(offsetof(LinkRecord, newFaceSize) == 52);
static_assert(offsetof(LinkRecord, tileRect) == 56);
static_assert(offsetof(TileRect, top) == 0 && offsetof(TileRect, left) == 2 &&
              offsetof(TileRect, bottom) == 4 && offsetof(TileRect, right) == 6 &&
              sizeof(TileRect) == 8);
static_assert(offsetof(LinkRecord, templatePath) == 64);
static_assert(offsetof(LinkRecord, tilePixels) == 324);
static_assert(sizeof(LinkRecord) == 196932);

// Values of LinkRecord::command.
namespace LinkCommand {
constexpr std::int32_t idle = 0;
constexpr std::int32_t peerEnded = 10;
constexpr std::int32_t cancelled = 11;
constexpr std::int32_t newFromDialog = 15;
constexpr std::int32_t newFromTemplate = 16;
constexpr std::int32_t newEmpty = 17;
constexpr std::int32_t applyImage = 18;
constexpr std::int32_t applyImageToo = 19;
constexpr std::int32_t applyAndShow = 20;
constexpr std::int32_t rotate = 21;
}  // namespace LinkCommand

// The largest picture side either end accepts from the other.
constexpr std::int32_t maxLinkImageSide = 16384;

bool linkImageSizeIsSane(std::int32_t width, std::int32_t height);

// Tiles run left to right along bands of 256 rows, bands top to bottom.
void firstTile(std::int32_t width, std::int32_t height, TileRect& tile);
// Moves to the next tile; false when tile was the last one.
bool nextTile(std::int32_t width, std::int32_t height, TileRect& tile);
bool isFirstTile(const TileRect& tile);
bool isLastTile(std::int32_t width, std::int32_t height, const TileRect& tile);

// What a side may act on. The record comes from another process: a copy is checked, and
// the caller must use that copy, not fields the peer may change meanwhile.
enum class LinkSide { plugin = 0, application = 1 };
bool transferIsSound(const LinkRecord& header, LinkSide reader);
