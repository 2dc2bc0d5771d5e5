// The bevel's shading of the window pixels under its strips.
#include <gtest/gtest.h>

#include <cstring>

#include "image/bgr_image.h"
#include "panel/bevel_shade.h"

namespace {
constexpr StripShade black70{0, 0.7}, white20{1, 0.2}, black40{0, 0.4}, black20{0, 0.2};

// A strip of window pixels all of one grey level.
struct GreyStrip : RawImage {
    GreyStrip(Size size, std::uint8_t level) : RawImage(size) {
        for (int i = 0; i < size.height; ++i) std::memset(row(i), level, 3 * static_cast<std::size_t>(size.width));
    }
};
int at(const BGRImage& strip, int column, int row) { return strip.row(row)[3 * column]; }
}  // namespace

TEST(BevelShade, BlendsTowardsTheStripColourInIntegers) {
    struct Case {
        StripShade shade;
        int expected;
    } cases[] = {
        {black70, (77 * 100) >> 8},              // A = 179
        {white20, (51 * 255 + 205 * 100) >> 8},  // A = 51
        {black40, (154 * 100) >> 8},             // A = 102
        {black20, (205 * 100) >> 8},
    };
    for (const Case& c : cases) {
        GreyStrip strip({7, 3}, 100);
        shadeStrip(strip, c.shade, StripCorners::none, 2, black20, black40);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 7; ++j) ASSERT_EQ(at(strip, j, i), c.expected) << c.shade.alpha;
    }
}

TEST(BevelShade, BottomStripMitresItsCorners) {
    // Raised bottom strip, 10 x 3, frame 3 pixels thick: left side black 20%, right black 40%.
    GreyStrip strip({10, 3}, 200);
    shadeStrip(strip, black70, StripCorners::bottom, 3, black20, black40);
    const int own = (77 * 200) >> 8, left = (205 * 200) >> 8, right = (154 * 200) >> 8;
    // Column j from the outer end belongs to the strip when row i < j.
    const int expected[3][10] = {
        {left, own, own, own, own, own, own, own, own, right},
        {left, left, own, own, own, own, own, own, right, right},
        {left, left, left, own, own, own, own, right, right, right},
    };
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 10; ++j) EXPECT_EQ(at(strip, j, i), expected[i][j]) << j << "," << i;
}

TEST(BevelShade, TopStripMitresItsCorners) {
    GreyStrip strip({10, 3}, 200);
    shadeStrip(strip, white20, StripCorners::top, 3, black20, black40);
    const int own = (51 * 255 + 205 * 200) >> 8, left = (205 * 200) >> 8, right = (154 * 200) >> 8;
    // Row 0 is the inner edge; the strip's colour where thickX - i < j.
    const int expected[3][10] = {
        {left, left, left, own, own, own, own, right, right, right},
        {left, left, left, own, own, own, own, right, right, right},
        {left, left, own, own, own, own, own, own, right, right},
    };
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 10; ++j) EXPECT_EQ(at(strip, j, i), expected[i][j]) << j << "," << i;
}
