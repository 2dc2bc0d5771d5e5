#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "image/bgr_image.h"
#include "image/gamma.h"
#include "panorama/geometry.h"
#include "support/patterned_panorama.h"
#include "view/display_images.h"
#include "view/render_view.h"

namespace {

const FieldOfView square90 = {90.0f * degToRad, 90.0f * degToRad};

TEST(RenderViewToImage, NinetyDegreesAtFaceSizeReproducesFront) {
    for (const int size : {64, 47, 256}) {
        SCOPED_TRACE(size);
        auto panorama = patternedPanorama(size);
        RawImage image(Size{size, size});
        renderViewToImage(*panorama, {0, 0, square90, image.size()}, image);
        const BGRImage& front = *panorama->faces[Front];
        for (int row = 0; row < size; ++row)
            ASSERT_EQ(std::memcmp(image.row(row), front.row(row), 3 * static_cast<std::size_t>(size)), 0) << "row " << row;
    }
}

TEST(RenderViewToImage, HeadingsTurnTowardsTheSideFaces) {
    struct Case {
        float heading, pitch;
        int face;
    };
    const Case cases[] = {{90, 0, Left}, {-90, 0, Right}, {180, 0, Back}, {0, 90, Up}, {0, -90, Down}};
    auto panorama = patternedPanorama(32);
    for (const Case& c : cases) {
        RawImage image(Size{9, 9});
        renderViewToImage(*panorama, {c.heading * degToRad, c.pitch * degToRad, {0.5f, 0.5f}, image.size()}, image);
        EXPECT_EQ(decodeSample(image.row(4) + 3 * 4).face, c.face) << c.heading << ", " << c.pitch;
    }
}

// 2 x 2 faces: each view pixel of a 1 x 1, 90-degree view takes one sample from each
// face pixel.
const Camera tinyCamera{0, 0, square90, {1, 1}};
std::unique_ptr<SixImage> tinyPanorama(const std::uint8_t (&bgr)[4][3]) {
    auto panorama = std::make_unique<SixImage>();
    for (int f = 0; f < faceCount; ++f) {
        auto face = std::make_unique<RawImage>(Size{2, 2});
        for (int i = 0; i < 4; ++i) std::memcpy(face->row(i / 2) + 3 * (i % 2), bgr[i], 3);
        panorama->faces[f] = std::move(face);
    }
    return panorama;
}

TEST(RenderView, AveragesTwoByTwoSamplesInLinearLight) {
    const std::uint8_t blackAndWhite[4][3] = {{0, 0, 0}, {255, 255, 255}, {0, 0, 0}, {255, 255, 255}};
    auto panorama = tinyPanorama(blackAndWhite);
    for (const int bpp : {3, 4}) {
        std::uint8_t out[5] = {1, 2, 3, 4, 0xEE};
        renderRect(*panorama, tinyCamera, {0, 0}, {1, 1}, bpp, out);
        EXPECT_EQ(out[0], 186);
        EXPECT_EQ(out[1], 186);
        EXPECT_EQ(out[2], 186);
        if (bpp == 4) {
            EXPECT_EQ(out[3], 255);
        }
        EXPECT_EQ(out[bpp], bpp == 3 ? 4 : 0xEE) << "nothing past the rectangle is written";
    }
}

TEST(RenderView, WritesRedGreenBlueAndMakesTheViewAfresh) {
    const std::uint8_t blue10green20red30[4][3] = {{10, 20, 30}, {10, 20, 30}, {10, 20, 30}, {10, 20, 30}};
    auto panorama = tinyPanorama(blue10green20red30);
    std::uint8_t out[3] = {};
    renderRect(*panorama, tinyCamera, {0, 0}, {1, 1}, 3, out);
    EXPECT_EQ(out[0], 30);
    EXPECT_EQ(out[1], 20);
    EXPECT_EQ(out[2], 10);

    // A view with paint pending and a closed mask is made afresh.
    ViewBuffer view;
    view.allocate(tinyCamera);
    const std::uint8_t paint[3] = {1, 2, 3};
    ASSERT_TRUE(view.acceptRect({0, 0}, {1, 1}, 3, paint));
    view.maskCorners();
    render(*panorama, tinyCamera, view);
    const std::uint8_t expected[4] = {30, 20, 10, 255};
    EXPECT_EQ(std::memcmp(view.pixels(), expected, 4), 0);
    EXPECT_EQ(view.camera(), tinyCamera);
    EXPECT_FALSE(view.paintPending());
}

struct Tile {
    Point origin;
    Size size;
};
// The link's tile walk of a 300 x 300 view.
const Tile linkTiles[] = {{{0, 0}, {256, 256}}, {{256, 0}, {44, 256}}, {{0, 256}, {256, 44}}, {{256, 256}, {44, 44}}};

TEST(RenderView, TilesOfTheLinkMatchOneWholeRender) {
    const Size full{300, 300};
    // A view inside Front: at heading 0, pitch 0 the tiles and the whole render then
    // sample the same face pixels (near a cube edge a last-bit difference in a ray may
    // tip it onto the neighbouring face).
    auto panorama = patternedPanorama(512);
    const Camera camera = nominalCamera(*panorama, 0, 0, full);
    ViewBuffer whole;
    render(*panorama, camera, whole);

    for (const Tile& tile : linkTiles) {
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(tile.size.width) * tile.size.height * 3);
        renderRect(*panorama, camera, tile.origin, tile.size, 3, buffer.data());
        for (int row = 0; row < tile.size.height; ++row)
            for (int column = 0; column < tile.size.width; ++column) {
                const std::uint8_t* got = &buffer[(static_cast<std::size_t>(row) * tile.size.width + column) * 3];
                const std::uint8_t* want = whole.row(tile.origin.y + row) + 4 * (tile.origin.x + column);
                ASSERT_EQ(std::vector<int>(got, got + 3), std::vector<int>(want, want + 3))
                    << "tile at " << tile.origin.x << "," << tile.origin.y << " pixel " << column << "," << row;
            }
    }
}

