// The control panel in the editor's window: clicks on its buttons, a drag in the view,
// the command menus and the window's smallest size.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "panel/control_panel.h"
#include "support/editor_window.h"

using namespace std::chrono_literals;

namespace {
// True when every 2 x 2 block of the picture, counted from its first row and column, is
// one colour, leaving out the bands of the indicator's ticks.
bool madeOfBlocks(const RawImage& shot) {
    constexpr int tickBand = 14;
    for (int y = tickBand; y + 1 < shot.height; y += 2)
        for (int x = 0; x + 1 < shot.width - tickBand; x += 2)
            for (int c = 0; c < 3; ++c) {
                const std::uint8_t v = shot.row(y)[3 * x + c];
                if (shot.row(y)[3 * x + 3 + c] != v || shot.row(y + 1)[3 * x + c] != v ||
                    shot.row(y + 1)[3 * x + 3 + c] != v)
                    return false;
            }
    return true;
}

std::unique_ptr<RawImage> takeSnapshot(const std::string& path, std::chrono::milliseconds timeout) {
    std::unique_ptr<RawImage> shot;
    waitUntil(timeout, [&] {
        if (!std::filesystem::exists(path)) return false;
        shot = std::make_unique<RawImage>(path.c_str());
        std::filesystem::remove(path);
        return shot->pixels != nullptr;
    });
    return shot;
}
}  // namespace

class PanelInWindow : public EditorWindow {
protected:
    // Starts the editor and lays out a panel of the program's pictures for its window.
    void open() {
        editor_ = start("editor.txt");
        window_ = findWindow();
        ASSERT_FALSE(window_.empty()) << readText(config_.file("editor.txt"));
        panorama_ = expectedPanorama(faces_);
        const std::optional<Size> view = viewShown(*panorama_, 0, 0);
        ASSERT_TRUE(view);
        std::istringstream geometry(xdotool("getwindowgeometry --shell " + window_));
        for (std::string line; std::getline(geometry, line);)
            if (line.rfind("WIDTH=", 0) == 0) client_.width = std::stoi(line.substr(6));
        panel_.build({4096, 4096});
        // The client area lies below the menu bar: as high as the view and the panel's rows.
        client_.height = view->height + panel_.margins().height;
        panel_.layout(client_);
        ASSERT_EQ(panel_.viewAreaSize, *view);
    }

    // The window point (y from the top) of a widget's centre moved by (dx, dy), y up.
    std::string at(const Widget& widget, int dx = 0, int dy = 0) {
        Point p;
        widget.resolvePosition(client_, p);
        const Size* extent = widget.getExtent();
        const int x = p.x + extent->width / 2 + dx;
        const int y = client_.height - 1 - (p.y + extent->height / 2 + dy);
        return "mousemove --sync --window " + window_ + " " + std::to_string(x) + " " + std::to_string(y + menuBar());
    }

    // The window's rows above the client area.
    int menuBar() {
        std::istringstream geometry(xdotool("getwindowgeometry --shell " + window_));
        for (std::string line; std::getline(geometry, line);)
            if (line.rfind("HEIGHT=", 0) == 0) return std::stoi(line.substr(7)) - client_.height;
        return 0;
    }

    void stop() {
        editor_->signal(SIGTERM);
        EXPECT_EQ(editor_->waitFor(20s), std::optional<int>(0)) << readText(config_.file("editor.txt"));
    }

    std::unique_ptr<TestProcess> editor_;
    std::string window_;
    std::unique_ptr<PaintedSixImage> panorama_;
    Size client_;
    ControlPanel panel_;
};

TEST_F(PanelInWindow, ClicksOnTheTurnButtonsAndTheCompassTurnTheView) {
    open();
    struct Case {
        const char* name;
        const Widget* widget;
        int dx, dy;
        const char* shown;
    } cases[] = {
        {"turn left", panel_.turnLeftButton.get(), 0, 0, "[h=350\u00b0 v=0\u00b0]"},
        {"compass, right quarter", panel_.compassButton.get(), 15, 0, "[h=90\u00b0 v=0\u00b0]"},
        {"turn right", panel_.turnRightButton.get(), 0, 0, "[h=100\u00b0 v=0\u00b0]"},
        {"tilt, top quarter", panel_.tiltButton.get(), 0, 15, "[h=100\u00b0 v=90\u00b0]"},
        {"tilt down", panel_.tiltDownButton.get(), 0, 0, "[h=100\u00b0 v=80\u00b0]"},
        {"compass, upper part", panel_.compassButton.get(), 0, 15, "[h=0\u00b0 v=80\u00b0]"},
    };
    for (const Case& c : cases) {
        xdotool(at(*c.widget, c.dx, c.dy) + " click 1");
        EXPECT_NE(waitForTitle(window_, c.shown).find(c.shown), std::string::npos) << c.name;
    }
    viewShown(*panorama_, 0, 80);
    stop();
}

