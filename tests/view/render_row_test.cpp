#include "view/render_row.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/patterned_panorama.h"

namespace {

// Rays through the centres of one row of Front pixels, one pixel per step, running on
// past the right edge: each Front column must come exactly once, then Right column 0.
TEST(RenderRow, RunAcrossFrontIntoRightHasNoGapAndNoRepeatedColumn) {
    for (const int size : {64, 47}) {
        SCOPED_TRACE(size);
        auto panorama = patternedPanorama(size);
        const float pixel = 2.0f / static_cast<float>(size);
        const int row = size / 3;
        const Vector3 start{-1.0f + pixel / 2.0f, -1.0f + pixel * (static_cast<float>(row) + 0.5f), -1.0f};
        const Vector3 step{pixel, 0, 0};
        const int count = size + 3;
        std::vector<std::uint8_t> out(3 * count);
        renderRow(*panorama, start, step, count, 3, out.data());

        for (int i = 0; i < size; ++i) {
            const DecodedSample s = decodeSample(&out[3 * i]);
            ASSERT_EQ(s.face, Front) << "sample " << i;
            ASSERT_EQ(s.column, i);
            ASSERT_EQ(s.row, row);
        }
        const DecodedSample first = decodeSample(&out[3 * size]);
        EXPECT_EQ(first.face, Right);
        EXPECT_EQ(first.column, 0);
        EXPECT_EQ(first.row, row);
        // Past the edge the rays spread no wider than one Right pixel per step.
        for (int i = size + 1; i < count; ++i) {
            const DecodedSample s = decodeSample(&out[3 * i]), previous = decodeSample(&out[3 * (i - 1)]);
            EXPECT_EQ(s.face, Right);
            EXPECT_GE(s.column, previous.column);
            EXPECT_LE(s.column, previous.column + 1);
        }
    }
}

// Every sample of a row through several faces lands on the face the full classification
// picks for its ray, within one pixel of the rounded hit (the fast path truncates).
TEST(RenderRow, AgreesWithTheFullClassificationAlongAWideRow) {
    auto panorama = patternedPanorama(32);
    const FaceSizes sizes = {Size{32, 32}, {32, 32}, {32, 32}, {32, 32}, {32, 32}, {32, 32}};
    struct Case {
        Vector3 start, step;
    };
    const Case cases[] = {
        {{-3.0f, 0.4f, -0.7f}, {0.01f, 0.0f, 0.003f}},   // Left, Front, Right
        {{0.3f, -2.0f, -1.0f}, {0.0f, 0.013f, 0.0f}},    // Down, Front, Up
        {{2.0f, 0.2f, 1.5f}, {-0.011f, 0.0f, -0.004f}},  // Right, Back, Left
    };
    for (const Case& c : cases) {
        const int count = 600;
        std::vector<std::uint8_t> out(4 * count, 0xEE);
        renderRow(*panorama, c.start, c.step, count, 4, out.data());
        Vector3 ray = c.start;
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(out[4 * i + 3], 0xEE) << "the fourth byte is not the caster's";
            const FacePixel expected = directionToFacePixel(ray, sizes);
            const DecodedSample s = decodeSample(&out[4 * i]);
            const bool nearEdge = expected.column == 0 || expected.column == 31 || expected.row == 0 || expected.row == 31;
            if (s.face != expected.face) {
                ASSERT_TRUE(nearEdge) << "sample " << i << " on face " << s.face << ", expected " << expected.face;
            } else {
                ASSERT_LE(std::abs(s.column - expected.column), 1) << "sample " << i;
                ASSERT_LE(std::abs(s.row - expected.row), 1) << "sample " << i;
            }
            ray = {ray.x + c.step.x, ray.y + c.step.y, ray.z + c.step.z};
        }
    }
}

TEST(RenderRow, MissingFacesLeaveTheirSamplesUntouched) {
    auto panorama = patternedPanorama(16);
    panorama->faces[Right].reset();
    const float pixel = 2.0f / 16;
    std::vector<std::uint8_t> out(3 * 20, 0xEE);
    renderRow(*panorama, {-1.0f + pixel / 2, 0.0f, -1.0f}, {pixel, 0, 0}, 20, 3, out.data());
    for (int i = 0; i < 16; ++i) EXPECT_EQ(decodeSample(&out[3 * i]).face, Front);
    for (int i = 16; i < 20; ++i)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(out[3 * i + k], 0xEE);
}

}  // namespace