TEST(RenderView, RefusesRectanglesOutsideTheViewAndUnknownLayouts) {
    auto panorama = patternedPanorama(16);
    struct Case {
        Point origin;
        Size size, full;
        int bpp;
    };
    const Case cases[] = {
        {{10, 0}, {8, 4}, {16, 16}, 3},  {{0, 14}, {4, 4}, {16, 16}, 3}, {{-1, 0}, {4, 4}, {16, 16}, 3},
        {{0, 0}, {-4, 4}, {16, 16}, 3},  {{0, 0}, {4, 0}, {16, 16}, 3},  {{0, 0}, {4, 4}, {16, 16}, 2},
        {{0, 0}, {4, 4}, {0, 16}, 3},    {{0, 0}, {4, 4}, {16, 16}, 5},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> buffer(64 * 4, 0xEE);
        renderRect(*panorama, {0, 0, square90, c.full}, c.origin, c.size, c.bpp, buffer.data());
        EXPECT_EQ(buffer, std::vector<std::uint8_t>(64 * 4, 0xEE))
            << c.origin.x << "," << c.origin.y << " " << c.size.width << "x" << c.size.height << " of " << c.full.width
            << "x" << c.full.height << ", bpp " << c.bpp;
    }
    renderRect(*panorama, {0, 0, square90, {16, 16}}, {0, 0}, {4, 4}, 3, nullptr);  // no buffer: nothing written
}

TEST(Render, RendersTheWholeView) {
    auto panorama = patternedPanorama(32);
    ViewBuffer view;
    render(*panorama, {0, 0, square90, {32, 32}}, view);
    ASSERT_FALSE(view.empty());
    EXPECT_EQ(view.size(), (Size{32, 32}));
    // At face resolution the view's top-left pixel averages Front's top-left 2 x 2 corner:
    // rows 31 and 30 (the picture is bottom-up), columns 0 and 1. Row 0 of the view is the top.
    const std::uint8_t* topLeft = view.pixels();
    EXPECT_EQ(topLeft[0], toGamma(toLinear(40)));  // red: Front
    EXPECT_EQ(topLeft[2], toGamma((2 * toLinear(0) + 2 * toLinear(1)) / 4));  // blue: columns 0, 1
    EXPECT_EQ(topLeft[3], 255);
    const std::uint8_t* bottomRight = view.row(31) + 31 * 4;
    EXPECT_EQ(bottomRight[1], toGamma((2 * toLinear(0) + 2 * toLinear(1)) / 4));  // green: rows 0, 1
}

