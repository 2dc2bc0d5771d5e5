#include "link/tile_transfer.h"

#include <cstring>
#include <utility>

namespace {

std::size_t tileWidth(const TileRect& tile) { return static_cast<std::size_t>(tile.right - tile.left); }
bool isEmpty(const TileRect& tile) { return tile.right <= tile.left || tile.bottom <= tile.top; }

TransferStatus abandoned(const PaintLink& link) {
    switch (link.abandonedWith()) {
        case LinkCommand::cancelled: return TransferStatus::cancelled;
        case LinkCommand::peerEnded: return TransferStatus::peerGone;
        default: return TransferStatus::waiting;
    }
}

}  // namespace

TileSource pictureSource(const std::uint8_t* pixels, std::size_t stride, int bytesPerPixel) {
    return [pixels, stride, bytesPerPixel](const TileRect& tile, std::uint8_t* out) {
        const std::size_t width = tileWidth(tile);
        for (std::int32_t y = tile.top; y < tile.bottom; ++y) {
            const std::uint8_t* from = pixels + static_cast<std::size_t>(y) * stride +
                                       static_cast<std::size_t>(tile.left) * static_cast<std::size_t>(bytesPerPixel);
            if (bytesPerPixel == 3) {
                std::memcpy(out, from, width * 3);
                out += width * 3;
                continue;
            }
            for (std::size_t x = 0; x < width; ++x, from += bytesPerPixel) {
                *out++ = from[0];
                *out++ = from[1];
                *out++ = from[2];
            }
        }
    };
}

TileSender::TileSender(PaintLink& link, PluginCommand command, TileSource source)
    : link_(link), application_(false), command_(std::move(command)), source_(std::move(source)) {
    firstTile(source_ ? command_.width : 0, source_ ? command_.height : 0, tile_);
}

TileSender::TileSender(PaintLink& link, float heading, float pitch, TileSource source)
    : link_(link), application_(true), source_(std::move(source)), heading_(heading), pitch_(pitch) {
    link_.firstTile();
}

TransferStatus TileSender::step() { return advance(link_.tryToWrite()); }

TransferStatus TileSender::run(int inputFd) {
    for (;;) {
        const TransferStatus status = advance(link_.waitToWrite(inputFd));
        if (status != TransferStatus::progressed) return status;
    }
}

TransferStatus TileSender::advance(bool ready) {
    if (finished_) return TransferStatus::done;
    if (!ready) return abandoned(link_);
    LinkRecord& r = link_.record();
    bool more;
    if (application_) {
        const TileRect tile = r.tileRect;
        if (!isEmpty(tile) && source_) source_(tile, r.tilePixels);
        // The record moves on to the next tile before this one is signalled; the plug-in
        // follows the tile order on its own.
        more = link_.nextTile();
        if (!more) link_.setViewAngles(heading_, pitch_);
    } else {
        r.command = command_.command;
        r.hasImage = source_ ? 1 : 0;
        r.maskMode = command_.maskMode;
        r.heading = command_.heading;
        r.pitch = command_.pitch;
        r.stepX = command_.stepX;
        r.stepY = command_.stepY;
        r.newFaceSize = command_.newFaceSize;
        link_.setTemplatePath(command_.templatePath.c_str());
        link_.setImageSize(command_.width, command_.height);
        r.tileRect = tile_;
        if (!isEmpty(tile_) && source_) source_(tile_, r.tilePixels);
        more = source_ && nextTile(command_.width, command_.height, tile_);
    }
    link_.doneWriting();
    ++tiles_;
    finished_ = !more;
    return more ? TransferStatus::progressed : TransferStatus::done;
}

TileReceiver::TileReceiver(PaintLink& link, TileSink sink, bool assemble)
    : link_(link), sink_(std::move(sink)), assemble_(assemble || !sink_) {}

TransferStatus TileReceiver::step() { return advance(link_.tryToRead()); }

TransferStatus TileReceiver::run(int inputFd) {
    for (;;) {
        const TransferStatus status = advance(link_.waitToRead(inputFd));
        if (status != TransferStatus::progressed) return status;
    }
}

TransferStatus TileReceiver::advance(bool ready) {
    if (!ready) return abandoned(link_);
    // Checked and copied out of the shared record by the link.
    const LinkRecord& r = link_.received();
    bool first, last;
    if (link_.isApplication()) {
        // A plug-in names each tile it writes.
        tile_ = r.tileRect;
        first = ::isFirstTile(tile_);
        last = ::isLastTile(r.imageWidth, r.imageHeight, tile_);
    } else {
        // The application moves tileRect on before it signals a tile, so the order is
        // followed here, over the size the first tile announced.
        if (first_) {
            picture_.width = r.imageWidth;
            picture_.height = r.imageHeight;
            firstTile(picture_.width, picture_.height, tile_);
        }
        first = first_;
        TileRect next = tile_;
        last = !nextTile(picture_.width, picture_.height, next);
    }
    heading_ = r.heading;
    pitch_ = r.pitch;

    if (sink_) sink_(ReceivedTile{r, tile_, first, last});
    if (assemble_) {
        if (first) {
            picture_.width = r.imageWidth;
            picture_.height = r.imageHeight;
            picture_.rgb.assign(static_cast<std::size_t>(picture_.width) * static_cast<std::size_t>(picture_.height) * 3, 0);
        }
        // A later tile of another picture size is not copied past the picture's end.
        if (!isEmpty(tile_) && tile_.right <= picture_.width && tile_.bottom <= picture_.height) {
            const std::size_t rowBytes = tileWidth(tile_) * 3;
            for (std::int32_t y = tile_.top; y < tile_.bottom; ++y)
                std::memcpy(picture_.rgb.data() +
                                (static_cast<std::size_t>(y) * static_cast<std::size_t>(picture_.width) +
                                 static_cast<std::size_t>(tile_.left)) * 3,
                            r.tilePixels + static_cast<std::size_t>(y - tile_.top) * rowBytes, rowBytes);
        }
    }
    if (!link_.isApplication() && !last) nextTile(picture_.width, picture_.height, tile_);
    link_.doneReading();
    first_ = last;
    return last ? TransferStatus::done : TransferStatus::progressed;
}
