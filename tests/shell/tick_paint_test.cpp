// The view's ticks painted into the shared frame against the same ticks drawn by the
// window's OpenGL set-up, the way the window shows them.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "image/bgr_image.h"
#include "panel/tick_widget.h"
#include "support/window_context.h"

namespace {
// The view area as the window's OpenGL draws it: grey, then the ticks on top, read back.
std::unique_ptr<RawImage> drawnByGL(Size area, Point origin, float tickX, float tickY) {
    const Size window{area.width + origin.x + 3, area.height + origin.y + 5};
    const auto context = windowLikeContext(window);
    if (!context) return nullptr;
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    TickWidget ticks;
    ticks.setPosition(origin);
    ticks.setExtent(area);
    ticks.setTicks(tickX, tickY);
    ticks.draw(window, 0);
    auto shot = std::make_unique<RawImage>(area);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(origin.x, origin.y, area.width, area.height, GL_BGR, GL_UNSIGNED_BYTE, shot->pixels);
    return shot;
}
}  // namespace

TEST(TickPaint, PaintsThePixelsOpenGLDraws) {
    struct Case {
        Size area;
        float tickX, tickY;
    } cases[] = {
        {{200, 150}, 0.0f, 0.0f},    {{200, 150}, -1.0f, 1.0f},  {{201, 149}, 1.0f, -1.0f},
        {{640, 480}, 0.37f, -0.71f}, {{33, 27}, -0.123f, 0.5f},   {{1500, 1000}, -0.9444f, 0.8888f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.area.width << "x" << c.area.height << " at " << c.tickX << ", "
                                        << c.tickY);
        const std::unique_ptr<RawImage> expected = drawnByGL(c.area, {7, 11}, c.tickX, c.tickY);
        if (!expected) GTEST_SKIP() << "no OpenGL context";
        // Four bytes a pixel, top row first, as the window's shared frame holds them.
        const std::size_t stride = 4 * static_cast<std::size_t>(c.area.width);
        std::vector<std::uint8_t> frame(stride * c.area.height, 128);
        paintTicks(topDownRows(frame.data(), stride, c.area, 4), c.tickX, c.tickY);
        long differing = 0, painted = 0;
        for (int y = 0; y < c.area.height; ++y)
            for (int x = 0; x < c.area.width; ++x) {
                const std::uint8_t* want = expected->row(y) + 3 * x;
                const std::uint8_t* got = frame.data() + (c.area.height - 1 - y) * stride + 4 * x;
                differing += std::memcmp(want, got, 3) != 0;
                painted += got[0] != 128;
                EXPECT_EQ(got[3], 128) << "padding written at " << x << "," << y;
            }
        EXPECT_EQ(differing, 0);
        EXPECT_GT(painted, 100);
    }
}

TEST(TickPaint, ValuesOutsideTheRangePaintNothing) {
    const Size area{60, 40};
    std::vector<std::uint8_t> frame(3 * 60 * 40, 7);
    for (float value : {1.01f, -1.5f, std::numeric_limits<float>::quiet_NaN()}) {
        paintTicks(topDownRows(frame.data(), 3 * 60, area, 3), value, 0.0f);
        paintTicks(topDownRows(frame.data(), 3 * 60, area, 3), 0.0f, value);
    }
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 7), static_cast<long>(frame.size()));
}
