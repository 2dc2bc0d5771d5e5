#include "link/tile_transfer.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "link/paint_link.h"
#include "support/link_environment.h"

namespace {

// The pattern as an RGBA picture whose rows carry padding, as a paint program may hold it.
struct PaddedPicture {
    static constexpr std::size_t padding = 5;
    int width, height;
    std::size_t stride;
    std::vector<std::uint8_t> bytes;

    PaddedPicture(int w, int h) : width(w), height(h), stride(static_cast<std::size_t>(w) * 4 + padding) {
        bytes.assign(stride * static_cast<std::size_t>(h), 0xEE);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) bytes[y * stride + x * 4 + c] = patternByte(x, y, c);
    }
};

bool holdsPattern(const LinkPicture& picture, int width, int height) {
    if (picture.width != width || picture.height != height ||
        picture.rgb.size() != static_cast<std::size_t>(width) * height * 3)
        return false;
    const TileRect whole{0, 0, static_cast<std::int16_t>(height), static_cast<std::int16_t>(width)};
    return width == 0 || height == 0 || tileHoldsPattern(picture.rgb.data(), whole);
}

int tileCount(int width, int height) {
    if (width == 0 || height == 0) return 1;
    return ((width + 255) / 256) * ((height + 255) / 256);
}

struct Size2 {
    int width, height;
};
// One tile, a row of tiles with a one-pixel last column, a band of one row, several
// bands whose last is narrower, and the bare exchange of an empty picture.
const Size2 sizes[] = {{1, 1}, {257, 40}, {300, 1}, {513, 300}, {0, 0}};

using TileTransferTest = LinkApplicationTest;

}  // namespace

TEST_F(TileTransferTest, PluginPictureIsAssembledByTheApplication) {
    for (const Size2& size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
        const pid_t plugin = runChild([&] {
            std::unique_ptr<PaintLink> link;
            if (PaintLink::openAsPlugin(link) != nullptr) return 2;
            const PaddedPicture picture(size.width, size.height);
            PluginCommand command;
            command.command = LinkCommand::applyImage;
            command.width = size.width;
            command.height = size.height;
            TileSender sender(*link, command, pictureSource(picture.bytes.data(), picture.stride, 4));
            if (sender.run() != TransferStatus::done) return 3;
            return sender.tilesSent() == tileCount(size.width, size.height) ? 0 : 4;
        });
        TileReceiver receiver(*app);
        ASSERT_EQ(receiver.run(), TransferStatus::done);
        EXPECT_TRUE(holdsPattern(receiver.picture(), size.width, size.height));
        EXPECT_EQ(exitCodeOf(plugin), 0);
        settle();
    }
}

TEST_F(TileTransferTest, ApplicationViewIsAssembledByThePlugin) {
    for (const Size2& size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
        const Beacon opened;
        const pid_t plugin = runChild([&] {
            std::unique_ptr<PaintLink> link;
            if (PaintLink::openAsPlugin(link) != nullptr) return 2;
            if (!opened.send()) return 3;
            TileReceiver receiver(*link);
            if (receiver.run() != TransferStatus::done) return 4;
            if (!holdsPattern(receiver.picture(), size.width, size.height)) return 5;
            return receiver.heading() == 0.75f && receiver.pitch() == -0.125f ? 0 : 6;
        });
        ASSERT_TRUE(opened.await());
        app->setImageSize(size.width, size.height);
        TileSender sender(*app, 0.75f, -0.125f, patternSource());
        ASSERT_EQ(sender.run(), TransferStatus::done);
        EXPECT_EQ(sender.tilesSent(), tileCount(size.width, size.height));
        // Another step after the end sends nothing more.
        EXPECT_EQ(sender.step(), TransferStatus::done);
        EXPECT_EQ(sender.tilesSent(), tileCount(size.width, size.height));
        EXPECT_EQ(exitCodeOf(plugin), 0);
        settle();
    }
}

