#include "image/bgr_image.h"

#include <gtest/gtest.h>

#include <cstring>

#include "image/bgra_image.h"

namespace {

// Writes a distinct colour into every pixel: blue = x, green = y, red = x ^ y.
void fillPattern(BGRImage& image) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            std::uint8_t* p = image.row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = static_cast<std::uint8_t>(x ^ y);
        }
}

bool samePixel(const BGRImage& a, int ax, int ay, const BGRImage& b, int bx, int by) {
    return std::memcmp(a.row(ay) + 3 * ax, b.row(by) + 3 * bx, 3) == 0;
}

TEST(BGRImage, StrideIsThreeBytesPerPixelRoundedUpToFour) {
    struct Case { int width; unsigned stride; };
    for (Case c : {Case{0, 0}, {1, 4}, {4, 12}, {5, 16}, {47, 144}, {256, 768}}) {
        BGRImage image({c.width, 3});
        EXPECT_EQ(image.stride, c.stride) << "width " << c.width;
        EXPECT_EQ(image.pixels, nullptr);
    }
}

TEST(RawImage, NewImageIsBlackAndOwnsItsPixels) {
    RawImage image({5, 3});
    EXPECT_EQ(image.ownsPixels, 1);
    for (unsigned i = 0; i < image.stride * 3; ++i) ASSERT_EQ(image.pixels[i], 0) << i;
}

TEST(RawImage, BorrowedPixelsAreNotTaken) {
    std::uint8_t bytes[16] = {};
    {
        RawImage image({5, 1}, bytes);
        EXPECT_EQ(image.ownsPixels, 0);
        image.row(0)[0] = 7;
    }
    EXPECT_EQ(bytes[0], 7);  // still ours, and written through
}

TEST(CopyScaled, HalvingTakesEverySecondPixelFromTheOrigin) {
    RawImage source({512, 512});
    fillPattern(source);
    RawImage target({256, 256});
    target.copyScaled(source, {0, 0}, {512, 512}, {0, 0}, {256, 256});
    for (int y = 0; y < 256; y += 17)
        for (int x = 0; x < 256; x += 13) ASSERT_TRUE(samePixel(target, x, y, source, 2 * x, 2 * y));
}

TEST(CopyScaled, DoublingRepeatsEachPixelTwiceBothWays) {
    RawImage source({256, 256});
    fillPattern(source);
    RawImage target({512, 512});
    target.copyScaled(source, {0, 0}, {256, 256}, {0, 0}, {512, 512});
    for (int y = 0; y < 512; y += 7)
        for (int x = 0; x < 512; x += 5) ASSERT_TRUE(samePixel(target, x, y, source, x / 2, y / 2));
}

TEST(CopyScaled, EqualRectanglesInImagesOfDifferentWidthsUseEachStride) {
    RawImage source({47, 33});
    fillPattern(source);
    RawImage target({11, 50});
    target.copyScaled(source, {30, 5}, {10, 20}, {1, 25}, {10, 20});
    for (int i = 0; i < 20; ++i)
        for (int j = 0; j < 10; ++j) ASSERT_TRUE(samePixel(target, 1 + j, 25 + i, source, 30 + j, 5 + i));
    EXPECT_EQ(target.row(24)[3], 0);  // the row below the rectangle is untouched
}

TEST(CopyScaled, WholeImageCopyIsExact) {
    RawImage source({13, 7});
    fillPattern(source);
    RawImage target({13, 7});
    target.copyScaled(source, {0, 0}, {13, 7}, {0, 0}, {13, 7});
    EXPECT_EQ(std::memcmp(target.pixels, source.pixels, source.stride * 7), 0);
}

TEST(RotateQuarter, TurnsCounterClockwiseAndBack) {
    for (int n : {1, 3, 4, 7}) {
        RawImage original({n, n});
        fillPattern(original);
        RawImage image({n, n});
        image.copyScaled(original, {0, 0}, {n, n}, {0, 0}, {n, n});

        image.rotateQuarter(1);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x)
                ASSERT_TRUE(samePixel(image, x, y, original, y, n - 1 - x)) << n << ": " << x << "," << y;
        image.rotateQuarter(0);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) ASSERT_TRUE(samePixel(image, x, y, original, x, y));

        image.rotateQuarter(0);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) ASSERT_TRUE(samePixel(image, x, y, original, n - 1 - y, x));
    }
}

TEST(RotateQuarter, TopLeftCornerGoesToBottomLeftCounterClockwise) {
    RawImage image({3, 3});
    fillPattern(image);
    RawImage before({3, 3});
    before.copyScaled(image, {0, 0}, {3, 3}, {0, 0}, {3, 3});
    image.rotateQuarter(1);
    EXPECT_TRUE(samePixel(image, 0, 0, before, 0, 2));
    EXPECT_TRUE(samePixel(image, 1, 1, before, 1, 1));  // the centre never moves
}

TEST(ConvertKeyed, OnlyTheExactKeyIsTransparent) {
    RawImage source({3, 2});
    const std::uint8_t colours[6][3] = {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {255, 255, 255}, {0, 1, 0}, {0, 0, 0}};
    for (int i = 0; i < 6; ++i) std::memcpy(source.row(i / 3) + 3 * (i % 3), colours[i], 3);
    const std::uint8_t black[3] = {0, 0, 0};
    BGRAImage image(source, black);
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.stride, 12u);
    const std::uint8_t expectedAlpha[6] = {0, 255, 255, 255, 255, 0};
    for (int i = 0; i < 6; ++i) {
        const std::uint8_t* p = image.pixels + (i / 3) * image.stride + 4 * (i % 3);
        EXPECT_EQ(std::memcmp(p, colours[i], 3), 0) << i;
        EXPECT_EQ(p[3], expectedAlpha[i]) << i;
    }
}

}  // namespace
