// A plug-in asking the running editor for its view (a turn by zero steps, no picture), as
// GIMP's "Get View from Domecast" does: the view that comes is what the editor's title
// says it looks at, and the editor does not turn, whatever the user did before.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "image/bgr_image.h"
#include "panorama/geometry.h"
#include "support/editor_window.h"
#include "support/programs.h"
#include "view/render_view.h"

using namespace std::chrono_literals;

namespace {

class LinkViewWindow : public EditorWindow {
protected:
    // The title's h and v, degrees.
    static bool titleAngles(const std::string& title, int& h, int& v) {
        const std::size_t at = title.find("[h=");
        return at != std::string::npos && std::sscanf(title.c_str() + at, "[h=%d\u00b0 v=%d\u00b0]", &h, &v) == 2;
    }

    // Asks for a view of size through domecast-peer; the number of its pixels (the corners,
    // which carry the view marker, left out) that differ from what the panorama shows at the
    // title's angles, or -1 when no view came.
    long viewRequestMismatch(const std::string& window, Size size, const PaintedSixImage& panorama) {
        const std::string title = xdotool("getwindowname " + window);
        int h = 0, v = 0;
        if (!titleAngles(title, h, v)) {
            ADD_FAILURE() << title;
            return -1;
        }
        const std::string output = config_.file("requested.bmp");
        std::filesystem::remove(output);
        const std::string sizeText = std::to_string(size.width) + "x" + std::to_string(size.height);
        const auto sent = runCommand("env DOMECAST_LINK_NAME=" + linkName_ + " '" + programPath("domecast-peer") +
                                         "' send --command 21 --step-x 0 --step-y 0 --size " + sizeText +
                                         " --output '" + output + "' --timeout 30 2>&1",
                                     60);
        if (!sent) return -1;
        // The editor keeps looking where it looked.
        EXPECT_EQ(xdotool("getwindowname " + window), title);
        const RawImage got(output.c_str());
        if (got.size() != size) return -1;
        // As domecast-cli render computes the camera from --heading h --pitch v.
        ViewBuffer expected;
        render(panorama,
               nominalCamera(panorama, -(static_cast<float>(h) * degToRad), clampPitch(static_cast<float>(v) * degToRad),
                             size),
               expected);
        long differing = 0;
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x) {
                const bool corner = (x == 0 || x == size.width - 1) && (y == 0 || y == size.height - 1);
                const std::uint8_t* file = got.row(size.height - 1 - y) + 3 * x;  // blue, green, red
                const std::uint8_t* view = expected.row(y) + 4 * x;              // red, green, blue
                if (!corner && (file[0] != view[2] || file[1] != view[1] || file[2] != view[0])) ++differing;
            }
        return differing;
    }
};

TEST_F(LinkViewWindow, AViewRequestBringsWhatTheTitleSays) {
    writeFaces(faces_);
    presetSettings("PaintApp=" SCRIPTED_PAINT "\n");
    ::setenv("SCRIPTED_PAINT", "handoff", 1);
    ::setenv("TMP", config_.path().c_str(), 1);
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    const auto panorama = expectedPanorama(faces_);

    struct Step {
        const char* name;
        std::function<void()> before;
    } steps[] = {
        {"fresh editor", [] {}},
        {"after keys turned the view", [&] {
             xdotool("windowfocus --sync " + window);
             xdotool("key Right Up");
             waitForTitle(window, "v=10\u00b0");
         }},
        {"after a paint over the view file", [&] {
             // A view handed out at h=90 (to a program that saves nothing, so that the faces
             // stay those of the reference), then the user turns back to h=0 and asks.
             xdotool("windowfocus --sync " + window);
             xdotool("key ctrl+r");
             waitForTitle(window, "h=90\u00b0");
             xdotool("key Return");
             const std::string chooser = focusDialog("Domecast: Choose size");
             ASSERT_FALSE(chooser.empty());
             xdotool("key Return");
             ASSERT_TRUE(gone(chooser));
             waitForTitle(window, "watching");
             xdotool("windowfocus --sync " + window);
             xdotool("key Escape ctrl+f");
             waitForTitle(window, "h=0\u00b0");
         }},
        {"after a plug-in turned the view and ended", [&] {
             const auto turned = runCommand("env DOMECAST_LINK_NAME=" + linkName_ + " '" + programPath("domecast-peer") +
                                                "' send --command 21 --step-x -1 --step-y 0 --size 64x48 --timeout 30",
                                            60);
             ASSERT_TRUE(turned.has_value());
             waitForTitle(window, "h=45\u00b0");
         }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.before();
        for (const Size size : {Size{1, 1}, Size{320, 240}, Size{1920, 1080}}) {
            SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
            EXPECT_EQ(viewRequestMismatch(window, size, *panorama), 0) << readText(config_.file("editor.txt"));
        }
    }
    editor->signal(SIGTERM);
    editor->waitFor(20s);
}

// Zoomed with the wheel, a view request gets the zoomed view: the link reports the field of
// view the title shows.
TEST_F(LinkViewWindow, AZoomedViewReportsItsFieldOfView) {
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    const auto request = [&] {
        return runCommand("env DOMECAST_LINK_NAME=" + linkName_ + " '" + programPath("domecast-peer") +
                              "' send --command 21 --step-x 0 --step-y 0 --size 320x240 --timeout 30 2>&1",
                          60)
            .value_or("");
    };
    const std::string nominal = request();
    xdotool("mousemove --window " + window + " 200 150");
    xdotool("click 5 click 5");
    const std::string title = waitForTitle(window, " f=");
    int f = 0;
    const std::size_t at = title.find(" f=");
    ASSERT_NE(at, std::string::npos) << title;
    ASSERT_EQ(std::sscanf(title.c_str() + at, " f=%d", &f), 1);
    const std::string zoomed = request();
    double reported = 0;
    const std::size_t line = zoomed.find("field of view ");
    ASSERT_NE(line, std::string::npos) << zoomed;
    ASSERT_EQ(std::sscanf(zoomed.c_str() + line, "field of view %lf", &reported), 1);
    EXPECT_NEAR(reported, f, 0.5);
    // The same picture size at another field of view: other pixels.
    EXPECT_NE(nominal.substr(0, nominal.find('\n')), zoomed.substr(0, zoomed.find('\n'))) << nominal << zoomed;
    editor->signal(SIGTERM);
    editor->waitFor(20s);
}

}  // namespace
