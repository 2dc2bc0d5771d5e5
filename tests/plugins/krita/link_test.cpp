// The Krita plug-in's link module (Python, through libdomecast_link.so) against the real
// editor on a private X server, without Krita: what it fetches, sends and turns is compared
// with what domecast-cli makes of the same pictures.

#include <signal.h>

#include <algorithm>
#include <csignal>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image/bmp.h"
#include "support/editor_window.h"
#include "support/link_environment.h"
#include "plugins/sample_faces.h"
#include "support/ppm_pictures.h"
#include "support/programs.h"
#include "support/scoped_env.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class KritaLinkTest : public EditorWindow {
protected:
    void SetUp() override {
        EditorWindow::SetUp();
        if (HasFatalFailure()) return;
        presetSettings("shiftAmount=30\n");
        copySampleFaces(work_, original_);
        // The driver reads the editor's settings and finds its link.
        ::setenv("DOMECAST_LINK_NAME", linkName_.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
        ::setenv("DOMECAST_DEFAULTS", "none", 1);
        ::setenv("PYTHONPATH", (std::string(DOMECAST_KRITA_PLUGIN_DIR) + "/domecast").c_str(), 1);
        ::setenv("PYTHONDONTWRITEBYTECODE", "1", 1);
    }

    // The link driver with arguments; its exit code, standard output and error.
    struct Result {
        int exit;
        std::string out, err;
    };
    Result driver(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), std::string(DOMECAST_KRITA_TESTS_DIR) + "/link_driver.py");
        ProgramRun run(DOMECAST_PYTHON, std::move(arguments));
        const int exit = run.exitCode();
        return {exit, run.out(), run.err()};
    }

    std::string cli(std::vector<std::string> arguments) {
        ProgramRun run(programPath("domecast-cli"), std::move(arguments));
        return run.exitCode() == 0 ? std::string() : "domecast-cli failed: " + run.err();
    }

    // Pixels of the PPM at path that differ from domecast-cli's render of the faces named by
    // faces at heading and pitch (degrees as the title shows them, outside the marked
    // corners); -1 when unreadable.
    long differsFromRender(const std::string& path, const std::string& faces, const std::string& heading,
                           const std::string& pitch) {
        int width = 0, height = 0;
        const std::vector<std::uint8_t> got = ppmPixels(path, width, height);
        if (got.empty()) return -1;
        const std::string expected = work_.file("expected-render.bmp");
        const std::string failed = cli({"render", faces, expected, "--heading", heading, "--pitch", pitch, "--size",
                                        std::to_string(width) + "x" + std::to_string(height)});
        EXPECT_EQ(failed, "");
        return differingOutsideCorners(got, width, height, RawImage(expected.c_str()));
    }

    // Presses key in the editor until its title shows wanted (a key lost under load is
    // pressed again).
    bool turnEditor(const std::string& window, const std::string& key, const std::string& wanted) {
        return waitUntil(30s, [&] {
            xdotool("windowfocus --sync " + window);
            xdotool("key " + key);
            return waitForTitle(window, wanted).find(wanted) != std::string::npos;
        });
    }

    TempDir work_, original_;
};

// The title's heading and pitch, in degrees as domecast-cli takes them, of the view whose
// link angles (radians, the heading turning the other way) the driver printed.
std::vector<std::string> titleAngles(const std::string& printed) {
    std::istringstream in(printed);
    double heading = 0, pitch = 0;
    in >> heading >> pitch;
    std::ostringstream h, p;
    h.precision(17);
    p.precision(17);
    h << -heading * 180 / M_PI;
    p << pitch * 180 / M_PI;
    return {h.str(), p.str()};
}

