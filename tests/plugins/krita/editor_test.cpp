// Krita itself under Xvfb, with a fresh profile in which the Domecast plug-in is enabled,
// against the real editor: a script run from the plug-in's start-up hook runs "Send to
// Domecast" (refused) and "Get View from Domecast" with no picture open, then opens a
// painted picture, runs "Get View from Domecast", "Send to Domecast", "Turn Left" and
// Krita's Undo, writes what Krita shows after each and quits Krita; the editor's saved
// faces are then what domecast-cli's apply makes of the picture.

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "image/bmp.h"
#include "support/editor_window.h"
#include "support/link_environment.h"
#include "plugins/sample_faces.h"
#include "support/ppm_pictures.h"
#include "support/programs.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class KritaEditorTest : public EditorWindow {
protected:
    void SetUp() override {
        EditorWindow::SetUp();
        if (HasFatalFailure()) return;
        presetSettings("shiftAmount=30\n");
        copySampleFaces(work_, original_);
        // Krita's profile (XDG_RUNTIME_DIR stays the editor's: the link's sockets are there):
        // the plug-in copied into its pykrita folder and enabled in kritarc,
        // which lives beside the editor's settings so that the plug-in reads those.
        const fs::path pykrita = home_.path() / "share" / "krita" / "pykrita";
        fs::create_directories(pykrita);
        fs::copy(DOMECAST_KRITA_PLUGIN_DIR, pykrita, fs::copy_options::recursive);
        std::ofstream(config_.file("kritarc")) << "[python]\nenable_domecast=true\n";
    }

    std::string cli(std::vector<std::string> arguments) {
        ProgramRun run(programPath("domecast-cli"), std::move(arguments));
        return run.exitCode() == 0 ? std::string() : "domecast-cli failed: " + run.err();
    }

    // Runs Krita with the test script to its end; its exit code, nothing when it hung.
    std::optional<int> runKrita() {
        TestProcess krita(DOMECAST_KRITA, {"--nosplash"},
                          {{"DISPLAY", server_.display()},
                           {"HOME", home_.path().string()},
                           {"XDG_CONFIG_HOME", config_.path().string()},
                           {"XDG_DATA_HOME", (home_.path() / "share").string()},
                           {"XDG_CACHE_HOME", (home_.path() / "cache").string()},
                           {"DOMECAST_DEFAULTS", "none"},
                           {"DOMECAST_LINK_NAME", linkName_},
                           {"DOMECAST_MESSAGES", "stderr"},
                           {"DOMECAST_KRITA_TEST_SCRIPT", std::string(DOMECAST_KRITA_TESTS_DIR) + "/krita_script.py"},
                           {"DOMECAST_KRITA_TEST_FOLDER", work_.path().string()}},
                          home_.file("krita.out"));
        // Krita's first start with a new profile builds its resource database: minutes on a
        // loaded machine.
        const std::optional<int> exit = krita.waitFor(300s);
        return exit;
    }

    TempDir work_, original_, home_;
};

TEST_F(KritaEditorTest, GetsSendsTurnsAndUndoesInKrita) {
    ASSERT_FALSE(std::string(DOMECAST_KRITA).empty()) << "krita is not installed (scripts/install-deps installs it)";
    // The picture Krita opens: the editor's first view, rendered by domecast-cli (its corners
    // carry the view marker), with a rectangle painted near its right edge.
    const std::string picture = work_.file("picture.bmp");
    ASSERT_EQ(cli({"render", original_.file("sample_FR.png"), picture, "--heading", "0", "--pitch", "0", "--size",
                   "320x240"}),
              "");
    {
        RawImage painted(picture.c_str());
        for (int y = 100; y < 140; ++y)
            for (int x = 280; x < 310; ++x) {
                std::uint8_t* p = painted.row(painted.height - 1 - y) + 3 * x;
                p[0] = 255, p[1] = 0, p[2] = 255;
            }
        SaveBMP(picture.c_str(), painted.size(), painted.stride, 3, painted.pixels);
    }

    const std::string sample = work_.file("sample_FR.png");
    const auto editor = start("editor.out", sample);
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.out"));
    EXPECT_NE(waitForTitle(window, "h=0").find("h=0"), std::string::npos);

    const std::optional<int> exit = runKrita();
    const std::string kritaOutput = readText(home_.file("krita.out"));
    ASSERT_TRUE(exit.has_value()) << "Krita did not end:\n" << readText(work_.file("steps.txt")) << kritaOutput;
    EXPECT_EQ(*exit, 0) << kritaOutput;
    EXPECT_EQ(readText(work_.file("steps.txt")),
              "menu Domecast\ndocker True\ndocuments 0\nfresh view 1024x768\nopened 320x240\nview 320x240\nsent\n"
              "turned\nundone\nquitting\n")
        << kritaOutput;
    // The send with no picture open was the only command refused, and it said why.
    const std::size_t refused = kritaOutput.find("Domecast: open a picture first.\n");
    ASSERT_NE(refused, std::string::npos) << kritaOutput;
    EXPECT_EQ(kritaOutput.find("Domecast"), refused) << kritaOutput;
    EXPECT_EQ(kritaOutput.find("Domecast", refused + 1), std::string::npos) << kritaOutput;

    // The views fetched are the editor's at h=0: at 1024 x 768 with no picture open, then
    // of the open picture's size.
    for (const auto& [file, size] : {std::pair("fresh.ppm", "1024x768"), std::pair("fetched.ppm", "320x240")}) {
        SCOPED_TRACE(file);
        int width = 0, height = 0;
        const std::vector<std::uint8_t> fetched = ppmPixels(work_.file(file), width, height);
        ASSERT_EQ(std::to_string(width) + "x" + std::to_string(height), size);
        ASSERT_EQ(cli({"render", original_.file("sample_FR.png"), work_.file("front.bmp"), "--heading", "0",
                       "--pitch", "0", "--size", size}),
                  "");
        EXPECT_EQ(differingOutsideCorners(fetched, width, height, RawImage(work_.file("front.bmp").c_str())), 0);
    }
    int width = 0, height = 0;

    // Turned left after the send: the paint was taken and the view is at h=330.
    EXPECT_NE(waitForTitle(window, "*  [h=330").find("*  [h=330"), std::string::npos)
        << readText(config_.file("editor.out"));
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+s");
    EXPECT_EQ(waitForTitle(window, "sample [h=330").find("sample [h=330"), 0u) << readText(config_.file("editor.out"));
    ASSERT_EQ(cli({"apply", original_.file("sample_FR.png"), picture, work_.file("expected.wrl"), "--heading", "0",
                   "--pitch", "0", "--to", "3"}),
              "");
    expectSavedFacesAsExpected(work_, original_);

    // Krita showed the saved panorama's view 30 degrees to the left after the turn, and the
    // picture as opened after one Undo.
    const std::vector<std::uint8_t> turned = ppmPixels(work_.file("turned.ppm"), width, height);
    ASSERT_EQ(cli({"render", sample, work_.file("left.bmp"), "--heading", "-30", "--pitch", "0", "--size",
                   "320x240"}),
              "");
    EXPECT_EQ(differingOutsideCorners(turned, width, height, RawImage(work_.file("left.bmp").c_str())), 0);
    const std::vector<std::uint8_t> undone = ppmPixels(work_.file("undone.ppm"), width, height);
    EXPECT_EQ(differingOutsideCorners(undone, width, height, RawImage(picture.c_str())), 0);

    editor->signal(SIGTERM);
    editor->waitFor(10s);
}

}  // namespace
