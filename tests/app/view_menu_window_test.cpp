// The View menu: its items name the keys that work, and the window's view after one of
// them is the view domecast-cli renders for the angles the title shows.
#include <gtest/gtest.h>
#include <signal.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "image/bgr_image.h"
#include "support/editor_window.h"
#include "support/programs.h"

using namespace std::chrono_literals;

namespace {

// The pixels in which two pictures differ, leaving out the bottom and right bands where
// the window draws its heading and pitch ticks over the view.
long differingPixels(const RawImage& a, const RawImage& b) {
    constexpr int tickBand = 14;
    if (a.size() != b.size()) return -1;
    long count = 0;
    for (int y = tickBand; y < a.height; ++y)
        for (int x = 0; x < a.width - tickBand; ++x)
            for (int c = 0; c < 3; ++c) count += a.row(y)[3 * x + c] != b.row(y)[3 * x + c];
    return count;
}

std::string menuLines(const std::string& text, const std::string& menu) {
    std::string lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        if (line.rfind(menu + "\t", 0) == 0) lines += line + "\n";
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return lines;
}

}  // namespace

TEST_F(EditorWindow, TheMenusShowTheAcceleratorsThatWork) {
    const std::string menus = config_.file("menus.txt");
    auto editor = start("editor.txt", std::vector<std::string>{"DOMECAST_TEST_MENUS=" + menus});
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    ASSERT_TRUE(waitUntil(10s, [&] { return std::filesystem::exists(menus); }));
    const std::string shown = readText(menus);
    EXPECT_EQ(menuLines(shown, "View"),
              "View\tPaint this view...\tEnter\n"
              "View\tStop Watching the View File\tEsc\n"
              "View\tForward (0\u00b0)\tCtrl+F\n"
              "View\tRight  (90\u00b0)\tCtrl+R\n"
              "View\tBack  (180\u00b0)\tCtrl+B\n"
              "View\tLeft (270\u00b0)\tCtrl+L\n"
              "View\tUp\tCtrl+U\n"
              "View\tDown\tCtrl+D\n"
              "View\tZoom In\tCtrl++\n"
              "View\tZoom Out\tCtrl+-\n"
              "View\tStraight Ahead, Normal Zoom\tHome\n");
    EXPECT_EQ(menuLines(shown, "File"),
              "File\tNew...\tCtrl+N\nFile\tOpen...\tCtrl+O\nFile\tSave\tCtrl+S\nFile\tSave As...\t\n"
              "File\tRevert\t\nFile\tResize Panorama...\t\nFile\tPreferences...\t\nFile\tExit\t\n");
    EXPECT_EQ(menuLines(shown, "Edit"), "Edit\tUndo\tCtrl+Z\nEdit\tRedo\tCtrl+Shift+Z\n");

    // Each view item's key, as the menu names it, does what the item does; a turn by the
    // arrow keys in between makes every step change the title.
    struct Step {
        const char* item;
        const char* turn;
        const char* shown;
    } steps[] = {
        {"Right  (90\u00b0)", "Left", "[h=90\u00b0 v=0\u00b0]"}, {"Back  (180\u00b0)", "Up", "[h=180\u00b0 v=0\u00b0]"},
        {"Left (270\u00b0)", "Right", "[h=270\u00b0 v=0\u00b0]"}, {"Up", "Left", "[h=0\u00b0 v=90\u00b0]"},
        {"Down", "Right", "[h=0\u00b0 v=-90\u00b0]"},               {"Forward (0\u00b0)", "Up", "[h=0\u00b0 v=0\u00b0]"},
    };
    xdotool("windowfocus --sync " + window);
    for (const Step& step : steps) {
        const std::string label = std::string("View\t") + step.item + "\t";
        const std::size_t at = shown.find(label);
        ASSERT_NE(at, std::string::npos) << step.item;
        const std::string accelerator = shown.substr(at + label.size(), shown.find('\n', at) - at - label.size());
        ASSERT_EQ(accelerator.rfind("Ctrl+", 0), 0u) << step.item << ": " << accelerator;
        const std::string key = "ctrl+" + std::string(1, static_cast<char>(std::tolower(accelerator.back())));
        const std::string before = xdotool("getwindowname " + window);
        xdotool(std::string("key ") + step.turn);
        waitUntil(5s, [&] { return xdotool("getwindowname " + window) != before; });
        xdotool("key " + key);
        EXPECT_NE(waitForTitle(window, step.shown).find(step.shown), std::string::npos) << step.item << " " << key;
    }
    // The zoom: Ctrl with plus (or =) and minus, and the wheel over the view; Home looks
    // straight ahead at the normal zoom again.
    const auto zoomShown = [&] { return xdotool("getwindowname " + window).find(" f=") != std::string::npos; };
    xdotool("key ctrl+plus");
    EXPECT_TRUE(waitUntil(5s, zoomShown)) << xdotool("getwindowname " + window);
    xdotool("key ctrl+minus");
    EXPECT_TRUE(waitUntil(5s, [&] { return !zoomShown(); })) << xdotool("getwindowname " + window);
    xdotool("key ctrl+equal");
    EXPECT_TRUE(waitUntil(5s, zoomShown)) << xdotool("getwindowname " + window);
    xdotool("key ctrl+minus");
    EXPECT_TRUE(waitUntil(5s, [&] { return !zoomShown(); }));
    xdotool("mousemove --window " + window + " 200 150");
    xdotool("click 4");
    EXPECT_TRUE(waitUntil(5s, zoomShown)) << xdotool("getwindowname " + window);
    xdotool("key Left");
    waitForTitle(window, "[h=350\u00b0");
    xdotool("key Home");
    EXPECT_NE(waitForTitle(window, "[h=0\u00b0 v=0\u00b0]").find("[h=0\u00b0 v=0\u00b0]"), std::string::npos);
    EXPECT_FALSE(zoomShown());

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0)) << readText(config_.file("editor.txt"));
}

TEST_F(EditorWindow, TheCommandLineHeadingIsTheTitlesAfterCtrlR) {
    TempDir folder;
    const std::unique_ptr<PaintedSixImage> panorama = expectedPanorama(faces_);
    panorama->fileName = folder.file("pano_FR.tga");
    panorama->layout = 0;  // "3DStudio, Targa": the faces as they are
    ASSERT_EQ(panorama->write(), 0);

    auto editor = start("editor.txt", panorama->fileName);
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+r");
    ASSERT_NE(waitForTitle(window, "[h=90\u00b0 v=0\u00b0]").find("[h=90\u00b0 v=0\u00b0]"), std::string::npos);

    // The drawn view of that title is the picture domecast-cli writes for --heading 90.
    long differing = -2;
    std::string cliErrors;
    waitUntil(20s, [&] {
        if (!std::filesystem::exists(snapshotPath())) return false;
        const RawImage shot(snapshotPath().c_str());
        std::filesystem::remove(snapshotPath());
        const std::string rendered = folder.file("cli.bmp");
        cliErrors = runCommand("'" + programPath("domecast-cli") + "' view '" + panorama->fileName + "' '" + rendered +
                                   "' --heading 90 --pitch 0 --size " + std::to_string(shot.width) + "x" +
                                   std::to_string(shot.height) + " 2>&1",
                               60)
                        .value_or("domecast-cli failed");
        differing = differingPixels(shot, RawImage(rendered.c_str()));
        return differing == 0;
    });
    EXPECT_EQ(differing, 0) << cliErrors;

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0)) << readText(config_.file("editor.txt"));
}