// The editor turned to h=90: the view fetched is domecast-cli's render there; a rectangle
// painted on it and sent becomes the faces domecast-cli's apply makes of that picture; Turn
// Left and Tilt Up then bring back the painted panorama's views at h=60, v=0 and v=30.
TEST_F(KritaLinkTest, GetsSendsAndTurnsAgainstTheEditor) {
    const std::string sample = work_.file("sample_FR.png");
    const auto editor = start("editor.out", sample);
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.out"));
    ASSERT_TRUE(turnEditor(window, "ctrl+r", "[h=90\u00b0 v=0\u00b0]"));

    const std::string fetched = work_.file("fetched.ppm");
    const Result got = driver({"get-view", fetched, "320", "240"});
    ASSERT_EQ(got.exit, 0) << got.err;
    EXPECT_EQ(differsFromRender(fetched, original_.file("sample_FR.png"), "90", "0"), 0);

    // Paint a rectangle near the right edge; the corners keep the view's marker.
    int width = 0, height = 0;
    std::vector<std::uint8_t> painted = ppmPixels(fetched, width, height);
    ASSERT_EQ(width, 320);
    ASSERT_EQ(height, 240);
    for (int y = 100; y < 140; ++y)
        for (int x = 280; x < 310; ++x) {
            std::uint8_t* p = &painted[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = 255, p[1] = 0, p[2] = 255;
        }
    const auto paintedPicture = pictureFromRgb(painted, width, height);
    const std::string paintedPpm = work_.file("painted.ppm"), paintedBmp = work_.file("painted.bmp");
    ASSERT_TRUE(writePpm(paintedPpm, *paintedPicture));
    SaveBMP(paintedBmp.c_str(), paintedPicture->size(), paintedPicture->stride, 3, paintedPicture->pixels);

    const Result sent = driver({"send", paintedPpm});
    ASSERT_EQ(sent.exit, 0) << sent.err;
    EXPECT_NE(waitForTitle(window, "*  [h=90").find("*  [h=90"), std::string::npos)
        << readText(config_.file("editor.out"));
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+s");
    EXPECT_EQ(waitForTitle(window, "sample [h=90").find("sample [h=90"), 0u) << readText(config_.file("editor.out"));
    ASSERT_EQ(cli({"apply", original_.file("sample_FR.png"), paintedBmp, work_.file("expected.wrl"), "--heading",
                   "90", "--pitch", "0", "--to", "3"}),
              "");
    expectSavedFacesAsExpected(work_, original_);

    // The painted view fetched again and sent back unchanged with Turn Left: nothing more is
    // painted, and the view that comes back is the saved panorama's 30 degrees to the left,
    // of the picture's size; Tilt Up likewise from there.
    const std::string again = work_.file("again.ppm"), turned = work_.file("turned.ppm");
    ASSERT_EQ(driver({"get-view", again, "320", "240"}).exit, 0);
    const Result turnedLeft = driver({"turn", "left", again, turned});
    ASSERT_EQ(turnedLeft.exit, 0) << turnedLeft.err;
    EXPECT_NE(waitForTitle(window, "[h=60\u00b0").find("[h=60\u00b0"), std::string::npos);
    const std::vector<std::string> leftAngles = titleAngles(turnedLeft.out);
    EXPECT_NEAR(std::stod(leftAngles[0]), 60, 1e-3) << turnedLeft.out;

    const std::string tilted = work_.file("tilted.ppm");
    const Result tiltedUp = driver({"turn", "up", turned, tilted});
    ASSERT_EQ(tiltedUp.exit, 0) << tiltedUp.err;
    EXPECT_NE(waitForTitle(window, "[h=60\u00b0 v=30\u00b0]").find("[h=60\u00b0 v=30\u00b0]"), std::string::npos);
    const std::vector<std::string> upAngles = titleAngles(tiltedUp.out);
    EXPECT_NEAR(std::stod(upAngles[1]), 30, 1e-3) << tiltedUp.out;


    // Rendered by domecast-cli from the panorama as the editor holds it now, saved.
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+s");
    EXPECT_EQ(waitForTitle(window, "sample [h=60").find("sample [h=60"), 0u) << readText(config_.file("editor.out"));
    // The editor turns in float radians, domecast-cli starts from decimal degrees: a handful
    // of the 76800 pixels, where a sample falls on a texel's edge, may round the other way.
    const long left = differsFromRender(turned, sample, leftAngles[0], leftAngles[1]);
    EXPECT_GE(left, 0);
    EXPECT_LE(left, 20);
    const long up = differsFromRender(tilted, sample, upAngles[0], upAngles[1]);
    EXPECT_GE(up, 0);
    EXPECT_LE(up, 20);

    editor->signal(SIGTERM);
    editor->waitFor(10s);
}

// Without an editor: the commands that need one refuse with the GIMP plug-ins' text; a send
// tries to start the editor from "DomecastPath" and says why it could not.
TEST_F(KritaLinkTest, RefusesWithoutAnEditor) {
    const Result view = driver({"get-view", work_.file("view.ppm"), "320", "240"});
    EXPECT_EQ(view.exit, 1);
    EXPECT_EQ(view.err,
              "Domecast is not running; command cancelled.\n\nYou must start Domecast BEFORE invoking this\n"
              "plugin command.\n");
    EXPECT_FALSE(fs::exists(work_.file("view.ppm")));

    const RawImage picture(Size{64, 48});
    ASSERT_TRUE(writePpm(work_.file("picture.ppm"), picture));
    const Result turn = driver({"turn", "right", work_.file("picture.ppm"), work_.file("turned.ppm")});
    EXPECT_EQ(turn.exit, 1);
    EXPECT_EQ(turn.err.rfind("Domecast is not running", 0), 0u) << turn.err;

    presetSettings("DomecastPath=" + work_.file("no such folder") + "\n");
    const Result send = driver({"send", work_.file("picture.ppm")});
    EXPECT_EQ(send.exit, 1);
    EXPECT_EQ(send.err, "Domecast could not be started (" + work_.file("no such folder") +
                            "/domecast): No such file or directory\n");
}

// A send with no editor running starts the one "DomecastPath" names, waits for it and
// hands it the picture.
TEST_F(KritaLinkTest, SendStartsTheEditor) {
    presetSettings("DomecastPath=" + fs::path(domecastPath()).parent_path().string() + "\n");
    const ScopedEnv display{"DISPLAY", server_.display()};
    const ScopedEnv backend{"GDK_BACKEND", "x11"};
    const ScopedEnv messages{"DOMECAST_MESSAGES", "stderr"};
    const ScopedEnv faces{"DOMECAST_TEST_FACES", faces_.path().string()};
    RawImage picture(Size{320, 240});
    std::fill(picture.pixels, picture.pixels + picture.stride * 240, std::uint8_t{200});
    ASSERT_TRUE(writePpm(work_.file("picture.ppm"), picture));

    const Result sent = driver({"send", work_.file("picture.ppm")});
    EXPECT_EQ(sent.exit, 0) << sent.err;
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty());
    // The picture, no view of the editor's, was painted onto the panorama.
    EXPECT_NE(waitForTitle(window, "*  [h=0").find("*  [h=0"), std::string::npos);

    const pid_t started = static_cast<pid_t>(std::atol(xdotool("getwindowpid " + window).c_str()));
    ASSERT_GT(started, 1);
    ::kill(started, SIGTERM);
    if (!gone(window)) ::kill(started, SIGKILL);
}

}  // namespace
