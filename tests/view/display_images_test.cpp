// The live view's pictures and the enlargement of the half-resolution one.
#include <gtest/gtest.h>

#include "view/display_images.h"

namespace {
std::uint8_t code(int x, int y, int c) { return static_cast<std::uint8_t>(x * 7 + y * 31 + c * 3 + 1); }
}  // namespace

TEST(DisplayImages, HalfImageSharesTheFullImagesPixels) {
    DisplayImages images({47, 33});
    EXPECT_EQ(images.half().size(), (Size{24, 17}));
    EXPECT_EQ(images.half().pixels, images.full().pixels);
    EXPECT_EQ(halfSizeOf({1, 1}), (Size{1, 1}));
}

TEST(DisplayImages, ExpandsEveryHalfPixelIntoATwoByTwoBlock) {
    for (const Size size : {Size{47, 33}, Size{11, 50}, Size{2, 2}, Size{1, 1}, Size{64, 3}}) {
        DisplayImages images(size);
        RawImage& half = images.half();
        for (int y = 0; y < half.height; ++y)
            for (int x = 0; x < half.width; ++x)
                for (int c = 0; c < 3; ++c) half.row(y)[3 * x + c] = code(x, y, c);
        expandHalfInPlace(images.full(), half.stride);
        const RawImage& full = images.full();
        for (int y = 0; y < full.height; ++y)
            for (int x = 0; x < full.width; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(full.row(y)[3 * x + c], code(x / 2, y / 2, c))
                        << size.width << "x" << size.height << " at " << x << "," << y;
    }
}
