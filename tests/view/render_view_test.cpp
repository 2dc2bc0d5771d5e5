#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/bgr_image.h"
#include "image/gamma.h"
#include "panorama/geometry.h"
#include "support/patterned_panorama.h"
#include "view/painted_six_image.h"

namespace {

const FieldOfView square90 = {90.0f * degToRad, 90.0f * degToRad};

TEST(RenderViewToImage, NinetyDegreesAtFaceSizeReproducesFront) {
    for (const int size : {64, 47, 256}) {
        SCOPED_TRACE(size);
        auto panorama = patternedPanorama(size);
        RawImage image(Size{size, size});
        panorama->renderViewToImage(0, 0, square90, image);
        const BGRImage& front = *panorama->faces[Front];
        for (int row = 0; row < size; ++row)
            ASSERT_EQ(std::memcmp(image.row(row), front.row(row), 3 * static_cast<std::size_t>(size)), 0) << "row " << row;
    }
}

TEST(RenderViewToImage, HeadingsTurnTowardsTheSideFaces) {
    struct Case {
        float heading, pitch;
        int face;
    };
    const Case cases[] = {{90, 0, Left}, {-90, 0, Right}, {180, 0, Back}, {0, 90, Up}, {0, -90, Down}};
    auto panorama = patternedPanorama(32);
    for (const Case& c : cases) {
        RawImage image(Size{9, 9});
        panorama->renderViewToImage(c.heading * degToRad, c.pitch * degToRad, {0.5f, 0.5f}, image);
        EXPECT_EQ(decodeSample(image.row(4) + 3 * 4).face, c.face) << c.heading << ", " << c.pitch;
    }
}

// 2 x 2 faces: each view pixel of a 1 x 1, 90-degree view takes one sample from each
// face pixel.
std::unique_ptr<PaintedSixImage> tinyPanorama(const std::uint8_t (&bgr)[4][3]) {
    auto panorama = std::make_unique<PaintedSixImage>();
    for (int f = 0; f < faceCount; ++f) {
        auto face = std::make_unique<RawImage>(Size{2, 2});
        for (int i = 0; i < 4; ++i) std::memcpy(face->row(i / 2) + 3 * (i % 2), bgr[i], 3);
        panorama->faces[f] = std::move(face);
    }
    panorama->setFOV(square90);
    return panorama;
}

TEST(RenderView, AveragesTwoByTwoSamplesInLinearLight) {
    const std::uint8_t blackAndWhite[4][3] = {{0, 0, 0}, {255, 255, 255}, {0, 0, 0}, {255, 255, 255}};
    auto panorama = tinyPanorama(blackAndWhite);
    for (const int bpp : {3, 4}) {
        std::uint8_t out[5] = {1, 2, 3, 4, 0xEE};
        panorama->allocateView({1, 1});
        panorama->renderView({0, 0}, {1, 1}, {1, 1}, bpp, out);
        EXPECT_EQ(out[0], 186);
        EXPECT_EQ(out[1], 186);
        EXPECT_EQ(out[2], 186);
        if (bpp == 4) {
            EXPECT_EQ(out[3], 255);
        }
        EXPECT_EQ(out[bpp], bpp == 3 ? 4 : 0xEE) << "nothing past the rectangle is written";
    }
}

TEST(RenderView, WritesRedGreenBlueAndCopiesIntoTheViewBuffer) {
    const std::uint8_t blue10green20red30[4][3] = {{10, 20, 30}, {10, 20, 30}, {10, 20, 30}, {10, 20, 30}};
    auto panorama = tinyPanorama(blue10green20red30);
    panorama->allocateView({1, 1});
    panorama->viewPixels[3] = 0;
    std::uint8_t out[3] = {};
    panorama->renderView({0, 0}, {1, 1}, {1, 1}, 3, out);
    EXPECT_EQ(out[0], 30);
    EXPECT_EQ(out[1], 20);
    EXPECT_EQ(out[2], 10);
    const std::uint8_t expected[4] = {30, 20, 10, 255};
    EXPECT_EQ(std::memcmp(panorama->viewPixels.get(), expected, 4), 0);
    EXPECT_EQ(panorama->paintPending, 0);
    EXPECT_EQ(panorama->modified, 0);
}

struct Tile {
    Point origin;
    Size size;
};
// The link's tile walk of a 300 x 300 view.
const Tile linkTiles[] = {{{0, 0}, {256, 256}}, {{256, 0}, {44, 256}}, {{0, 256}, {256, 44}}, {{256, 256}, {44, 44}}};

TEST(RenderView, TilesOfTheLinkMatchOneWholeRender) {
    const Size full{300, 300};
    // A view inside Front: at heading 0, pitch 0 the tiles and the whole render then
    // sample the same face pixels (near a cube edge a last-bit difference in a ray may
    // tip it onto the neighbouring face).
    auto whole = patternedPanorama(512);
    whole->setFOV(whole->calculateNominalFOV(full));
    whole->refreshView(full);

    auto tiled = patternedPanorama(512);
    tiled->setFOV(tiled->calculateNominalFOV(full));
    tiled->allocateView(full);
    for (const Tile& tile : linkTiles) {
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(tile.size.width) * tile.size.height * 3);
        tiled->renderView(tile.origin, tile.size, full, 3, buffer.data());
        for (int row = 0; row < tile.size.height; ++row)
            for (int column = 0; column < tile.size.width; ++column) {
                const std::uint8_t* got = &buffer[(static_cast<std::size_t>(row) * tile.size.width + column) * 3];
                const std::uint8_t* want =
                    &whole->viewPixels[(static_cast<std::size_t>(tile.origin.y + row) * 300 + tile.origin.x + column) * 4];
                ASSERT_EQ(std::vector<int>(got, got + 3), std::vector<int>(want, want + 3))
                    << "tile at " << tile.origin.x << "," << tile.origin.y << " pixel " << column << "," << row;
            }
    }
    EXPECT_EQ(std::memcmp(tiled->viewPixels.get(), whole->viewPixels.get(), 300 * 300 * 4), 0)
        << "the tiles together leave the whole picture in the view buffer";
}

