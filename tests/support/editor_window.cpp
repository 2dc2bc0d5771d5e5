#include "support/editor_window.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "image/bmp.h"
#include "panorama/geometry.h"
#include "view/render_view.h"

using namespace std::chrono_literals;

namespace {
// Face i: a gradient in a colour of its own with a grid, so that every view differs.
std::uint8_t faceByte(int face, int x, int y, int channel) {
    const int grid = (x % 32 == 0 || y % 32 == 0) ? 80 : 0;
    const int values[3] = {(x + 40 * face) & 255, (y + 70 * face) & 255, (face * 40 + grid) & 255};
    return static_cast<std::uint8_t>(values[channel]);
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
}  // namespace

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

std::unique_ptr<PaintedSixImage> expectedPanorama(const TempDir& folder) {
    auto panorama = std::make_unique<PaintedSixImage>(Size{256, 256}, Size{256, 256});
    for (int i = 0; i < faceCount; ++i) {
        const RawImage picture(folder.file("face" + std::to_string(i) + ".bmp").c_str());
        panorama->faces[i]->copyScaled(picture, {0, 0}, picture.size(), {0, 0}, picture.size());
    }
    return panorama;
}

void EditorWindow::SetUp() {
    ASSERT_TRUE(server_.ok()) << "Xvfb did not start";
    writeFaces(faces_);
    // The editor reads DefaultFile; naming a file that does not exist keeps it quiet.
    std::filesystem::create_directories(config_.path() / "domecast");
    std::ofstream(config_.file("domecast/domecast.conf")) << "[Domecast]\nDefaultFile=" << config_.file("none.bmp") << "\n";
    linkName_ = "DomecastWindowTest" + std::to_string(::getpid());
    // What an editor keeps for recovery when a test ends it stays with the test, for every
    // editor started, by the test or by a plug-in.
    ::setenv("XDG_STATE_HOME", config_.file("state").c_str(), 1);
}

std::unique_ptr<TestProcess> EditorWindow::start(const std::string& output, const std::string& file) {
    return start(output, file.empty() ? std::vector<std::string>{} : std::vector<std::string>{file});
}

std::unique_ptr<TestProcess> EditorWindow::start(const std::string& output, const std::vector<std::string>& more) {
    std::vector<std::string> arguments{"DOMECAST_MESSAGES=stderr", "DOMECAST_TEST_FACES=" + faces_.path().string(),
                                       "DOMECAST_TEST_SNAPSHOT=" + snapshotPath()};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return std::make_unique<TestProcess>(
        domecastPath(), arguments,
        std::map<std::string, std::string>{{"DISPLAY", server_.display()},
                                           {"XDG_CONFIG_HOME", config_.path().string()},
                                           {"DOMECAST_DEFAULTS", "none"},
                                           {"DOMECAST_LINK_NAME", linkName_},
                                           {"GDK_BACKEND", "x11"}},
        config_.file(output));
}

std::string EditorWindow::xdotool(const std::string& arguments) {
    return runCommand("env DISPLAY=" + server_.display() + " xdotool " + arguments).value_or("");
}

void EditorWindow::presetSettings(const std::string& lines) {
    std::ofstream(config_.file("domecast/domecast.conf"), std::ios::app) << lines;
}

std::string EditorWindow::focusDialog(const std::string& name) {
    std::string id;
    waitUntil(std::chrono::seconds(20), [&] {
        id = xdotool("search --onlyvisible --name '^" + name + "$'");
        id = id.substr(0, id.find('\n'));
        return !id.empty();
    });
    if (!id.empty()) xdotool("windowfocus --sync " + id);
    return id;
}

bool EditorWindow::visible(const std::string& id) {
    return xdotool("search --onlyvisible --name .").find(id) != std::string::npos;
}

bool EditorWindow::gone(const std::string& id, std::chrono::milliseconds timeout) {
    return waitUntil(timeout, [&] { return !visible(id); });
}

void EditorWindow::saveAs(const std::string& path) {
    const std::string dialog = focusDialog("Save As");
    ASSERT_FALSE(dialog.empty()) << readText(config_.file("editor.txt"));
    xdotool("key alt+n ctrl+a");  // the "Name:" field, wherever the focus was
    xdotool("type --delay 20 '" + path + "'");
    // The file chooser checks a typed path before its Save button takes it.
    bool closed = false;
    for (int attempt = 0; attempt < 5 && !closed; ++attempt) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        xdotool("key Return");
        closed = gone(dialog, std::chrono::seconds(5));
    }
    ASSERT_TRUE(closed);
}

std::string EditorWindow::findWindow() {
    std::string id;
    waitUntil(30s, [&] {
        id = xdotool("search --onlyvisible --name ' - Domecast$'");
        id = id.substr(0, id.find('\n'));
        return !id.empty();
    });
    return id;
}

std::string EditorWindow::waitForTitle(const std::string& window, const std::string& wanted) {
    std::string title;
    waitUntil(10s, [&] {
        title = xdotool("getwindowname " + window);
        return title.find(wanted) != std::string::npos;
    });
    return title;
}

std::string EditorWindow::mismatch(const RawImage& shot, const PaintedSixImage& panorama, float headingDegrees,
                                  float pitchDegrees) {
    RawImage expected(shot.size());
    renderViewToImage(panorama, nominalCamera(panorama, headingDegrees * degToRad, pitchDegrees * degToRad, shot.size()),
                      expected);
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

std::optional<Size> EditorWindow::viewShown(const PaintedSixImage& panorama, float headingDegrees, float pitchDegrees) {
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
