// The editor's live view: keys and View commands turn it, the title follows, a resized
// window shows the nominal view of its new view area.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "support/editor_window.h"

using namespace std::chrono_literals;

TEST_F(EditorWindow, KeysTurnTheViewAndTheTitleAndTheViewAreaShowTheRenderedView) {
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    EXPECT_EQ(xdotool("getwindowname " + window), "Untitled [h=0\u00b0 v=0\u00b0] - Domecast");

    const std::unique_ptr<PaintedSixImage> panorama = expectedPanorama(faces_);
    // The window was sized for the nominal size of a 90 x 75 degree view of 256-pixel
    // faces, 256 x 196, raised with its aspect to the panel's narrowest view, 333 wide.
    EXPECT_EQ(viewShown(*panorama, 0, 0), std::optional<Size>(Size{333, 254}));

    xdotool("windowfocus --sync " + window);
    xdotool("key Right");
    EXPECT_EQ(waitForTitle(window, "h=10\u00b0 v=0\u00b0"), "Untitled [h=10\u00b0 v=0\u00b0] - Domecast");
    xdotool("key Up");
    waitForTitle(window, "v=10\u00b0");
    viewShown(*panorama, -10, 10);

    struct Step {
        const char* keys;
        const char* shown;
    } steps[] = {
        {"ctrl+l", "[h=270\u00b0 v=0\u00b0]"}, {"Left", "[h=260\u00b0 v=0\u00b0]"},
        {"ctrl+r", "[h=90\u00b0 v=0\u00b0]"},  {"ctrl+b", "[h=180\u00b0 v=0\u00b0]"},
        {"ctrl+u", "[h=0\u00b0 v=90\u00b0]"},   {"Up", "[h=0\u00b0 v=90\u00b0]"},
        {"ctrl+d", "[h=0\u00b0 v=-90\u00b0]"},  {"Down Up", "[h=0\u00b0 v=-80\u00b0]"},
        {"Right Home", "[h=0\u00b0 v=0\u00b0]"},
    };
    for (const Step& step : steps) {
        xdotool(std::string("key ") + step.keys);
        EXPECT_NE(waitForTitle(window, step.shown).find(step.shown), std::string::npos) << step.keys;
    }

    // The Down view, drawn last, is what the view area shows.
    xdotool("key ctrl+d");
    waitForTitle(window, "v=-90\u00b0");
    xdotool("key Left");
    waitForTitle(window, "[h=350\u00b0 v=-90\u00b0]");
    viewShown(*panorama, 10, -90);

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0)) << readText(config_.file("editor.txt"));
}

TEST_F(EditorWindow, AResizedWindowShowsTheNominalViewOfItsNewViewArea) {
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    const std::unique_ptr<PaintedSixImage> panorama = expectedPanorama(faces_);
    ASSERT_TRUE(viewShown(*panorama, 0, 0));
    xdotool("windowsize " + window + " 611 433");
    // Once the size has settled, the view fills the new view area: the client area less
    // the panel's margins (47 + 59 across; 131 and the menu bar up).
    std::optional<Size> shown;
    waitUntil(20s, [&] {
        shown = viewShown(*panorama, 0, 0);
        return shown && shown->width == 611 - 106;
    });
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->width, 611 - 106);
    EXPECT_LT(shown->height, 433 - 131);
    EXPECT_GT(shown->height, 433 - 131 - 60);

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0));
}
