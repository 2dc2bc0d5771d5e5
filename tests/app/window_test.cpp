// The editor's window on a private X server: title, keys, the live view, one instance.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "panorama/geometry.h"
#include "support/temp_dir.h"
#include "support/x_session.h"
#include "view/painted_six_image.h"

using namespace std::chrono_literals;

namespace {
std::string domecastPath() {
    const char* dir = std::getenv("DOMECAST_BIN_DIR");
    return std::string(dir != nullptr ? dir : DOMECAST_BIN_DIR) + "/domecast";
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Face i: a gradient in a colour of its own with a grid, so that every view differs.
std::uint8_t faceByte(int face, int x, int y, int channel) {
    const int grid = (x % 32 == 0 || y % 32 == 0) ? 80 : 0;
    const int values[3] = {(x + 40 * face) & 255, (y + 70 * face) & 255, (face * 40 + grid) & 255};
    return static_cast<std::uint8_t>(values[channel]);
}

void writeFaces(const TempDir& folder) {
    RawImage face({256, 256});
    for (int i = 0; i < faceCount; ++i) {
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                for (int c = 0; c < 3; ++c) face.row(y)[3 * x + c] = faceByte(i, x, y, c);
        const std::string path = folder.file("face" + std::to_string(i) + ".bmp");
        SaveBMP(path.c_str(), face.size(), face.stride, 3, face.pixels);
    }
}

// The panorama the editor shows, built here from the same pictures.
std::unique_ptr<PaintedSixImage> expectedPanorama(const TempDir& folder) {
    auto panorama = std::make_unique<PaintedSixImage>(Size{256, 256}, Size{256, 256});
    for (int i = 0; i < faceCount; ++i) {
        const RawImage picture(folder.file("face" + std::to_string(i) + ".bmp").c_str());
        panorama->faces[i]->copyScaled(picture, {0, 0}, picture.size(), {0, 0}, picture.size());
    }
    return panorama;
}

// The number of pixels in which two pictures of the same size differ, leaving out the
// bottom and right bands where the indicator's ticks are drawn over the view.
long differingPixels(const BGRImage& a, const BGRImage& b) {
    constexpr int tickBand = 14;
    long count = 0;
    for (int y = tickBand; y < a.height; ++y)
        for (int x = 0; x < a.width - tickBand; ++x)
            count += a.row(y)[3 * x] != b.row(y)[3 * x] || a.row(y)[3 * x + 1] != b.row(y)[3 * x + 1] ||
                     a.row(y)[3 * x + 2] != b.row(y)[3 * x + 2];
    return count;
}

bool pixelIs(const BGRImage& image, int x, int y, int level) {
    const std::uint8_t* p = image.row(y) + 3 * x;
    return p[0] == level && p[1] == level && p[2] == level;
}

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.ok()) << "Xvfb did not start";
        writeFaces(faces_);
        // The editor reads DefaultFile; naming a file that does not exist keeps it quiet.
        std::filesystem::create_directories(config_.path() / "Quorla");
        std::ofstream(config_.file("Quorla/Domecast.reg")) << "\"DefaultFile\"=\"" << config_.file("none.bmp") << "\"\n";
        linkName_ = "DomecastWindowTest" + std::to_string(::getpid());
    }

    std::unique_ptr<TestProcess> start(const std::string& output, const std::string& file = {}) {
        std::vector<std::string> arguments{"DOMECAST_MESSAGES=stderr", "DOMECAST_TEST_FACES=" + faces_.path().string(),
                                           "DOMECAST_TEST_SNAPSHOT=" + snapshotPath()};
        if (!file.empty()) arguments.push_back(file);
        return std::make_unique<TestProcess>(
            domecastPath(), arguments,
            std::map<std::string, std::string>{{"DISPLAY", server_.display()},
                                               {"XDG_CONFIG_HOME", config_.path().string()},
                                               {"DOMECAST_LINK_NAME", linkName_},
                                               {"GDK_BACKEND", "x11"}},
            config_.file(output));
    }

    std::string xdotool(const std::string& arguments) {
        return runCommand("env DISPLAY=" + server_.display() + " xdotool " + arguments).value_or("");
    }

    // The editor's main window, once it is on the screen.
    std::string findWindow() {
        std::string id;
        waitUntil(30s, [&] {
            id = xdotool("search --onlyvisible --name ' - Domecast$'");
            id = id.substr(0, id.find('\n'));
            return !id.empty();
        });
        return id;
    }

    std::string waitForTitle(const std::string& window, const std::string& wanted) {
        std::string title;
        waitUntil(10s, [&] {
            title = xdotool("getwindowname " + window);
            return title.find(wanted) != std::string::npos;
        });
        return title;
    }

    std::string snapshotPath() const { return config_.file("view.bmp"); }

    // What a snapshot lacks to show the view at heading and pitch (degrees) with its
    // indicator ticks; empty when it shows exactly that.
    static std::string mismatch(const RawImage& shot, const PaintedSixImage& panorama, float headingDegrees,
                                float pitchDegrees) {
        RawImage expected(shot.size());
        panorama.renderViewToImage(headingDegrees * degToRad, pitchDegrees * degToRad,
                                   panorama.calculateNominalFOV(shot.size()), expected);
        if (const long count = differingPixels(shot, expected); count != 0)
            return std::to_string(count) + " pixels differ from the rendered view";
        // The ticks: white inside, black rim, at the shown heading along the bottom edge and
        // at the pitch up the right edge.
        const float h = -headingDegrees / 180.0f, v = pitchDegrees / 90.0f;
        const int a = static_cast<int>((shot.width - 13) * (h + 1) * 0.5f + 6.5f);
        const int b = static_cast<int>((shot.height - 13) * (v + 1) * 0.5f + 6.5f);
        if (!pixelIs(shot, a, 5, 255) || !pixelIs(shot, a, 12, 0)) return "no heading tick at " + std::to_string(a);
        if (!pixelIs(shot, shot.width - 6, b, 255) || !pixelIs(shot, shot.width - 13, b, 0))
            return "no pitch tick at " + std::to_string(b);
        return {};
    }

    // Waits for a drawn view that shows the panorama at heading and pitch; its size, or
    // nothing (with the reason the last one did not) when none came. Every snapshot is
    // removed once read, so earlier frames still arriving are passed over.
    std::optional<Size> viewShown(const PaintedSixImage& panorama, float headingDegrees, float pitchDegrees) {
        std::string reason = "no view drawn";
        std::optional<Size> shown;
        waitUntil(20s, [&] {
            if (!std::filesystem::exists(snapshotPath())) return false;
            const RawImage shot(snapshotPath().c_str());
            std::filesystem::remove(snapshotPath());
            reason = mismatch(shot, panorama, headingDegrees, pitchDegrees);
            if (reason.empty()) shown = shot.size();
            return shown.has_value();
        });
        EXPECT_TRUE(shown) << "view at h " << headingDegrees << " v " << pitchDegrees << ": " << reason;
        return shown;
    }

    XServer server_;
    TempDir faces_, config_;
    std::string linkName_;
};
}  // namespace

