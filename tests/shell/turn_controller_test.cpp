// The control panel's mouse handling with a fake window and a fake clock.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "panel/control_panel.h"
#include "panorama/geometry.h"
#include "shell/shell.h"
#include "shell/turn_controller.h"

namespace {
struct Popup {
    PanelMenu menu;
    bool rightButton;
};

class FakeWindow : public PanelWindow {
public:
    Size clientSize() const override { return {800, 600}; }
    Point dragThreshold() const override { return {4, 4}; }
    void setCursor(PanelCursor c) override { cursor = c; }
    void captureMouse() override { captured = true; }
    void releaseMouse() override { captured = false; }
    void startTimer(int id, int milliseconds) override {
        running.insert(id);
        periods.push_back(milliseconds);
    }
    void stopTimer(int id) override { running.erase(id); }
    void refreshWidget(const Widget& widget) override { refreshed.push_back(&widget); }
    void invalidateView() override { ++viewInvalidations; }
    void refreshWindow() override { ++windowRefreshes; }
    void popupMenu(PanelMenu menu, Point, bool rightButton) override { popups.push_back({menu, rightButton}); }
    void openProgramPage() override { ++pagesOpened; }

    PanelCursor cursor = PanelCursor::arrow;
    bool captured = false;
    std::set<int> running;
    std::vector<int> periods;
    std::vector<const Widget*> refreshed;
    int viewInvalidations = 0, windowRefreshes = 0, pagesOpened = 0;
    std::vector<Popup> popups;
};

class PanelMouse : public ::testing::Test {
protected:
    void SetUp() override {
        panel.build({1280, 1000});
        panel.layout(window.clientSize());
    }

    // A point relative to a widget's centre (y upwards), as the window reports it: y
    // counted from the top.
    Point on(const Widget& widget, int dx = 0, int dy = 0) const {
        Point p;
        widget.resolvePosition(window.clientSize(), p);
        const Size* extent = widget.getExtent();
        return {p.x + extent->width / 2 + dx, window.clientSize().height - 1 - (p.y + extent->height / 2 + dy)};
    }
    float headingDegrees() const { return shell.windowHeading() / degToRad; }
    float pitchDegrees() const { return shell.windowPitch() / degToRad; }

    ControlPanel panel;
    FakeWindow window;
    Shell shell;
    TurnController controller{shell, panel, window};
};
}  // namespace

