#include "link/view_marker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr float singlePi = 3.14159274f;

TEST(ViewMarker, EncodesHeadingAndPitch) {
    struct Case {
        float heading, pitch;
        std::uint32_t marker;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {0, 0, 0x67C272},                                   // 0x80 ^ 0x42, 0x80 ^ 0xF2
        {1.0f, -0.5f, ((168u << 8) | 107) ^ 0x6742F2u},     // trunc(128 + 40.74), trunc(128 - 20.37)
        {4.0f, 0, ((162u << 8) | 128) ^ 0x6742F2u},         // 4 - pi (steps of pi, not 2 pi): 128 + 34.97
        {-4.0f, 0, ((93u << 8) | 128) ^ 0x6742F2u},         // -4 + pi: 128 - 34.97
        {singlePi, 0, ((0u << 8) | 128) ^ 0x6742F2u},       // 256 keeps its low 8 bits
        {inf, std::nanf(""), 0x67C272},                     // not an angle: as heading 0, pitch 0
    };
    for (const Case& c : cases) EXPECT_EQ(viewMarker(c.heading, c.pitch), c.marker) << c.heading << ", " << c.pitch;
    EXPECT_EQ(viewMarker(1.0e30f, 0) >> 16, 0x67u) << "a huge heading still gives a marker";
    EXPECT_EQ(viewMarker(-1.0e30f, -1.0e30f) >> 16, 0x67u);
}

// Odd sizes and padded rows: only the four corner pixels change, in the layout's order.
TEST(ViewMarker, StampedIntoTheCornersOnly) {
    struct Case {
        PictureLayout layout;
        std::uint8_t first, third;  // the corner's first and third byte
    };
    const std::uint32_t marker = 0x67F099;  // red 0x99, green 0xF0, blue 0x67
    const Case cases[] = {
        {{5, 3, 3, 15, ChannelOrder::rgb}, 0x99, 0x67},
        {{5, 3, 3, 16, ChannelOrder::bgr}, 0x67, 0x99},
        {{4, 2, 4, 20, ChannelOrder::rgb}, 0x99, 0x67},
        {{1, 1, 3, 3, ChannelOrder::rgb}, 0x99, 0x67},
    };
    for (const Case& c : cases) {
        const PictureLayout& l = c.layout;
        SCOPED_TRACE(testing::Message() << l.width << " x " << l.height << " x " << l.bytesPerPixel);
        std::vector<std::uint8_t> pixels(l.stride * static_cast<std::size_t>(l.height), 0x11);
        EXPECT_FALSE(cornerCarriesViewMarker(pixels.data(), l, marker));
        stampViewMarker(pixels.data(), l, marker);
        EXPECT_TRUE(cornerCarriesViewMarker(pixels.data(), l, marker));
        for (int y = 0; y < l.height; ++y)
            for (int x = 0; x < l.width; ++x) {
                const std::uint8_t* p = pixels.data() + y * l.stride + x * l.bytesPerPixel;
                const bool corner = (x == 0 || x == l.width - 1) && (y == 0 || y == l.height - 1);
                EXPECT_EQ(p[0], corner ? c.first : 0x11) << x << ", " << y;
                EXPECT_EQ(p[1], corner ? 0xF0 : 0x11) << x << ", " << y;
                EXPECT_EQ(p[2], corner ? c.third : 0x11) << x << ", " << y;
                if (l.bytesPerPixel == 4) {
                    EXPECT_EQ(p[3], 0x11) << "alpha kept";
                }
            }
        if (l.stride > static_cast<std::size_t>(l.width * l.bytesPerPixel)) {
            EXPECT_EQ(pixels.back(), 0x11) << "row padding kept";
        }
    }
    std::uint8_t none = 0x11;
    stampViewMarker(&none, {0, 3, 3, 0, ChannelOrder::rgb}, marker);
    EXPECT_EQ(none, 0x11);
}

TEST(ViewMarker, ChoosesTheMaskMode) {
    const PictureLayout layout{2, 2, 3, 6, ChannelOrder::rgb};
    std::vector<std::uint8_t> plain(12, 0), marked(12, 0);
    stampViewMarker(marked.data(), layout, viewMarker(0.5f, 0.25f));
    struct Case {
        std::int32_t command;
        bool hasPicture;
        const std::vector<std::uint8_t>* pixels;
        float heading;
        std::int32_t mode;
    };
    const Case cases[] = {
        {20, true, &plain, 0.5f, 0},   {20, true, &marked, 0.5f, 2},   {18, true, &marked, 1.5f, 0},
        {16, true, &marked, 0.5f, 1},  {17, true, &plain, 0.5f, 1},    {17, false, &plain, 0.5f, 0},
        {21, false, &marked, 0.5f, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(maskModeFor(c.command, c.hasPicture, c.pixels->data(), layout, c.heading, 0.25f), c.mode)
            << c.command << (c.pixels == &marked ? " marked" : " plain") << " heading " << c.heading;
}

}  // namespace
