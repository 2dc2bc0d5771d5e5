// The widgets' drawing through OpenGL, on an off-screen face surface: what they read back,
// compose and put on the screen.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "image/gl_dib_image.h"
#include "panel/bevel_shade.h"
#include "panel/bevel_widget.h"
#include "panel/image_widget.h"
#include "panel/push_button.h"
#include "shell/display.h"

namespace {
constexpr Size surfaceSize{37, 29};  // 37 pixels: rows carry padding

std::uint8_t backgroundByte(int x, int y, int c) { return static_cast<std::uint8_t>(11 * x + 5 * y + 70 * c); }

// A window stand-in: a face surface with a known picture and the display's projection.
class Surface : public ::testing::Test {
protected:
    void SetUp() override {
        paint(0);
        ASSERT_TRUE(surface.makeCurrent());
        // The window's own projection and state, so that what is drawn here is what the
        // window shows.
        prepareWindowContext();
        setUpWindowSurface(surfaceSize);
    }

    // Fills the surface with the background picture, shifted by offset, through OpenGL.
    void paint(int offset) {
        for (int y = 0; y < surface.height; ++y)
            for (int x = 0; x < surface.width; ++x)
                for (int c = 0; c < 3; ++c) surface.row(y)[3 * x + c] = backgroundByte(x + offset, y, c);
        if (surface.hasContext()) surface.makeCurrent();
    }

    std::vector<std::uint8_t> pixel(int x, int y) const {
        const std::uint8_t* p = surface.row(y) + 3 * x;
        return {p[0], p[1], p[2]};
    }

    GLDIBImage surface{surfaceSize};
};
}  // namespace

TEST_F(Surface, ImageWidgetDrawsItsPictureAtItsPosition) {
    RawImage picture({7, 3});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
            for (int c = 0; c < 3; ++c) picture.row(y)[3 * x + c] = static_cast<std::uint8_t>(200 + x + 10 * c + y);
    ImageWidget widget;
    widget.setImage(&picture);
    widget.setPosition({-8, 4});  // resolves to x = 28
    widget.draw(surfaceSize, 1);
    surface.finishDrawing();
    for (int y = 0; y < surfaceSize.height; ++y)
        for (int x = 0; x < surfaceSize.width; ++x) {
            const bool inside = x >= 28 && x < 35 && y >= 4 && y < 7;
            const std::uint8_t* expected = inside ? picture.row(y - 4) + 3 * (x - 28) : nullptr;
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(pixel(x, y)[c], inside ? expected[c] : backgroundByte(x, y, c)) << x << "," << y;
        }
}

TEST_F(Surface, PushButtonComposesOverWhatItCoversAndRecomposesOnlyOnStateChange) {
    PushButton button("TARGA32", "TEST_PICTURE");  // 5 x 3, alpha 0, 128 and 255
    ASSERT_EQ(*button.getExtent(), (Size{5, 3}));
    button.setPosition({9, 6});

    // What the button must show over the background under it, in a state.
    const auto expectedFor = [&](int state) {
        std::vector<std::uint8_t> under(8 * 3 * 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 8; ++x)
                for (int c = 0; c < 3; ++c) under[y * 24 + 3 * x + c] = backgroundByte(9 + x, 6 + y, 2 - c);
        auto shown = std::make_unique<RawImage>(Size{5, 3});
        composeButton(button.face, under.data(), 24, state, 0, *shown);
        return shown;
    };
    const auto check = [&](const RawImage& shown) {
        for (int y = 0; y < surfaceSize.height; ++y)
            for (int x = 0; x < surfaceSize.width; ++x) {
                const bool inside = x >= 9 && x < 14 && y >= 6 && y < 9;
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(pixel(x, y)[c], inside ? shown.row(y - 6)[3 * (x - 9) + c] : backgroundByte(x, y, c))
                        << x << "," << y;
            }
    };

    button.draw(surfaceSize, 0);  // the first draw reads the window even unforced
    surface.finishDrawing();
    check(*expectedFor(buttonNormal));

    // A new background under an unforced state change: the button keeps composing over
    // what it read before, and only a forced draw reads the window again.
    paint(0);
    button.state = buttonHovered;
    button.draw(surfaceSize, 0);
    surface.finishDrawing();
    check(*expectedFor(buttonHovered));

    paint(0);
    button.state = buttonPressed;
    button.draw(surfaceSize, 1);
    surface.finishDrawing();
    check(*expectedFor(buttonPressed));
}

TEST_F(Surface, BevelShadesTheFourStripsAndRedrawsFromItsCache) {
    BevelWidget frame(3, 2, 0);
    frame.setPosition({4, 5});
    frame.setExtent({20, 12});
    frame.draw(surfaceSize, 1);
    surface.finishDrawing();

    // The expected window: the background with each strip shaded in drawing order.
    struct Strip {
        Point at;
        Size size;
        StripShade shade;
        StripCorners corners;
    };
    const StripShade black70{0, 0.7}, black40{0, 0.4}, black20{0, 0.2}, white20{1, 0.2};
    const Strip strips[] = {
        {{4, 5}, {20, 2}, black70, StripCorners::bottom},
        {{4, 15}, {20, 2}, white20, StripCorners::top},
        {{21, 7}, {3, 8}, black40, StripCorners::none},
        {{4, 7}, {3, 8}, black20, StripCorners::none},
    };
    std::vector<std::vector<std::uint8_t>> expected(surfaceSize.width * surfaceSize.height);
    for (int y = 0; y < surfaceSize.height; ++y)
        for (int x = 0; x < surfaceSize.width; ++x)
            expected[y * surfaceSize.width + x] = {backgroundByte(x, y, 0), backgroundByte(x, y, 1), backgroundByte(x, y, 2)};
    for (const Strip& strip : strips) {
        RawImage pixels(strip.size);
        for (int y = 0; y < strip.size.height; ++y)
            for (int x = 0; x < strip.size.width; ++x)
                for (int c = 0; c < 3; ++c) pixels.row(y)[3 * x + c] = expected[(strip.at.y + y) * surfaceSize.width + strip.at.x + x][2 - c];
        shadeStrip(pixels, strip.shade, strip.corners, 3, black20, black40);
        for (int y = 0; y < strip.size.height; ++y)
            for (int x = 0; x < strip.size.width; ++x)
                for (int c = 0; c < 3; ++c)
                    expected[(strip.at.y + y) * surfaceSize.width + strip.at.x + x][2 - c] = pixels.row(y)[3 * x + c];
    }
    for (int y = 0; y < surfaceSize.height; ++y)
        for (int x = 0; x < surfaceSize.width; ++x) ASSERT_EQ(pixel(x, y), expected[y * surfaceSize.width + x]) << x << "," << y;

    // Unforced, the frame puts back what it shaded before, whatever the window shows now.
    paint(3);
    frame.draw(surfaceSize, 0);
    surface.finishDrawing();
    EXPECT_EQ(pixel(12, 5), expected[5 * surfaceSize.width + 12]);
    EXPECT_EQ(pixel(22, 10), expected[10 * surfaceSize.width + 22]);
    EXPECT_EQ(frame.contains(surfaceSize, {12, 5}), 0);
}