TEST(Render, NonPositiveSizesLeaveNoView) {
    auto panorama = patternedPanorama(8);
    for (const Size size : {Size{0, 8}, Size{8, 0}, Size{-3, 8}, Size{8, -1}, Size{0, 0}}) {
        ViewBuffer view;
        render(*panorama, {0, 0, square90, {8, 8}}, view);
        render(*panorama, {0, 0, square90, size}, view);
        EXPECT_TRUE(view.empty()) << size.width << "x" << size.height;
    }
}

// Renders split over threads against the same renders on one thread: views across cube
// edges and corners, odd sizes, fewer rows than threads, and a panorama missing a face.
struct ThreadCase {
    float heading, pitch;
    Size size;
    bool missingFace;
};
const ThreadCase threadCases[] = {
    {0, 0, {64, 48}, false},   {45, 30, {97, 61}, false}, {-135, -60, {40, 3}, false},
    {170, 89, {33, 1}, false}, {30, -20, {51, 37}, true},
};
const int threadCounts[] = {2, 3, 8, 0};

std::unique_ptr<PaintedSixImage> threadPanorama(const ThreadCase& c) {
    auto panorama = patternedPanorama(40);
    if (c.missingFace) panorama->faces[Right].reset();
    return panorama;
}

Camera threadCamera(const ThreadCase& c) {
    return {c.heading * degToRad, c.pitch * degToRad, {100 * degToRad, 80 * degToRad}, c.size};
}

TEST(RenderThreads, RenderViewToImageDoesNotChangeABit) {
    for (const ThreadCase& c : threadCases) {
        auto panorama = threadPanorama(c);
        const auto render = [&](int threads) {
            auto image = std::make_unique<RawImage>(c.size);
            renderViewToImage(*panorama, threadCamera(c), *image, threads);
            return image;
        };
        const auto single = render(1);
        for (const int threads : threadCounts) {
            const auto split = render(threads);
            EXPECT_EQ(std::memcmp(single->pixels, split->pixels, single->stride * static_cast<std::size_t>(c.size.height)), 0)
                << c.heading << "," << c.pitch << " " << c.size.width << "x" << c.size.height << ", " << threads << " threads";
        }
    }
}

TEST(RenderThreads, RenderViewDoesNotChangeABit) {
    // The whole view into a view buffer, and a rectangle of it into a buffer of its own.
    for (const ThreadCase& c : threadCases) {
        const auto panorama = threadPanorama(c);
        for (const bool rectangle : {false, true})
            for (const int bpp : {3, 4}) {
                if (!rectangle && bpp == 3) continue;
                const Point origin = rectangle ? Point{c.size.width / 3, c.size.height / 4} : Point{0, 0};
                const Size size = rectangle ? Size{c.size.width - origin.x, (c.size.height + 1) / 2} : c.size;
                const auto rendered = [&](int threads) {
                    if (rectangle) {
                        std::vector<std::uint8_t> own(static_cast<std::size_t>(size.width) * size.height * bpp, 0xEE);
                        renderRect(*panorama, threadCamera(c), origin, size, bpp, own.data(), threads);
                        return own;
                    }
                    ViewBuffer view;
                    render(*panorama, threadCamera(c), view, threads);
                    return std::vector<std::uint8_t>(view.pixels(), view.pixels() + view.stride() * c.size.height);
                };
                const auto single = rendered(1);
                for (const int threads : threadCounts)
                    EXPECT_EQ(single, rendered(threads)) << c.heading << "," << c.pitch << " " << c.size.width << "x"
                                                         << c.size.height << " rectangle " << rectangle << " bpp "
                                                         << bpp << ", " << threads << " threads";
            }
    }
}

