#include "panorama/six_image.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(SixImage, SidesAndCapsTakeTheirOwnSizes) {
    SixImage panorama({32, 32}, {16, 16});
    EXPECT_EQ(panorama.faceSize(Right), (Size{32, 32}));
    EXPECT_EQ(panorama.faceSize(Up), (Size{16, 16}));
    EXPECT_EQ(panorama.faceSize(Down), (Size{16, 16}));
    EXPECT_EQ(panorama.faceSize(6), (Size{0, 0}));
}

TEST(ResizeFaces, CurrentSizeKeepsEveryFaceObject) {
    SixImage panorama({8, 8}, {8, 8});
    BGRImage* before[faceCount];
    for (int i = 0; i < faceCount; ++i) before[i] = panorama.faces[i].get();
    panorama.resizeFaces({8, 8});
    for (int i = 0; i < faceCount; ++i) EXPECT_EQ(panorama.faces[i].get(), before[i]);
}

TEST(ResizeFaces, ResamplesEveryFaceByNearestNeighbour) {
    SixImage panorama({4, 4}, {2, 2});
    for (int i = 0; i < faceCount; ++i) {
        BGRImage& face = *panorama.faces[i];
        for (int y = 0; y < face.height; ++y)
            for (int x = 0; x < face.width; ++x) {
                std::uint8_t* p = face.row(y) + 3 * x;
                p[0] = static_cast<std::uint8_t>(i);
                p[1] = static_cast<std::uint8_t>(x);
                p[2] = static_cast<std::uint8_t>(y);
            }
    }
    panorama.resizeFaces({8, 8});
    for (int i = 0; i < faceCount; ++i) {
        const BGRImage& face = *panorama.faces[i];
        ASSERT_EQ(face.size(), (Size{8, 8}));
        const int scale = i < Up ? 2 : 4;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const std::uint8_t* p = face.row(y) + 3 * x;
                ASSERT_EQ(p[0], i);
                ASSERT_EQ(p[1], x / scale) << "face " << i;
                ASSERT_EQ(p[2], y / scale) << "face " << i;
            }
    }
}

}  // namespace
