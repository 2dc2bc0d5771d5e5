#include "link/view_marker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
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

// The angles a marker stands for come back within one step of the ones it was made from.
TEST(ViewMarker, GivesBackTheAnglesItWasMadeFrom) {
    const float step = singlePi / 128;
    for (const float heading : {0.0f, -1.0472f, 2.5f, -3.0f})
        for (const float pitch : {0.0f, -0.349f, 1.5f, -1.5707f}) {
            const MarkedAngles a = markedAngles(viewMarker(heading, pitch));
            EXPECT_NEAR(a.heading, heading, step) << heading << ", " << pitch;
            EXPECT_NEAR(a.pitch, pitch, step) << heading << ", " << pitch;
        }
}

// Another view's marker is found where at least two corners share it and none carries the
// expected one; a neighbouring step, a lone corner or plain pixels are not another view.
TEST(ViewMarker, FindsTheMarkerOfAnotherView) {
    const PictureLayout layout{3, 2, 4, 12, ChannelOrder::bgr};
    const std::uint32_t expected = viewMarker(0, 0);
    const std::uint32_t other = viewMarker(-1.0f, 0.3f);
    const auto pictureWith = [&](std::uint32_t marker, int corners) {
        std::vector<std::uint8_t> pixels(24, 0x20);
        std::vector<std::uint8_t> stamped = pixels;
        stampViewMarker(stamped.data(), layout, marker);
        const std::size_t at[] = {0, 8, 12, 20};
        for (int i = 0; i < corners; ++i) std::memcpy(pixels.data() + at[i], stamped.data() + at[i], 4);
        return pixels;
    };
    struct Case {
        const char* name;
        std::vector<std::uint8_t> pixels;
        std::optional<std::uint32_t> found;
    };
    std::vector<std::uint8_t> ownAndOther = pictureWith(other, 4);
    stampViewMarker(ownAndOther.data(), {1, 1, 4, 4, ChannelOrder::bgr}, expected);  // the first corner only
    const Case cases[] = {
        {"the view's own marker", pictureWith(expected, 4), std::nullopt},
        {"another view's marker in every corner", pictureWith(other, 4), other},
        {"another view's marker in two corners", pictureWith(other, 2), other},
        {"another view's marker in one corner", pictureWith(other, 1), std::nullopt},
        {"one corner still the view's own", ownAndOther, std::nullopt},
        {"one heading step away", pictureWith(viewMarker(singlePi / 128, 0), 4), std::nullopt},
        {"two steps away", pictureWith(viewMarker(2.5f * singlePi / 128, 0), 4), viewMarker(2.5f * singlePi / 128, 0)},
        {"one step across the byte's wrap", pictureWith(viewMarker(singlePi - 0.001f, 0), 4), std::nullopt},
        {"no marker", pictureWith(0, 0), std::nullopt},
    };
    for (const Case& c : cases) {
        const std::uint32_t own = c.name == std::string("one step across the byte's wrap") ? viewMarker(-singlePi + 0.02f, 0)
                                                                                          : expected;
        EXPECT_EQ(foreignViewMarker(c.pixels.data(), layout, own), c.found) << c.name;
    }
}

}  // namespace