TEST_F(EditorWindow, KeysTurnTheViewAndTheTitleAndTheViewAreaShowTheRenderedView) {
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    EXPECT_EQ(xdotool("getwindowname " + window), "Untitled [h=0\u00b0 v=0\u00b0] - Domecast");

    const std::unique_ptr<PaintedSixImage> panorama = expectedPanorama(faces_);
    // The window was sized for the nominal size of a 90 x 75 degree view of 256-pixel faces.
    EXPECT_EQ(viewShown(*panorama, 0, 0), std::optional<Size>(Size{256, 196}));

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

TEST_F(EditorWindow, ASecondInstanceIsRefusedAndTheFirstReleasesTheLinkAtExit) {
    auto first = start("first.txt");
    ASSERT_FALSE(findWindow().empty()) << readText(config_.file("first.txt"));

    auto second = start("second.txt");
    EXPECT_EQ(second->waitFor(30s), std::optional<int>(1));
    EXPECT_NE(readText(config_.file("second.txt")).find("Domecast is already running."), std::string::npos)
        << readText(config_.file("second.txt"));

    first->signal(SIGTERM);
    ASSERT_EQ(first->waitFor(20s), std::optional<int>(0)) << readText(config_.file("first.txt"));
    const std::string record = "/dev/shm/" + linkName_ + "." + std::to_string(::getuid());
    EXPECT_FALSE(std::filesystem::exists(record));

    // With the first one gone, a new editor starts.
    auto third = start("third.txt");
    EXPECT_FALSE(findWindow().empty()) << readText(config_.file("third.txt"));
    third->signal(SIGTERM);
    EXPECT_EQ(third->waitFor(20s), std::optional<int>(0));
}

TEST_F(EditorWindow, APanoramaFileThatCannotBeReadIsReportedAndTheEditorStartsWithoutIt) {
    auto editor = start("editor.txt", config_.file("missing pano_FR.bmp"));
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    EXPECT_EQ(xdotool("getwindowname " + window), "Untitled [h=0\u00b0 v=0\u00b0] - Domecast");
    EXPECT_FALSE(readText(config_.file("editor.txt")).empty());
    viewShown(*expectedPanorama(faces_), 0, 0);
    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0));
}

TEST_F(EditorWindow, AResizedWindowShowsTheNominalViewOfItsNewViewArea) {
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    const std::unique_ptr<PaintedSixImage> panorama = expectedPanorama(faces_);
    ASSERT_TRUE(viewShown(*panorama, 0, 0));
    xdotool("windowsize " + window + " 411 333");
    // Once the size has settled, the view fills the new view area, the menu bar taking
    // the rest of the height.
    std::optional<Size> shown;
    waitUntil(20s, [&] {
        shown = viewShown(*panorama, 0, 0);
        return shown && shown->width == 411;
    });
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->width, 411);
    EXPECT_LT(shown->height, 333);

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0));
}

TEST_F(EditorWindow, RunTimeDebuggingNamesTheGraphicsLibraryAtTheNextDraw) {
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    const auto printed = [&](const std::string& text) {
        return waitUntil(10s, [&] { return readText(config_.file("editor.txt")).find(text) != std::string::npos; });
    };
    ASSERT_TRUE(waitUntil(20s, [&] { return std::filesystem::exists(snapshotPath()); }));
    // Frames drawn without debugging name nothing.
    EXPECT_EQ(readText(config_.file("editor.txt")).find("Window: "), std::string::npos);
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+shift+d");
    EXPECT_TRUE(printed("Run-time debugging ON"));
    xdotool("key Right");
    EXPECT_TRUE(printed("Window: "));
    xdotool("key ctrl+shift+d");
    EXPECT_TRUE(printed("Run-time debugging OFF"));

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0));
}