TEST(RenderView, RefusesRectanglesOutsideTheViewAndUnknownLayouts) {
    auto panorama = patternedPanorama(16);
    panorama->setFOV(square90);
    panorama->refreshView({16, 16});
    const std::vector<std::uint8_t> before(panorama->viewPixels.get(), panorama->viewPixels.get() + 16 * 16 * 4);
    struct Case {
        Point origin;
        Size size, full;
        int bpp;
    };
    const Case cases[] = {
        {{10, 0}, {8, 4}, {16, 16}, 3},  {{0, 14}, {4, 4}, {16, 16}, 3}, {{-1, 0}, {4, 4}, {16, 16}, 3},
        {{0, 0}, {-4, 4}, {16, 16}, 3},  {{0, 0}, {4, 0}, {16, 16}, 3},  {{0, 0}, {4, 4}, {16, 16}, 2},
        {{0, 0}, {4, 4}, {0, 16}, 3},    {{0, 0}, {4, 4}, {16, 16}, 5},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> buffer(64 * 4, 0xEE);
        panorama->renderView(c.origin, c.size, c.full, c.bpp, buffer.data());
        EXPECT_EQ(buffer, std::vector<std::uint8_t>(64 * 4, 0xEE));
        EXPECT_EQ(std::vector<std::uint8_t>(panorama->viewPixels.get(), panorama->viewPixels.get() + 16 * 16 * 4), before);
    }
    panorama->renderView({0, 0}, {4, 4}, {16, 16}, 3, nullptr);
    EXPECT_EQ(panorama->viewWidth, 16);
}

TEST(RefreshView, RendersTheWholeViewAndAsksForFaceSetUp) {
    auto panorama = patternedPanorama(32);
    panorama->setFOV(square90);
    panorama->faceSetupNeeded = 0;
    panorama->refreshView({32, 32});
    ASSERT_NE(panorama->viewPixels, nullptr);
    EXPECT_EQ(panorama->viewWidth, 32);
    EXPECT_EQ(panorama->viewHeight, 32);
    EXPECT_EQ(panorama->faceSetupNeeded, 1);
    // At face resolution the view's top-left pixel averages Front's top-left 2 x 2 corner:
    // rows 31 and 30 (the picture is bottom-up), columns 0 and 1. Row 0 of the view is the top.
    const std::uint8_t* topLeft = panorama->viewPixels.get();
    EXPECT_EQ(topLeft[0], toGamma(toLinear(40)));  // red: Front
    EXPECT_EQ(topLeft[2], toGamma((2 * toLinear(0) + 2 * toLinear(1)) / 4));  // blue: columns 0, 1
    EXPECT_EQ(topLeft[3], 255);
    const std::uint8_t* bottomRight = panorama->viewPixels.get() + (32 * 32 - 1) * 4;
    EXPECT_EQ(bottomRight[1], toGamma((2 * toLinear(0) + 2 * toLinear(1)) / 4));  // green: rows 0, 1
}

TEST(RefreshView, NonPositiveSizesChangeNothing) {
    auto panorama = patternedPanorama(8);
    panorama->setFOV(square90);
    panorama->refreshView({8, 8});
    panorama->faceSetupNeeded = 0;
    panorama->viewPixels[5] = 77;
    const std::uint8_t* buffer = panorama->viewPixels.get();
    for (const Size size : {Size{0, 8}, Size{8, 0}, Size{-3, 8}, Size{8, -1}, Size{0, 0}}) {
        panorama->refreshView(size);
        EXPECT_EQ(panorama->viewPixels.get(), buffer);
        EXPECT_EQ(panorama->viewWidth, 8);
        EXPECT_EQ(panorama->viewHeight, 8);
        EXPECT_EQ(panorama->viewPixels[5], 77);
        EXPECT_EQ(panorama->faceSetupNeeded, 0);
    }
}

TEST(AllocateView, GivesAWhiteEligibleBufferWithoutRendering) {
    auto panorama = patternedPanorama(8);
    panorama->allocateView({5, 3});
    ASSERT_NE(panorama->viewPixels, nullptr);
    EXPECT_EQ(panorama->viewWidth, 5);
    EXPECT_EQ(panorama->viewHeight, 3);
    for (int i = 0; i < 5 * 3 * 4; ++i) ASSERT_EQ(panorama->viewPixels[i], 255) << i;
    EXPECT_EQ(panorama->faceSetupNeeded, 1);
}

}  // namespace
