#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/link_record.h"
#include "link/paint_link.h"

// How a step of a transfer ended.
enum class TransferStatus {
    waiting,     // the peer is not ready, or input arrived in a blocking run; nothing changed
    progressed,  // one tile went across; more follow
    done,        // the last tile (or the bare command) went across
    cancelled,   // the peer cancelled, or sent a transfer refused as unsound (command 11)
    peerGone,    // the peer process ended (command 10)
};

// A picture as the link carries it: red, green, blue, top row first, rows unpadded.
struct LinkPicture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgb;
};

// Fills pixels (the record's tile area: rows of (right - left) x 3 bytes, red first, top
// row first) with the tile's part of the picture.
using TileSource = std::function<void(const TileRect& tile, std::uint8_t* pixels)>;
// A source copying from a picture in memory, red first, top row first: rows of stride
// bytes, 3 bytes a pixel, or 4 with the fourth (alpha) left out. The pixels must outlive
// the transfer.
TileSource pictureSource(const std::uint8_t* pixels, std::size_t stride, int bytesPerPixel);

// What a plug-in sends: the record's header fields.
struct PluginCommand {
    std::int32_t command = LinkCommand::applyAndShow;
    std::int32_t maskMode = 0;
    float heading = 0;
    float pitch = 0;
    float stepX = 0;
    float stepY = 0;
    std::int32_t newFaceSize = 0;
    std::string templatePath;
    // The picture's size; without a picture, the size a bare command announces.
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Sends a picture (or a bare command) tile by tile, one handshake a step. step() never
// waits: an event loop calls it when the link's bell or the peer's descriptor is ready
// (PaintLink::bellDescriptor, peerDescriptor). run() waits for each tile in turn.
class TileSender {
public:
    // The plug-in end: the command with the picture from source, or as a bare command (one
    // exchange, no tiles) when source is empty.
    TileSender(PaintLink& link, PluginCommand command, TileSource source);
    // The application end: a view of the record's image size, rendered tile by tile by
    // source into the record; heading and pitch go with the last tile. Moves the record's
    // tileRect to the first tile.
    TileSender(PaintLink& link, float heading, float pitch, TileSource source);

    TransferStatus step();
    // Until done, cancelled or peerGone; waiting when inputFd became readable first.
    TransferStatus run(int inputFd = -1);
    int tilesSent() const { return tiles_; }

private:
    TransferStatus advance(bool ready);

    PaintLink& link_;
    bool application_;
    PluginCommand command_;
    TileSource source_;
    TileRect tile_{};
    float heading_ = 0, pitch_ = 0;
    int tiles_ = 0;
    bool finished_ = false;
};

// A tile as it arrived: record is the checked copy (PaintLink::received), tile the part of
// the picture its pixels hold.
struct ReceivedTile {
    const LinkRecord& record;
    TileRect tile;
    bool first;
    bool last;
};
// Called for each tile before the peer is told it was read.
using TileSink = std::function<void(const ReceivedTile&)>;

// Receives transfers tile by tile, one handshake a step, like TileSender. Once a transfer
// is done the next step begins a new one.
class TileReceiver {
public:
    // The tiles are assembled into picture() without a sink, or when assemble is set.
    explicit TileReceiver(PaintLink& link, TileSink sink = nullptr, bool assemble = false);

    TransferStatus step();
    TransferStatus run(int inputFd = -1);

    // The picture assembled so far (complete once step() said done).
    const LinkPicture& picture() const { return picture_; }
    // The view angles that came with the last tile.
    float heading() const { return heading_; }
    float pitch() const { return pitch_; }

private:
    TransferStatus advance(bool ready);

    PaintLink& link_;
    TileSink sink_;
    bool assemble_;
    LinkPicture picture_;
    TileRect tile_{};
    bool first_ = true;
    float heading_ = 0, pitch_ = 0;
};
