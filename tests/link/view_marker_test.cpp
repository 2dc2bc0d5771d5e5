#include "view/view_marker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "view/geometry.h"

namespace {

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

}  // namespace
