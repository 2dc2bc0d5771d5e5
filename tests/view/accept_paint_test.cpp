#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/patterned_panorama.h"
#include "view/painted_six_image.h"

namespace {

constexpr int viewSize = 24;
constexpr Size full{viewSize, viewSize};

// A 24 x 24 view at heading 0, pitch 0 rendered from patterned faces, and the R, G, B
// picture the paint link handed out for it.
class AcceptPaint : public ::testing::Test {
protected:
    void SetUp() override {
        panorama = patternedPanorama(32);
        panorama->setFOV(panorama->calculateNominalFOV(full));
        panorama->refreshView(full);
        picture.clear();
        for (int i = 0; i < viewSize * viewSize; ++i)
            picture.insert(picture.end(), &panorama->viewPixels[4 * i], &panorama->viewPixels[4 * i] + 3);
    }

    std::vector<std::uint8_t> view() const {
        return {panorama->viewPixels.get(), panorama->viewPixels.get() + viewSize * viewSize * 4};
    }
    std::uint8_t* viewPixel(int x, int y) { return &panorama->viewPixels[(y * viewSize + x) * 4]; }
    std::uint8_t* picturePixel(int x, int y) { return &picture[(y * viewSize + x) * 3]; }
    void acceptWhole() { panorama->acceptPaintedRect({0, 0}, full, full, 3, picture.data()); }