TEST(RenderView, SamplesOnAMissingFaceAreWhite) {
    // Looking straight at the place of a missing face, every sample of every row misses.
    auto panorama = patternedPanorama(16);
    panorama->faces[Left].reset();
    ViewBuffer view;
    render(*panorama, {90 * degToRad, 0, {40 * degToRad, 40 * degToRad}, {6, 5}}, view);
    ASSERT_FALSE(view.empty());
    for (int i = 0; i < 6 * 5 * 4; ++i) ASSERT_EQ(view.pixels()[i], 255) << i;
}

TEST(RenderHalfView, IsTheHalfSizeViewEnlargedInPlace) {
    // Odd and even sizes, a single row and column, views across cube edges; split over
    // threads or not.
    const Size sizes[] = {{1, 1}, {2, 3}, {37, 20}, {64, 48}, {101, 77}};
    const float views[][2] = {{0, 0}, {45, 30}, {-135, -60}};
    auto panorama = patternedPanorama(40);
    const FieldOfView fov{100 * degToRad, 80 * degToRad};
    for (const Size size : sizes)
        for (const auto& view : views) {
            const Camera camera{view[0] * degToRad, view[1] * degToRad, fov, size};
            DisplayImages expected(size);
            renderViewToImage(*panorama, camera, expected.half(), 1);
            expandHalfInPlace(expected.full(), expected.half().stride);
            for (const int threads : {1, 3}) {
                RawImage image(size);
                renderHalfViewToImage(*panorama, camera, image, threads);
                for (int row = 0; row < size.height; ++row)
                    ASSERT_EQ(std::memcmp(image.row(row), expected.full().row(row), 3 * static_cast<std::size_t>(size.width)), 0)
                        << size.width << "x" << size.height << " at " << view[0] << "," << view[1] << ", " << threads
                        << " threads, row " << row;
            }
        }
}

TEST(RenderViewToRows, TopDownFourBytePixelsHoldTheSamePictures) {
    // The window's shared frame: four bytes a pixel, top row first; nothing written past a
    // row's pixels.
    const Size sizes[] = {{1, 1}, {2, 3}, {37, 20}, {101, 77}};
    const float views[][2] = {{0, 0}, {45, 30}, {-135, -60}};
    auto panorama = patternedPanorama(40);
    const FieldOfView fov{100 * degToRad, 80 * degToRad};
    for (const Size size : sizes)
        for (const auto& view : views)
            for (const bool half : {false, true}) {
                const Camera camera{view[0] * degToRad, view[1] * degToRad, fov, size};
                RawImage expected(size);
                if (half)
                    renderHalfViewToImage(*panorama, camera, expected, 1);
                else
                    renderViewToImage(*panorama, camera, expected, 1);
                const std::size_t stride = 4 * static_cast<std::size_t>(size.width) + 8;
                std::vector<std::uint8_t> frame(stride * size.height, 0x5A);
                const PixelRows rows = topDownRows(frame.data(), stride, size, 4);
                if (half)
                    renderHalfViewToRows(*panorama, camera, rows, 2);
                else
                    renderViewToRows(*panorama, camera, rows, 2);
                long differing = 0;
                for (int y = 0; y < size.height; ++y) {
                    const std::uint8_t* line = frame.data() + (size.height - 1 - y) * stride;
                    for (int x = 0; x < size.width; ++x)
                        differing += std::memcmp(line + 4 * x, expected.row(y) + 3 * x, 3) != 0;
                    for (std::size_t k = 4 * static_cast<std::size_t>(size.width); k < stride; ++k)
                        ASSERT_EQ(line[k], 0x5A) << "past the row's end";
                }
                EXPECT_EQ(differing, 0) << size.width << "x" << size.height << " at " << view[0] << ","
                                        << view[1] << (half ? ", half" : "");
            }
}

}  // namespace