TEST_F(PanelInWindow, AButtonDrawnAfterAKeyTurnedTheViewShowsTheTurnedView) {
    // The key's frame reaches the window without the window's OpenGL; the hover's paint
    // goes through OpenGL and swaps the whole window, so it has to bring the turned view.
    open();
    xdotool("windowfocus --sync " + window_);
    xdotool("key Right");
    waitForTitle(window_, "[h=10\u00b0 v=0\u00b0]");
    ASSERT_TRUE(viewShown(*panorama_, -10, 0));
    xdotool(at(*panel_.turnLeftButton));
    EXPECT_TRUE(viewShown(*panorama_, -10, 0)) << "the hover's paint did not draw the view";
    stop();
}

TEST_F(PanelInWindow, ADragTurnsTheViewAtHalfResolutionUntilReleased) {
    open();
    const std::string half = snapshotPath() + ".half";
    // On a loaded machine the drag's one pointer motion has been seen not to reach the
    // view (about one run in twenty beside another window test); a second drag may follow.
    std::unique_ptr<RawImage> turning;
    for (int attempt = 0; attempt < 2 && !turning; ++attempt) {
        xdotool(at(*panel_.viewArea) + " mousedown 1");
        xdotool("mousemove_relative --sync 120 0");
        turning = takeSnapshot(half, 10s);
        if (!turning) {
            std::cerr << "no turning frame after a drag; title " << xdotool("getwindowname " + window_) << '\n';
            xdotool("mouseup 1");
        }
    }
    std::this_thread::sleep_for(1s);
    std::filesystem::remove(snapshotPath());
    xdotool("mouseup 1");
    ASSERT_TRUE(turning) << "no frame drawn while turning";
    EXPECT_TRUE(madeOfBlocks(*turning));
    // Right turns the view right: the shown heading grows from 0.
    const std::string title = xdotool("getwindowname " + window_);
    EXPECT_EQ(title.find("[h=0\u00b0"), std::string::npos) << title;
    const std::unique_ptr<RawImage> released = takeSnapshot(snapshotPath(), 10s);
    ASSERT_TRUE(released) << "no full-resolution frame after the release";
    EXPECT_FALSE(madeOfBlocks(*released));
    EXPECT_EQ(released->size(), turning->size());
    stop();
}

TEST_F(PanelInWindow, ARightClickOnFileOpensTheFileMenu) {
    open();
    xdotool(at(*panel_.fileButton) + " click 3");
    // The popup is a window of the program's own name; keys pressed before it shows would
    // reach the view instead.
    ASSERT_TRUE(waitUntil(20s, [&] { return !xdotool("search --onlyvisible --name '^domecast$'").empty(); }))
        << "no menu";
    // The menu's last item is Exit; the editor ends as the menu bar's Exit would end it.
    xdotool("key Up Return");
    EXPECT_EQ(editor_->waitFor(20s), std::optional<int>(0)) << readText(config_.file("editor.txt"));
}

TEST_F(PanelInWindow, HelpOpensTheHelpMenuWhateverMenusComeBeforeIt) {
    open();
    xdotool(at(*panel_.helpButton) + " click 1");
    ASSERT_TRUE(waitUntil(20s, [&] { return !xdotool("search --onlyvisible --name '^domecast$'").empty(); }))
        << "no menu";
    // The Help menu's last item is About Domecast.
    xdotool("key Up Return");
    const std::string about = focusDialog("About Domecast");
    EXPECT_FALSE(about.empty()) << readText(config_.file("editor.txt"));
    if (!about.empty()) xdotool("key Escape");
    stop();
}

TEST_F(PanelInWindow, TheSizeHintsCarryThePanelsMinimum) {
    open();
    const std::string hints = runCommand("env DISPLAY=" + server_.display() + " xprop -id " + window_ +
                                         " WM_NORMAL_HINTS")
                                  .value_or("");
    const std::string label = "program specified minimum size: ";
    const std::size_t at = hints.find(label);
    ASSERT_NE(at, std::string::npos) << hints;
    int width = 0, height = 0;
    ASSERT_EQ(std::sscanf(hints.c_str() + at + label.size(), "%d by %d", &width, &height), 2) << hints;
    EXPECT_EQ(width, 439);
    // The panel's 141 rows and the menu bar above them.
    EXPECT_GT(height, 141);
    EXPECT_LT(height, 141 + 80);
    stop();
}
