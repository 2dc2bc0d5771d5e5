// The patches that undo an edit of a face: the rectangle found, and the exchange.
#include "panorama/face_patch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<std::uint8_t> bytesOf(const BGRImage& image) {
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < image.height; ++y) bytes.insert(bytes.end(), image.row(y), image.row(y) + 3 * image.width);
    return bytes;
}

void fillPattern(RawImage& image) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < 3 * image.width; ++x) image.row(y)[x] = static_cast<std::uint8_t>(x * 7 + y * 13);
}

TEST(FacePatch, TheRectangleHoldsEveryChangedPixelAndExchangingUndoesAndRedoes) {
    struct Case {
        const char* name;
        std::vector<Point> changed;  // pixels changed in the edited image
        Point origin;
        Size size;
    } cases[] = {
        {"one pixel", {{4, 2}}, {4, 2}, {1, 1}},
        {"the corners", {{0, 0}, {9, 6}}, {0, 0}, {10, 7}},
        {"the last column", {{9, 3}}, {9, 3}, {1, 1}},
        {"a later row reaching further left", {{5, 1}, {6, 2}, {2, 4}}, {2, 1}, {5, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawImage before(Size{10, 7}), after(Size{10, 7});
        fillPattern(before);
        fillPattern(after);
        for (Point p : c.changed) after.row(p.y)[3 * p.x + 2] ^= 0x55;  // the red byte, last of the pixel
        const auto patch = differencePatch(2, before, after);
        ASSERT_TRUE(patch.has_value());
        EXPECT_EQ(patch->face, 2);
        EXPECT_EQ((Point{patch->column, patch->row}), c.origin);
        EXPECT_EQ(patch->size, c.size);

        FacePatch exchanged = *patch;
        const std::vector<std::uint8_t> edited = bytesOf(after);
        ASSERT_TRUE(exchangePatch(exchanged, after));
        EXPECT_EQ(bytesOf(after), bytesOf(before));
        ASSERT_TRUE(exchangePatch(exchanged, after));
        EXPECT_EQ(bytesOf(after), edited);
    }
}

TEST(FacePatch, EqualPicturesGiveNoPatchAndAPatchOutsideTheFaceIsRefused) {
    RawImage a(Size{4, 4}), b(Size{4, 4}), other(Size{4, 5});
    fillPattern(a);
    fillPattern(b);
    EXPECT_FALSE(differencePatch(0, a, b).has_value());
    EXPECT_FALSE(differencePatch(0, a, other).has_value());

    b.row(3)[11] = 1;
    FacePatch patch = *differencePatch(0, a, b);
    RawImage small(Size{3, 3});
    const std::vector<std::uint8_t> untouched = bytesOf(small);
    EXPECT_FALSE(exchangePatch(patch, small));
    EXPECT_EQ(bytesOf(small), untouched);
    patch.pixels.pop_back();  // fewer bytes than the rectangle holds
    EXPECT_FALSE(exchangePatch(patch, b));
}

}  // namespace