TEST(DragSpeed, GrowsWithTheSquareBeyondTheThresholdUpTo200Pixels) {
    struct Case {
        int offset, threshold;
        float scale, speed;
    } cases[] = {
        {4, 4, 1.0f, 0.0f},      {-4, 4, 1.0f, 0.0f},   {0, 0, 1.0f, 0.0f},
        {104, 4, 1.0f, -0.25f},  {-104, 4, 1.0f, 0.25f}, {104, 4, 0.5f, -0.125f},
        {300, 4, 1.0f, -1.0f},   {-5000, 4, 0.5f, 0.5f}, {204, 4, 1.0f, -1.0f},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(dragSpeed(c.offset, c.threshold, c.scale), c.speed) << c.offset << " beyond " << c.threshold;
}

TEST_F(PanelMouse, PressAndReleaseInsideTheThresholdLeaveTheView) {
    const Point start = on(*panel.viewArea);
    controller.press(start, false, 1000);
    EXPECT_TRUE(window.captured);
    EXPECT_EQ(window.cursor, PanelCursor::crossHair);
    EXPECT_EQ(panel.continuousTurn, 1);
    EXPECT_EQ(window.running, std::set<int>{turningStepTimer});
    controller.move({start.x + 4, start.y - 4});
    controller.tick(1050);
    controller.release({start.x + 4, start.y - 4});
    EXPECT_EQ(shell.windowHeading(), 0.0f);
    EXPECT_EQ(shell.windowPitch(), 0.0f);
    EXPECT_FALSE(window.captured);
    EXPECT_EQ(panel.continuousTurn, 0);
    EXPECT_TRUE(window.running.empty());
    EXPECT_EQ(window.cursor, PanelCursor::move);
    EXPECT_EQ(window.viewInvalidations, 1);  // the full-resolution frame
}

TEST_F(PanelMouse, ADragTurnsAtTheCappedSpeedWithTheElapsedTimeCapped) {
    const Point start = on(*panel.viewArea);
    controller.press(start, false, 1000);
    controller.move({start.x + 300, start.y - 300});  // right and up, far beyond 200 px
    EXPECT_FLOAT_EQ(controller.headingSpeed(), -1.0f);
    EXPECT_FLOAT_EQ(controller.pitchSpeed(), 0.5f);
    controller.tick(1050);
    EXPECT_NEAR(shell.windowHeading(), -0.05f * 2 * singlePi, 1e-6);
    EXPECT_NEAR(shell.windowPitch(), 0.05f * 0.5f * 2 * singlePi, 1e-6);
    // A step after a long pause counts 0.1 s.
    controller.tick(5050);
    EXPECT_NEAR(shell.windowHeading(), -0.15f * 2 * singlePi, 1e-5);
    // Thousands of pixels outside the window while captured: still the capped speed.
    controller.move({start.x - 9000, start.y + 9000});
    EXPECT_FLOAT_EQ(controller.headingSpeed(), 1.0f);
    EXPECT_FLOAT_EQ(controller.pitchSpeed(), -0.5f);
    controller.release({-9000, 9000});
    EXPECT_FALSE(window.captured);
    EXPECT_EQ(panel.continuousTurn, 0);
    EXPECT_EQ(window.cursor, PanelCursor::arrow);
}

TEST_F(PanelMouse, HoldingTiltUpRisesToExactlyNinetyAndStops) {
    controller.press(on(*panel.tiltUpButton), false, 0);
    EXPECT_FLOAT_EQ(pitchDegrees(), 10.0f);
    EXPECT_EQ(window.running, std::set<int>{holdDelayTimer});
    controller.holdDelayElapsed();
    EXPECT_EQ(panel.continuousTurn, 1);
    EXPECT_EQ(window.running, std::set<int>{turningStepTimer});
    EXPECT_EQ(window.windowRefreshes, 1);
    for (std::uint32_t t = 100; t <= 3000; t += 100) controller.tick(t);
    EXPECT_EQ(shell.windowPitch(), 90 * degToRad);
    EXPECT_EQ(shell.windowHeading(), 0.0f);
    controller.release(on(*panel.tiltUpButton));
    EXPECT_EQ(panel.continuousTurn, 0);
    EXPECT_TRUE(window.running.empty());
}

TEST_F(PanelMouse, HoldingTurnLeftKeepsTheHeadingInsideAFullTurn) {
    controller.press(on(*panel.turnLeftButton), false, 0);
    EXPECT_FLOAT_EQ(headingDegrees(), 10.0f);
    controller.holdDelayElapsed();
    float previous = shell.windowHeading();
    int wraps = 0;
    for (std::uint32_t t = 100; t <= 20000; t += 100) {
        controller.tick(t);
        const float heading = shell.windowHeading();
        ASSERT_GT(heading, -2 * singlePi);
        ASSERT_LT(heading, 2 * singlePi);
        if (heading < previous) ++wraps;
        previous = heading;
    }
    // 0.3 turns a second for 20 s: six whole turns.
    EXPECT_EQ(wraps, 6);
}

TEST_F(PanelMouse, AShortPressOnAnArrowStepsOnce) {
    struct Case {
        const char* name;
        const PushButton* button;
        float heading, pitch;
    } cases[] = {
        {"turn left", panel.turnLeftButton.get(), 10, 0},
        {"turn right", panel.turnRightButton.get(), -10, 0},
        {"tilt up", panel.tiltUpButton.get(), 0, 10},
        {"tilt down", panel.tiltDownButton.get(), 0, -10},
    };
    for (const Case& c : cases) {
        shell.setView(0, 0);
        controller.press(on(*c.button), false, 0);
        EXPECT_EQ(c.button->state, buttonPressed) << c.name;
        controller.release(on(*c.button));
        EXPECT_FLOAT_EQ(headingDegrees(), c.heading) << c.name;
        EXPECT_FLOAT_EQ(pitchDegrees(), c.pitch) << c.name;
        EXPECT_TRUE(window.running.empty()) << c.name;
        EXPECT_EQ(panel.continuousTurn, 0) << c.name;
        EXPECT_EQ(c.button->state, buttonHovered) << c.name;
        // A delay arriving after the release starts nothing.
        controller.holdDelayElapsed();
        EXPECT_EQ(panel.continuousTurn, 0) << c.name;
        EXPECT_TRUE(window.running.empty()) << c.name;
    }
}

TEST_F(PanelMouse, CompassAndTiltQuartersJumpToMainDirections) {
    struct Case {
        const char* name;
        bool tilt;
        int dx, dy;
        float heading, pitch;
    } cases[] = {
        {"compass top", false, 0, 15, 0, 20},     {"compass right", false, 15, 0, -90, 20},
        {"compass bottom", false, 0, -15, 180, 20}, {"compass left", false, -15, 0, 90, 20},
        {"tilt top", true, 0, 15, 45, 90},        {"tilt bottom", true, 0, -15, 45, -90},
        {"tilt right", true, 15, 0, 45, 0},       {"tilt left", true, -15, 0, 45, 0},
    };
    for (const Case& c : cases) {
        shell.setView(45 * degToRad, 20 * degToRad);
        const Widget& button = c.tilt ? *panel.tiltButton : *panel.compassButton;
        controller.press(on(button, c.dx, c.dy), false, 0);
        controller.release(on(button, c.dx, c.dy));
        EXPECT_FLOAT_EQ(headingDegrees(), c.heading) << c.name;
        EXPECT_FLOAT_EQ(pitchDegrees(), c.pitch) << c.name;
    }
}

TEST_F(PanelMouse, APressedCommandButtonFollowsThePointerAndOpensItsMenu) {
    PushButton& file = *panel.fileButton;
    controller.move(on(file));
    EXPECT_EQ(file.state, buttonHovered);
    controller.press(on(file), true, 0);
    ASSERT_EQ(window.popups.size(), 1u);
    EXPECT_EQ(window.popups[0].menu, PanelMenu::file);
    EXPECT_TRUE(window.popups[0].rightButton);
    EXPECT_EQ(file.state, buttonPressed);
    controller.move(on(*panel.viewArea));
    EXPECT_EQ(file.state, buttonNormal);
    controller.move(on(file, 3, 3));
    EXPECT_EQ(file.state, buttonPressed);
    EXPECT_EQ(window.refreshed.back(), &file);
    controller.release(on(file));
    EXPECT_EQ(file.state, buttonHovered);

    struct Case {
        const PushButton* button;
        PanelMenu menu;
    } cases[] = {{panel.paintButton.get(), PanelMenu::paint}, {panel.helpButton.get(), PanelMenu::help}};
    for (const Case& c : cases) {
        controller.press(on(*c.button), false, 0);
        controller.release(on(*c.button));
        EXPECT_EQ(window.popups.back().menu, c.menu);
        EXPECT_FALSE(window.popups.back().rightButton);
    }
    EXPECT_EQ(window.popups.size(), 3u);
}

TEST_F(PanelMouse, HoverMovesBetweenButtonsAndTheCursorFollowsTheView) {
    controller.move(on(*panel.helpButton));
    EXPECT_EQ(panel.helpButton->state, buttonHovered);
    EXPECT_EQ(window.cursor, PanelCursor::arrow);
    controller.move(on(*panel.viewArea));
    EXPECT_EQ(panel.helpButton->state, buttonNormal);
    EXPECT_EQ(window.cursor, PanelCursor::move);
    controller.move(on(*panel.logoButton));
    EXPECT_EQ(panel.logoButton->state, buttonHovered);
    EXPECT_EQ(window.cursor, PanelCursor::arrow);
}

TEST_F(PanelMouse, TheLogoOpensThePageOnlyWhenReleasedOnIt) {
    controller.press(on(*panel.logoButton), false, 0);
    controller.release(on(*panel.viewArea));
    EXPECT_EQ(window.pagesOpened, 0);
    EXPECT_EQ(panel.logoButton->state, buttonNormal);
    controller.press(on(*panel.logoButton), false, 0);
    controller.release(on(*panel.logoButton, 5, 5));
    EXPECT_EQ(window.pagesOpened, 1);
}

TEST_F(PanelMouse, StrayInputChangesNothing) {
    // A release without a press, a press on nothing (the window frame), timers that fire
    // with nothing going on.
    controller.release(on(*panel.viewArea));
    controller.press({2, 2}, false, 0);
    EXPECT_EQ(controller.pressedWidget(), nullptr);
    controller.release({2, 2});
    controller.tick(500);
    controller.holdDelayElapsed();
    EXPECT_EQ(shell.windowHeading(), 0.0f);
    EXPECT_EQ(shell.windowPitch(), 0.0f);
    EXPECT_EQ(panel.continuousTurn, 0);
    EXPECT_FALSE(window.captured);
    EXPECT_TRUE(window.running.empty());
}

TEST_F(PanelMouse, CancelEndsADragAndLaterEventsFindNoPanel) {
    const Point start = on(*panel.viewArea);
    controller.press(start, false, 0);
    controller.move({start.x + 100, start.y});
    controller.cancel();
    EXPECT_FALSE(window.captured);
    EXPECT_EQ(panel.continuousTurn, 0);
    EXPECT_TRUE(window.running.empty());
    panel.release();
    // The window is gone: its timers and the mouse reach a panel that no longer exists.
    controller.tick(100);
    controller.holdDelayElapsed();
    controller.move(start);
    controller.press(start, false, 200);
    controller.release(start);
    EXPECT_EQ(shell.windowHeading(), 0.0f);
    EXPECT_FALSE(window.captured);
}
