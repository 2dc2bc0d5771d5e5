// The GIMP plug-ins against the real editor: its window on a private X server, a sample
// panorama open, GIMP in batch mode painting, sending and turning through the link.

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/domecast_link.h"
#include "panorama/geometry.h"
#include "support/editor_window.h"
#include "support/link_environment.h"
#include "support/programs.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const char* const faceNames[] = {"FR", "BK", "LF", "RT", "UP", "DN"};

// Pixels of a binary PPM (P6, maxval 255, no comments as GIMP writes them after its one
// comment line), top row first; empty when unreadable.
std::vector<std::uint8_t> ppmPixels(const std::string& path, int& width, int& height) {
    std::ifstream in(path, std::ios::binary);
    std::string magic, line;
    std::getline(in, magic);
    while (in.peek() == '#') std::getline(in, line);
    int maxValue = 0;
    in >> width >> height >> maxValue;
    in.get();
    if (!in || magic != "P6" || maxValue != 255 || width <= 0 || height <= 0 || width > 4096 || height > 4096) return {};
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    return in ? rgb : std::vector<std::uint8_t>{};
}

// gimp-console -i with the given batch commands, then a quit; standard error caught. GIMP's
// start takes seconds, and minutes on a machine shared with busy builds.
class GimpRun {
public:
    GimpRun(const std::string& errPath, std::vector<std::string> batches) : errPath_(errPath) {
        std::vector<std::string> arguments = {DOMECAST_GIMP_CONSOLE, "-i"};
        batches.push_back("(gimp-quit 0)");
        for (const std::string& b : batches) arguments.insert(arguments.end(), {"-b", b});
        pid_ = runChild([&] {
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int null = ::open("/dev/null", O_RDWR);
            if (err < 0 || null < 0 || ::dup2(null, 0) < 0 || ::dup2(null, 1) < 0 || ::dup2(err, 2) < 0) return 120;
            std::vector<char*> argv;
            for (std::string& a : arguments) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::alarm(300);
            ::execv(argv[0], argv.data());
            return 121;
        });
    }
    int exitCode() { return exit_ < 0 ? exit_ = exitCodeOf(pid_) : exit_; }
    std::string err() const { return readText(errPath_); }

private:
    std::string errPath_;
    pid_t pid_;
    int exit_ = -1;
};

class GimpEditorTest : public EditorWindow {
protected:
    void SetUp() override {
        EditorWindow::SetUp();
        if (HasFatalFailure()) return;
        // Turn Left turns by the settings' step.
        std::ofstream(config_.file("Quorla/Domecast.reg"), std::ios::app) << "\"shiftAmount\"=dword:0000001e\n";
        for (const char* face : faceNames) {
            const std::string name = std::string("sample_") + face + ".png";
            fs::copy_file(fs::path(DOMECAST_SAMPLE_DIR) / name, work_.file(name));
            fs::copy_file(fs::path(DOMECAST_SAMPLE_DIR) / name, original_.file(name));
        }
        ::setenv("DOMECAST_LINK_NAME", linkName_.c_str(), 1);
        ::setenv("GIMP2_DIRECTORY", work_.file("profile").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", work_.file("cache").c_str(), 1);
        // GIMP makes the whole profile only when its folder does not exist yet.
        GimpRun first(work_.file("first.err"), {});
        ASSERT_EQ(first.exitCode(), 0) << first.err();
        const fs::path plugins = work_.file("profile/plug-ins");
        ASSERT_TRUE(fs::is_directory(plugins));
        for (const char* name : {"DomecastActivate", "DomecastLeft"}) {
            fs::copy_file(fs::path(DOMECAST_GIMP_PLUGIN_DIR) / name, plugins / name);
            fs::permissions(plugins / name, fs::perms::owner_all);
        }
    }

    // domecast-cli with arguments; its standard error when it failed.
    std::string cli(std::vector<std::string> arguments) {
        ProgramRun run(programPath("domecast-cli"), std::move(arguments));
        return run.exitCode() == 0 ? std::string() : "domecast-cli failed: " + run.err();
    }

    TempDir work_, original_;
};

// A picture rendered as the editor hands it out, a rectangle filled in GIMP, sent; then
// Turn Left brings the view 30 degrees to the left into GIMP. The rectangle lies at the
// right edge, outside the turned view, so that view is the untouched sample's.
TEST_F(GimpEditorTest, SendsPaintAndTurnsLeft) {
    const std::string sample = work_.file("sample_FR.png"),
                      turned = work_.file("turned.ppm"), picture = work_.file("picture.bmp");
    ASSERT_EQ(cli({"render", original_.file("sample_FR.png"), picture, "--heading", "0", "--pitch", "0", "--size",
                   "320x240"}),
              "");
    const auto editor = start("editor.out", sample);
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.out"));
    EXPECT_NE(waitForTitle(window, "h=0").find("h=0"), std::string::npos);

    GimpRun gimp(work_.file("gimp.err"),
                    {"(let* ((image (car (gimp-file-load RUN-NONINTERACTIVE \"" + picture + "\" \"picture.bmp\")))"
                     " (drawable (car (gimp-image-get-active-drawable image))))"
                     " (gimp-image-select-rectangle image CHANNEL-OP-REPLACE 280 100 30 40)"
                     " (gimp-context-set-foreground '(255 0 255)) (gimp-drawable-edit-fill drawable FILL-FOREGROUND)"
                     " (gimp-selection-none image)"
                     " (plug-in-domecast-send RUN-NONINTERACTIVE image drawable)"
                     " (plug-in-domecast-turn-left RUN-NONINTERACTIVE image drawable)"
                     " (file-ppm-save RUN-NONINTERACTIVE image (car (gimp-image-get-active-drawable image)) \"" +
                         turned + "\" \"turned.ppm\" 1))"});
    ASSERT_EQ(gimp.exitCode(), 0) << gimp.err() << readText(config_.file("editor.out"));
    const std::string errors = gimp.err();
    EXPECT_EQ(errors.find("execution error"), std::string::npos) << errors;
    // The paint was taken (the panorama is modified) and the view turned left.
    EXPECT_NE(waitForTitle(window, "*  [h=330").find("*  [h=330"), std::string::npos)
        << readText(config_.file("editor.out"));

    // GIMP's picture is the view 30 degrees to the left, its corners marked with the
    // editor's angles of that view.
    ASSERT_EQ(cli({"render", original_.file("sample_FR.png"), work_.file("left.bmp"), "--heading", "-30", "--pitch",
                   "0", "--size", "320x240"}),
              "");
    int width = 0, height = 0;
    const std::vector<std::uint8_t> got = ppmPixels(turned, width, height);
    ASSERT_EQ(width, 320) << errors;
    ASSERT_EQ(height, 240);
    const RawImage left(work_.file("left.bmp").c_str());
    long differing = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if ((x == 0 || x == width - 1) && (y == 0 || y == height - 1)) continue;
            const std::uint8_t* g = &got[(static_cast<std::size_t>(y) * width + x) * 3];
            const std::uint8_t* e = left.row(height - 1 - y) + 3 * x;  // bottom row first; blue, green, red
            differing += g[0] != e[2] || g[1] != e[1] || g[2] != e[0];
        }
    EXPECT_EQ(differing, 0);
    const std::uint32_t marker = domecast_view_marker(static_cast<float>(30) * degToRad, 0);
    const std::uint8_t* corner = &got[0];
    EXPECT_EQ(corner[0] | corner[1] << 8 | corner[2] << 16, static_cast<int>(marker & 0xffffff));

    editor->signal(SIGTERM);
    editor->waitFor(10s);
}

}  // namespace
