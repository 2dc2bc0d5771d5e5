#include "link/link_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {
struct Rect {
    int top, left, bottom, right;
    friend bool operator==(const Rect&, const Rect&) = default;
};

Rect rect(const TileRect& t) { return {t.top, t.left, t.bottom, t.right}; }

std::vector<Rect> allTiles(int width, int height) {
    std::vector<Rect> tiles;
    TileRect tile;
    firstTile(width, height, tile);
    do tiles.push_back(rect(tile));
    while (nextTile(width, height, tile) && tiles.size() < 1000);
    return tiles;
}
}  // namespace

TEST(LinkTiles, RunAlongBandsOf256Rows) {
    struct Case {
        int width, height;
        std::vector<Rect> tiles;
    };
    const Case cases[] = {
        {256, 256, {{0, 0, 256, 256}}},
        {300, 200, {{0, 0, 200, 256}, {0, 256, 200, 300}}},
        {256, 300, {{0, 0, 256, 256}, {256, 0, 300, 256}}},
        {513, 257,
         {{0, 0, 256, 256}, {0, 256, 256, 512}, {0, 512, 256, 513},
          {256, 0, 257, 256}, {256, 256, 257, 512}, {256, 512, 257, 513}}},
        {0, 0, {{0, 0, 0, 0}}},
        {0, 300, {{0, 0, 256, 0}}},
        {40, 0, {{0, 0, 0, 40}}},
        // Sizes nobody may send give the empty exchange instead of wrapped 16-bit fields.
        {-5, 100, {{0, 0, 0, 0}}},
        {40000, 10, {{0, 0, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const std::vector<Rect> tiles = allTiles(c.width, c.height);
        EXPECT_EQ(tiles, c.tiles);
        TileRect first{}, last{};
        firstTile(c.width, c.height, first);
        last = first;
        while (nextTile(c.width, c.height, last)) {
        }
        EXPECT_TRUE(isFirstTile(first));
        EXPECT_TRUE(isLastTile(c.width, c.height, last));
        if (tiles.size() > 1) {
            EXPECT_FALSE(isLastTile(c.width, c.height, first));
            EXPECT_FALSE(isFirstTile(last));
        }
    }
}

TEST(LinkTiles, AnEmptyRectangleIsFirstAndLast) {
    const TileRect empty{7, 3, 7, 90};
    EXPECT_TRUE(isFirstTile(empty));
    EXPECT_TRUE(isLastTile(300, 200, empty));
}

class TransferCheck : public testing::Test {
protected:
    void SetUp() override {
        header = std::make_unique<LinkRecord>();
        header->version = LinkRecord::currentVersion;
        header->command = LinkCommand::applyAndShow;
        header->hasImage = 1;
        header->imageWidth = 300;
        header->imageHeight = 200;
        header->tileRect = TileRect{0, 256, 200, 300};
    }
    std::unique_ptr<LinkRecord> header;
};

TEST_F(TransferCheck, AcceptsWhatTheProtocolSends) {
    EXPECT_TRUE(transferIsSound(*header, LinkSide::application));
    header->imageWidth = header->imageHeight = 0;
    header->tileRect = TileRect{0, 0, 0, 0};
    for (int command = 15; command <= 21; ++command) {
        header->command = command;
        header->newFaceSize = 512;
        std::strcpy(header->templatePath, "/home/me/templates/sky.bmp");
        EXPECT_TRUE(transferIsSound(*header, LinkSide::application)) << command;
    }
    header->imageWidth = header->imageHeight = maxLinkImageSide;
    header->tileRect = TileRect{16384 - 256, 16384 - 256, 16384, 16384};
    EXPECT_TRUE(transferIsSound(*header, LinkSide::application));
}

TEST_F(TransferCheck, RefusesHostileHeaders) {
    struct Case {
        const char* what;
        void (*spoil)(LinkRecord&);
        bool refusedByPlugin;
    };
    const Case cases[] = {
        {"tile past the right edge", [](LinkRecord& r) { r.tileRect = TileRect{0, 256, 200, 301}; }, true},
        {"tile past the bottom", [](LinkRecord& r) { r.tileRect = TileRect{0, 0, 201, 256}; }, true},
        {"negative tile origin", [](LinkRecord& r) { r.tileRect = TileRect{-1, 0, 100, 100}; }, true},
        {"inverted tile", [](LinkRecord& r) { r.tileRect = TileRect{100, 0, 50, 100}; }, true},
        {"tile wider than 256",
         [](LinkRecord& r) {
             r.imageWidth = 1000;
             r.tileRect = TileRect{0, 0, 10, 257};
         },
         true},
        {"tile taller than 256",
         [](LinkRecord& r) {
             r.imageHeight = 1000;
             r.tileRect = TileRect{0, 0, 257, 10};
         },
         true},
        {"negative width", [](LinkRecord& r) { r.imageWidth = -300; }, true},
        {"absurd height", [](LinkRecord& r) { r.imageHeight = maxLinkImageSide + 1; }, true},
        {"heading not a number", [](LinkRecord& r) { r.heading = std::nanf(""); }, true},
        {"infinite pitch", [](LinkRecord& r) { r.pitch = INFINITY; }, true},
        {"unterminated template path",
         [](LinkRecord& r) {
             r.command = LinkCommand::newFromTemplate;
             std::memset(r.templatePath, 'a', sizeof r.templatePath);
         },
         false},
        {"face size 0", [](LinkRecord& r) { r.command = LinkCommand::newEmpty; r.newFaceSize = 0; }, false},
        {"absurd face size",
         [](LinkRecord& r) {
             r.command = LinkCommand::newEmpty;
             r.newFaceSize = 1 << 20;
         },
         false},
        {"rotate step not a number",
         [](LinkRecord& r) {
             r.command = LinkCommand::rotate;
             r.stepX = std::nanf("");
         },
         false},
        {"unknown command", [](LinkRecord& r) { r.command = 12; }, false},
        {"status code as command", [](LinkRecord& r) { r.command = LinkCommand::cancelled; }, false},
    };
    for (const Case& c : cases) {
        SetUp();
        c.spoil(*header);
        EXPECT_FALSE(transferIsSound(*header, LinkSide::application)) << c.what;
        EXPECT_EQ(transferIsSound(*header, LinkSide::plugin), !c.refusedByPlugin) << c.what;
    }
}
