#pragma once
// The round trip's test fixture without a display: the shell with a scripted window
// around it, driven by the sources a window's event loop waits on, and a plug-in in a
// child process.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/tile_transfer.h"
#include "panorama/geometry.h"
#include "platform/file_time.h"
#include "platform/settings.h"
#include "shell/commands.h"
#include "shell/shell.h"
#include "support/face_pixels.h"
#include "support/link_environment.h"
#include "support/message_recorder.h"
#include "support/programs.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"
#include "view/render_view.h"
#include "view/view_file.h"

namespace roundtrip {

namespace fs = std::filesystem;

constexpr Size viewSize{200, 150};

// The window around the round trip: scripted dialogs, recorded window states.
struct ScriptedHost : PaintHost {
    Size viewAreaSize() override { return viewSize; }
    bool chooseViewSize(Size faceSize, Size suggested, float, Size& chosen) override {
        askedFaceSize = faceSize;
        chosen = suggested;
        return chooseAnswer;
    }
    std::unique_ptr<PaintedSixImage> newPanorama() override {
        ++newPanoramaAsked;
        return newPanoramaSide > 0 ? std::make_unique<PaintedSixImage>(Size{newPanoramaSide, newPanoramaSide},
                                                                      Size{newPanoramaSide, newPanoramaSide})
                                   : nullptr;
    }
    DocumentQuestions& questions() override { return scripted; }
    void sizeForView(Size size) override { sizedFor.push_back(size); }
    void setWindowState(WindowState state) override { states.push_back(state); }
    void choosePaintProgram() override { ++paintProgramChosen; }

    ScriptedQuestions scripted;
    bool chooseAnswer = true;
    Size askedFaceSize;
    int newPanoramaSide = 0;
    int newPanoramaAsked = 0;
    int paintProgramChosen = 0;
    std::vector<Size> sizedFor;
    std::vector<WindowState> states;
};

// Face pixels close to the given colour, over all six faces.
inline int pixelsOf(const PaintedSixImage& panorama, int red, int green, int blue) {
    int count = 0;
    for (const auto& face : panorama.faces)
        for (int y = 0; y < face->height; ++y) {
            const std::uint8_t* p = face->row(y);
            for (int x = 0; x < face->width; ++x, p += 3)
                if (std::abs(p[2] - red) < 40 && std::abs(p[1] - green) < 40 && std::abs(p[0] - blue) < 40) ++count;
        }
    return count;
}

class PaintRoundTripTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TMP", dir.path().c_str(), 1);
        ::unsetenv("TMPDIR");
        writeStringSetting("PaintApp", SCRIPTED_PAINT);
        writeStringSetting("DefaultFile", dir.file("none_FR.bmp"));
        shell.startWith(host.scripted, {});
        ASSERT_EQ(shell.openLink(), nullptr);
        shell.setPaintHost(&host);
    }
    void TearDown() override {
        ::unsetenv("TMP");
        ::unsetenv("SCRIPTED_PAINT");
    }

    // The window's event loop: waits on the shell's sources (at most 100 ms at a time)
    // and runs a step, until done or the time is up.
    bool runLoopUntil(const std::function<bool()>& done, int milliseconds = 8000) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > until) return false;
            pollfd fds[3];
            nfds_t count = 0;
            if (shell.watchDescriptor() >= 0) fds[count++] = pollfd{shell.watchDescriptor(), POLLIN, 0};
            if (shell.bellDescriptor() >= 0) fds[count++] = pollfd{shell.bellDescriptor(), POLLIN, 0};
            if (shell.peerDescriptor() >= 0) fds[count++] = pollfd{shell.peerDescriptor(), POLLIN, 0};
            ::poll(fds, count, 100);
            shell.loopSourceReady();
        }
        return true;
    }

    LinkEnvironment environment;
    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    MessageRecorder messages;
    ScriptedHost host;
    Shell shell;
};

// The plug-in's side, in a child process: the picture it receives, painted and sent back.
struct Plugin {
    std::unique_ptr<PaintLink> link;
    LinkPicture view;

    // paintProgram: the process recorded as the peer; 0 records the plug-in's own.
    bool open(std::uint32_t paintProgram = 0) { return PaintLink::openAsPlugin(link, paintProgram) == nullptr; }
    // Receives one view; the number of tiles, or -1.
    int receive(float* heading = nullptr, float* pitch = nullptr) {
        int tiles = 0;
        TileReceiver receiver(*link, [&](const ReceivedTile&) { ++tiles; }, true);
        if (receiver.run() != TransferStatus::done) return -1;
        view = receiver.picture();
        if (heading != nullptr) *heading = receiver.heading();
        if (pitch != nullptr) *pitch = receiver.pitch();
        return tiles;
    }
    // Fills a square of the received view with one colour.
    void paint(int left, int top, int side, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        for (int y = top; y < top + side; ++y)
            for (int x = left; x < left + side; ++x) {
                std::uint8_t* p = view.rgb.data() + (static_cast<std::size_t>(y) * view.width + x) * 3;
                p[0] = red;
                p[1] = green;
                p[2] = blue;
            }
    }
    bool send(PluginCommand command, bool withPicture = true) {
        command.width = withPicture ? view.width : command.width;
        command.height = withPicture ? view.height : command.height;
        TileSender sender(*link, command,
                          withPicture ? pictureSource(view.rgb.data(), static_cast<std::size_t>(view.width) * 3, 3)
                                      : TileSource{});
        return sender.run() == TransferStatus::done;
    }
};

class LinkRoundTripTest : public PaintRoundTripTest {
protected:
    // Runs body as the plug-in in a child process once its link is open.
    void startPlugin(const std::function<int(Plugin&)>& body, std::uint32_t paintProgram = 0) {
        Beacon open;
        child = runChild([&] {
            Plugin plugin;
            if (!plugin.open(paintProgram)) return 100;
            open.send();
            return body(plugin);
        });
        ASSERT_TRUE(open.await());
    }
    // Drives the loop until the plug-in's process has ended, and settleMilliseconds more;
    // its exit code.
    int finishPlugin(int settleMilliseconds = 200) {
        int status = 0;
        bool ended = runLoopUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; });
        // The end of the plug-in's process is the loop's to see as well.
        runLoopUntil([] { return false; }, settleMilliseconds);
        if (!ended) {
            ::kill(child, SIGKILL);
            exitCodeOf(child);
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    void paintThisViewOverTheLink(Size size) {
        shell.link()->setImageSize(size.width, size.height);
        shell.paintThisView();
    }

    pid_t child = -1;
};

}  // namespace roundtrip