    std::unique_ptr<PaintedSixImage> panorama;
    std::vector<std::uint8_t> picture;
};

TEST_F(AcceptPaint, AnUnchangedPictureMarksEveryPixelUnchanged) {
    acceptWhole();
    EXPECT_EQ(panorama->paintPending, 0);
    EXPECT_EQ(panorama->modified, 0);
    for (int i = 0; i < viewSize * viewSize; ++i) ASSERT_EQ(panorama->viewPixels[4 * i + 3], 0) << i;
}

TEST_F(AcceptPaint, AChangedPixelIsTakenAndMarked) {
    const std::uint8_t paint[3] = {250, 3, 7};
    std::memcpy(picturePixel(5, 9), paint, 3);
    acceptWhole();
    EXPECT_EQ(panorama->paintPending, 1);
    EXPECT_EQ(panorama->modified, 1);
    EXPECT_EQ(std::memcmp(viewPixel(5, 9), paint, 3), 0);
    EXPECT_EQ(viewPixel(5, 9)[3], 255);
    EXPECT_EQ(viewPixel(6, 9)[3], 0);
    EXPECT_EQ(viewPixel(5, 8)[3], 0);
}

TEST_F(AcceptPaint, MaskedPixelsAreNeverAccepted) {
    struct Case {
        void (PaintedSixImage::*mask)();
        std::vector<Point> masked;
    };
    const Case cases[] = {
        {&PaintedSixImage::maskFirstRow, {{0, 0}, {7, 0}, {viewSize - 1, 0}}},
        {&PaintedSixImage::maskCorners, {{0, 0}, {viewSize - 1, 0}, {0, viewSize - 1}, {viewSize - 1, viewSize - 1}}},
    };
    for (const Case& c : cases) {
        SetUp();
        (panorama.get()->*c.mask)();
        for (const Point p : c.masked) ASSERT_EQ(viewPixel(p.x, p.y)[3], 0);
        EXPECT_EQ(viewPixel(1, 1)[3], 255) << "the mask leaves other pixels eligible";
        const std::vector<std::uint8_t> before = view();
        for (const Point p : c.masked) picturePixel(p.x, p.y)[0] ^= 0xFF;
        acceptWhole();
        for (const Point p : c.masked) {
            EXPECT_EQ(std::memcmp(viewPixel(p.x, p.y), &before[(p.y * viewSize + p.x) * 4], 4), 0);
        }
        EXPECT_EQ(panorama->paintPending, 0);
        EXPECT_EQ(panorama->modified, 0);
    }
}

TEST_F(AcceptPaint, OnlyTheRectangleIsCompared) {
    const Point origin{4, 6};
    const Size size{5, 3};
    std::vector<std::uint8_t> tile;
    for (int i = 0; i < size.height; ++i)
        tile.insert(tile.end(), picturePixel(origin.x, origin.y + i), picturePixel(origin.x + size.width, origin.y + i));
    tile[3 * (1 * size.width + 2) + 1] ^= 0x40;  // tile pixel (2, 1): view pixel (6, 7)
    panorama->acceptPaintedRect(origin, size, full, 3, tile.data());
    for (int y = 0; y < viewSize; ++y)
        for (int x = 0; x < viewSize; ++x) {
            const bool inside = x >= origin.x && x < origin.x + size.width && y >= origin.y && y < origin.y + size.height;
            const int expected = (x == 6 && y == 7) || !inside ? 255 : 0;
            ASSERT_EQ(viewPixel(x, y)[3], expected) << x << "," << y;
        }
    EXPECT_EQ(viewPixel(6, 7)[1], tile[3 * (1 * size.width + 2) + 1]);
    EXPECT_EQ(panorama->paintPending, 1);
}

TEST_F(AcceptPaint, FourByteRectanglesReadTheFirstThreeBytes) {
    std::vector<std::uint8_t> tile(2 * 4);
    std::memcpy(&tile[0], picturePixel(0, 3), 3);
    std::memcpy(&tile[4], picturePixel(1, 3), 3);
    tile[3] = 17;  // the fourth byte is not a colour
    tile[4] ^= 1;
    panorama->acceptPaintedRect({0, 3}, {2, 1}, full, 4, tile.data());
    EXPECT_EQ(viewPixel(0, 3)[3], 0);
    EXPECT_EQ(viewPixel(1, 3)[3], 255);
    EXPECT_EQ(viewPixel(1, 3)[0], tile[4]);
}

TEST_F(AcceptPaint, ABadRectangleIsRefusedWhole) {
    struct Case {
        Point origin;
        Size size, fullSize;
        int bpp;
    };
    const Case cases[] = {
        {{20, 0}, {8, 2}, full, 3},  {{0, 23}, {2, 2}, full, 3},   {{-1, 0}, {2, 2}, full, 3},
        {{0, -1}, {2, 2}, full, 3},  {{0, 0}, {-2, 2}, full, 3},   {{0, 0}, {2, -2}, full, 3},
        {{0, 0}, {2, 2}, full, 2},   {{0, 0}, {2, 2}, full, 5},    {{0, 0}, {2, 2}, {0, 24}, 3},
        {{0, 0}, {2, 2}, {24, -24}, 3}, {{2147483647, 0}, {2, 2}, full, 3},
    };
    const std::vector<std::uint8_t> paint(64, 0x5A);  // as big as the largest rectangle's pixels
    const std::vector<std::uint8_t> before = view();
    for (const Case& c : cases) {
        panorama->acceptPaintedRect(c.origin, c.size, c.fullSize, c.bpp, paint.data());
        ASSERT_EQ(view(), before) << c.origin.x << "," << c.origin.y << " " << c.size.width << "x" << c.size.height;
        EXPECT_EQ(panorama->viewWidth, viewSize);
    }
    panorama->acceptPaintedRect({0, 0}, {2, 2}, full, 3, nullptr);
    EXPECT_EQ(view(), before);
    EXPECT_EQ(panorama->paintPending, 0);
    EXPECT_EQ(panorama->modified, 0);
}

TEST_F(AcceptPaint, AViewOfAnotherSizeIsRenderedAtTheFullSizeFirst) {
    auto fresh = patternedPanorama(32);
    fresh->setFOV(panorama->getFOV());
    ASSERT_EQ(fresh->viewPixels, nullptr);
    fresh->acceptPaintedRect({0, 0}, full, full, 3, picture.data());
    EXPECT_EQ(fresh->viewWidth, viewSize);
    EXPECT_EQ(fresh->viewHeight, viewSize);
    EXPECT_EQ(fresh->paintPending, 0) << "the re-rendered view equals the picture handed out";

    fresh->allocateView({8, 8});
    picturePixel(3, 3)[2] ^= 0x10;
    fresh->acceptPaintedRect({0, 0}, full, full, 3, picture.data());
    EXPECT_EQ(fresh->viewWidth, viewSize);
    EXPECT_EQ(fresh->paintPending, 1);
    EXPECT_EQ(fresh->viewPixels[(3 * viewSize + 3) * 4 + 3], 255);
    EXPECT_EQ(fresh->viewPixels[(3 * viewSize + 4) * 4 + 3], 0);
}

TEST(Masks, WithoutAViewBufferDoNothing) {
    PaintedSixImage panorama;
    panorama.maskFirstRow();
    panorama.maskCorners();
    EXPECT_EQ(panorama.viewPixels, nullptr);
}

}  // namespace
