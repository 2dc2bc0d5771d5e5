// The view's shared-memory frame on a private X server: what is put is what the window
// shows, and what the server refuses is a false answer, never the end of the program.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/screen_frame.h"
#include "support/x_session.h"

namespace {
class ScreenFrameTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.ok()) << "Xvfb did not start";
        display_ = XOpenDisplay(server_.display().c_str());
        ASSERT_NE(display_, nullptr);
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 300, 200, 0, 0, 0);
        XMapWindow(display_, window_);
        XSync(display_, False);
    }
    void TearDown() override {
        if (display_ != nullptr) XCloseDisplay(display_);
    }

    XServer server_{"640x480x24"};
    Display* display_ = nullptr;
    Window window_ = 0;
};

// A picture no two neighbours of which are alike.
void paintPattern(const PixelRows& rows, int seed) {
    for (int y = 0; y < rows.height; ++y)
        for (int x = 0; x < rows.width; ++x) {
            std::uint8_t* p = rows.row(y) + 4 * x;
            p[0] = static_cast<std::uint8_t>(x * 7 + seed);
            p[1] = static_cast<std::uint8_t>(y * 13 + x);
            p[2] = static_cast<std::uint8_t>(x ^ y ^ seed);
        }
}
}  // namespace

TEST_F(ScreenFrameTest, TheWindowShowsWhatIsPutAtThePlaceAsked) {
    struct Case {
        Size size;
        int x, top;
    } cases[] = {{{300, 200}, 0, 0}, {{37, 21}, 5, 9}, {{1, 1}, 299, 199}, {{120, 80}, 180, 120}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size.width << "x" << c.size.height << " at " << c.x << "," << c.top);
        const auto frame = ScreenFrame::create(display_, window_, c.size);
        ASSERT_NE(frame, nullptr);
        const PixelRows rows = frame->rows();
        ASSERT_EQ(rows.size(), c.size);
        ASSERT_EQ(rows.bytesPerPixel, 4);
        paintPattern(rows, c.x);
        ASSERT_TRUE(frame->show(c.x, c.top));
        const std::size_t stride = 3 * static_cast<std::size_t>(c.size.width);
        std::vector<std::uint8_t> shown(stride * c.size.height, 0);
        // Read back bottom row first, as pictures are held here.
        ASSERT_TRUE(frame->readBack(c.x, c.top,
                                    {shown.data(), static_cast<std::ptrdiff_t>(stride), c.size.width, c.size.height, 3}));
        long differing = 0;
        for (int y = 0; y < c.size.height; ++y)
            for (int x = 0; x < c.size.width; ++x)
                differing += std::memcmp(shown.data() + y * stride + 3 * x, rows.row(y) + 4 * x, 3) != 0;
        EXPECT_EQ(differing, 0);
    }
}

TEST_F(ScreenFrameTest, RefusalsAreAnswersNotErrors) {
    EXPECT_EQ(ScreenFrame::create(nullptr, window_, {10, 10}), nullptr);
    EXPECT_EQ(ScreenFrame::create(display_, 0, {10, 10}), nullptr);
    EXPECT_EQ(ScreenFrame::create(display_, window_, {0, 10}), nullptr);
    EXPECT_EQ(ScreenFrame::create(display_, window_, {10, -1}), nullptr);

    const auto frame = ScreenFrame::create(display_, window_, {50, 40});
    ASSERT_NE(frame, nullptr);
    std::vector<std::uint8_t> shown(3 * 50 * 40);
    const PixelRows into{shown.data(), 150, 50, 40, 3};
    // Partly outside the window, and a destination of another size.
    EXPECT_FALSE(frame->readBack(280, 10, into));
    EXPECT_FALSE(frame->readBack(0, 0, {shown.data(), 150, 49, 40, 3}));
    // The window goes away under the frame: the server's error is an answer.
    XDestroyWindow(display_, window_);
    XSync(display_, False);
    EXPECT_FALSE(frame->show(0, 0));
    EXPECT_FALSE(frame->readBack(0, 0, into));
}