// An event loop sleeps on the link's descriptors and steps when one is ready; a step
// never waits.
TEST_F(TileTransferTest, StepsFromAnEventLoop) {
    const Beacon opened;
    const pid_t plugin = runChild([&] {
        std::unique_ptr<PaintLink> link;
        if (PaintLink::openAsPlugin(link) != nullptr) return 2;
        if (!opened.send()) return 3;
        TileReceiver receiver(*link);
        if (receiver.run() != TransferStatus::done) return 4;
        if (!holdsPattern(receiver.picture(), 600, 20)) return 5;
        // Back the other way, one picture of three tiles.
        PluginCommand command;
        command.width = 600;
        command.height = 20;
        const LinkPicture& view = receiver.picture();
        TileSender sender(*link, command, pictureSource(view.rgb.data(), 600 * 3, 3));
        return sender.run() == TransferStatus::done ? 0 : 6;
    });
    ASSERT_TRUE(opened.await());
    const auto stepUntilDone = [&](auto& transfer) {
        std::vector<TransferStatus> seen;
        for (int i = 0; i < 100; ++i) {
            const TransferStatus status = transfer.step();
            if (status != TransferStatus::waiting) seen.push_back(status);
            if (status == TransferStatus::done || status == TransferStatus::cancelled ||
                status == TransferStatus::peerGone)
                break;
            pollfd fds[2] = {{app->bellDescriptor(), POLLIN, 0}, {app->peerDescriptor(), POLLIN, 0}};
            EXPECT_GT(poll(fds, fds[1].fd >= 0 ? 2 : 1, 10000), 0);
        }
        return seen;
    };
    const std::vector<TransferStatus> threeTiles = {TransferStatus::progressed, TransferStatus::progressed,
                                                    TransferStatus::done};
    app->setImageSize(600, 20);
    TileSender sender(*app, 0, 0, patternSource());
    EXPECT_EQ(stepUntilDone(sender), threeTiles);

    TileReceiver receiver(*app);
    EXPECT_EQ(stepUntilDone(receiver), threeTiles);
    EXPECT_TRUE(holdsPattern(receiver.picture(), 600, 20));
    EXPECT_EQ(exitCodeOf(plugin), 0);
}

// The peer cancels or dies after the first tile: the other end's transfer ends with the
// reason, and the link is idle again.
TEST_F(TileTransferTest, TransferEndsWhenThePeerCancelsOrEnds) {
    struct Case {
        const char* what;
        bool kill;
        TransferStatus status;
        std::int32_t command;
    };
    const Case cases[] = {{"cancel", false, TransferStatus::cancelled, LinkCommand::cancelled},
                          {"end", true, TransferStatus::peerGone, LinkCommand::peerEnded}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const pid_t plugin = runChild([&] {
            std::unique_ptr<PaintLink> link;
            if (PaintLink::openAsPlugin(link) != nullptr) return 2;
            PluginCommand command;
            command.width = 600;
            command.height = 20;
            TileSender sender(*link, command, patternSource());
            // The idle link lets the first tile go at once; the wait after it returns once
            // the application has read that tile.
            if (sender.step() != TransferStatus::progressed) return 3;
            if (!link->waitToWrite()) return 4;
            // Gives up in the middle of the picture: the application read one tile.
            if (c.kill) _exit(0);
            link->cancel();
            return 0;
        });
        int tiles = 0;
        TileReceiver receiver(*app, [&](const ReceivedTile&) { ++tiles; });
        EXPECT_EQ(receiver.run(), c.status);
        EXPECT_EQ(app->record().command, c.command);
        EXPECT_TRUE(app->isSignalled(LinkEvent::appRead) && app->isSignalled(LinkEvent::pluginRead));
        EXPECT_EQ(exitCodeOf(plugin), 0);
        EXPECT_EQ(tiles, 1);
        settle();
    }
}

TEST_F(TileTransferTest, InputInterruptsABlockingRun) {
    const Beacon input;
    ASSERT_TRUE(input.send());
    TileReceiver receiver(*app);
    EXPECT_EQ(receiver.run(input.descriptor()), TransferStatus::waiting);
    EXPECT_EQ(app->record().command, LinkCommand::idle);
}
