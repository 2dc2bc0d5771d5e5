// The control panel built from the program's pictures and laid out for a client size.
#include <gtest/gtest.h>

#include "panel/control_panel.h"

namespace {
struct BuiltPanel : ::testing::Test {
    void SetUp() override { panel.build({1280, 1000}); }

    static Point at(const Widget& widget, Size window) {
        Point p;
        widget.resolvePosition(window, p);
        return p;
    }
    ControlPanel panel;
};
}  // namespace

TEST_F(BuiltPanel, SizesAndMarginsFollowThePictures) {
    EXPECT_EQ(panel.minTrackSize, (Size{439, 141}));
    EXPECT_EQ(panel.maxTrackSize, (Size{1280, 1000}));
    EXPECT_EQ(panel.commandRowHeight, 40);
    EXPECT_EQ(panel.turnRowHeight, 69);
    EXPECT_EQ(panel.tiltColumnWidth, 59);
    EXPECT_EQ(panel.margins(), (Size{106, 131}));
    ASSERT_TRUE(panel.background);
    EXPECT_EQ(panel.background->size(), (Size{320, 240}));
    EXPECT_EQ(panel.logoButton->invertHover, 1);
}

TEST_F(BuiltPanel, LayoutAtEightHundredBySixHundred) {
    const Size window{800, 600};
    panel.layout(window);
    EXPECT_EQ(panel.viewAreaSize, (Size{694, 469}));
    EXPECT_EQ(*panel.indicator->getExtent(), (Size{694, 469}));
    EXPECT_EQ(*panel.viewFrame->getExtent(), (Size{706, 481}));
    EXPECT_EQ(*panel.windowFrame->getExtent(), window);
    struct Case {
        const char* name;
        const Widget* widget;
        Point position;
    } cases[] = {
        {"view area", panel.viewArea.get(), {47, 69}},
        {"indicator", panel.indicator.get(), {47, 69}},
        {"view frame", panel.viewFrame.get(), {41, 63}},
        {"File", panel.fileButton.get(), {47, 548}},
        {"Paint", panel.paintButton.get(), {111, 548}},
        {"Help", panel.helpButton.get(), {175, 548}},
        {"logo, right-aligned before the tilt column", panel.logoButton.get(), {587, 548}},
        // The turn row centred under the view, its tops level at 62.
        {"turn left", panel.turnLeftButton.get(), {332, 7}},
        {"compass", panel.compassButton.get(), {372, 17}},
        {"turn right", panel.turnRightButton.get(), {416, 17}},
        // The tilt column centred on the view's height.
        {"tilt down", panel.tiltDownButton.get(), {748, 239}},
        {"tilt", panel.tiltButton.get(), {748, 281}},
        {"tilt up", panel.tiltUpButton.get(), {748, 325}},
    };
    for (const Case& c : cases) EXPECT_EQ(at(*c.widget, window), c.position) << c.name;
}

TEST_F(BuiltPanel, AtTheMinimumNothingOverlapsTheView) {
    const Size window = panel.minTrackSize;
    panel.layout(window);
    EXPECT_EQ(panel.viewAreaSize, (Size{333, 10}));
    // The frames and rows around the view still clear it.
    const Point frame = at(*panel.viewFrame, window);
    const Size frameSize = *panel.viewFrame->getExtent();
    EXPECT_GE(at(*panel.tiltUpButton, window).x, frame.x + frameSize.width);
    EXPECT_GE(at(*panel.fileButton, window).y, frame.y + frameSize.height);
    EXPECT_LE(at(*panel.compassButton, window).y + panel.compassButton->getExtent()->height, frame.y);
    // A point of the view is the view's, not a frame's.
    const Point inside{at(*panel.viewArea, window).x + 5, at(*panel.viewArea, window).y + 5};
    EXPECT_EQ(panel.widgets.widgetAt(window, inside), panel.viewArea.get());
}

TEST(ControlPanel, QuartersSplitAlongTheDiagonals) {
    TickWidget widget;
    widget.setPosition({100, 200});
    widget.setExtent({44, 44});  // centre (122, 222)
    const Size window{800, 600};
    struct Case {
        Point point;
        Quarter quarter;
    } cases[] = {
        {{140, 222}, Quarter::right}, {{122, 205}, Quarter::bottom}, {{104, 222}, Quarter::left},
        {{122, 240}, Quarter::top},   {{122, 222}, Quarter::left},    // the centre
        {{130, 214}, Quarter::bottom},  // on the falling diagonal
    };
    for (const Case& c : cases)
        EXPECT_EQ(quarterOf(widget, window, c.point), c.quarter) << c.point.x << "," << c.point.y;
}
