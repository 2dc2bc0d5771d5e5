// The push button's composition of its picture over the window pixels under it.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "image/bgr_image.h"
#include "image/bgra_image.h"
#include "panel/button_blend.h"

namespace {
// A button picture of one colour and alpha, and one background colour under it.
struct Scene {
    Scene(Size size, std::array<int, 4> bgra, std::array<int, 3> rgb)
        : face(size), under(static_cast<std::size_t>((size.width + 3) / 4 * 4) * 3 * size.height), shown(size) {
        underStride = static_cast<std::uint32_t>((size.width + 3) / 4 * 4 * 3);
        for (int i = 0; i < size.height; ++i)
            for (int j = 0; j < size.width; ++j) {
                for (int c = 0; c < 4; ++c) face.pixels[i * face.stride + 4 * j + c] = static_cast<std::uint8_t>(bgra[c]);
                for (int c = 0; c < 3; ++c) under[i * underStride + 3 * j + c] = static_cast<std::uint8_t>(rgb[c]);
            }
    }
    // Blue, green, red shown at column j, row i.
    std::array<int, 3> at(int j, int i) const {
        const std::uint8_t* p = shown.row(i) + 3 * j;
        return {p[0], p[1], p[2]};
    }
    void compose(int state, int invert = 0) { composeButton(face, under.data(), underStride, state, invert, shown); }

    BGRAImage face;
    std::vector<std::uint8_t> under;
    std::uint32_t underStride;
    RawImage shown;
};

using BGR = std::array<int, 3>;
}  // namespace

TEST(ButtonBlend, FlatStatesByAlpha) {
    // Face blue 100, green 150, red 240; background red 10, green 20, blue 30.
    struct Case {
        int alpha, state, invert;
        BGR expected;
    } cases[] = {
        {255, buttonNormal, 0, {100, 150, 240}},
        {255, buttonHovered, 0, {132, 182, 255}},  // brightened by 32, red capped
        {0, buttonNormal, 0, {30, 20, 10}},
        {0, buttonHovered, 1, {30, 20, 10}},
        // alpha 128 weighs 128: (100*128 + 30*128) >> 8 = 65
        {128, buttonNormal, 0, {65, 85, 125}},
        // alpha 200 weighs 201: (100*201 + 30*55) >> 8 = 84
        {200, buttonNormal, 0, {84, 122, 190}},
        {200, buttonHovered, 0, {84, 122, 190}},
        // inverted: (155*201 + 30*55) >> 8 = 128, (105*201 + 20*55) >> 8 = 86, (15*201 + 10*55) >> 8 = 13
        {200, buttonHovered, 1, {128, 86, 13}},
        {200, buttonNormal, 1, {84, 122, 190}},
    };
    for (const Case& c : cases) {
        Scene scene({5, 3}, {100, 150, 240, c.alpha}, {10, 20, 30});
        scene.compose(c.state, c.invert);
        EXPECT_EQ(scene.at(4, 2), c.expected) << "alpha " << c.alpha << " state " << c.state << " invert " << c.invert;
    }
}

TEST(ButtonBlend, PressedMovesThePictureRightAndDown) {
    Scene scene({6, 5}, {100, 150, 240, 0}, {10, 20, 30});
    // One opaque face pixel at column 1, row 3 shows at column 3, row 1.
    std::uint8_t* marked = scene.face.pixels + 3 * scene.face.stride + 4 * 1;
    marked[3] = 255;
    scene.compose(buttonPressed);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 6; ++j)
            EXPECT_EQ(scene.at(j, i), (i == 1 && j == 3 ? BGR{132, 182, 255} : BGR{30, 20, 10})) << j << "," << i;
}

TEST(ButtonBlend, PressedDropsFaintPixelsAndStrengthensTheRest) {
    struct Case {
        int alpha;
        BGR expected;
    } cases[] = {
        {127, {30, 20, 10}},     // below half: background
        {128, {38, 36, 38}},     // f = 32: (100*32 + 30*224) >> 8 = 38
        {200, {78, 109, 168}},   // f = 176: (100*176 + 30*80) >> 8 = 78
        {240, {99, 149, 239}},   // f capped at 255: (100*255 + 30) >> 8 = 99
        {255, {132, 182, 255}},  // opaque: brightened by 32
    };
    for (const Case& c : cases) {
        Scene scene({4, 4}, {100, 150, 240, c.alpha}, {10, 20, 30});
        scene.compose(buttonPressed);
        EXPECT_EQ(scene.at(2, 0), c.expected) << c.alpha;
        // The two left columns and the two top rows always show the background.
        EXPECT_EQ(scene.at(1, 0), (BGR{30, 20, 10}));
        EXPECT_EQ(scene.at(3, 2), (BGR{30, 20, 10}));
    }
}
