// "Paint this view" and the loop that drives the round trip, without a display: the file
// transport with a scripted paint program, the link transport with a plug-in in another
// process.
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
#include "shell/shell.h"
#include "support/link_environment.h"
#include "support/message_recorder.h"
#include "support/programs.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr Size viewSize{200, 150};

// The window around the round trip: scripted dialogs, recorded window states.
struct ScriptedHost : PaintHost {
    Size viewAreaSize() override { return viewSize; }
    bool chooseViewSize(Size faceSize, Size suggested, Size& chosen) override {
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
int pixelsOf(const PaintedSixImage& panorama, int red, int green, int blue) {
    int count = 0;
    for (const auto& face : panorama.faces)
        for (int y = 0; y < face->height; ++y) {
            const std::uint8_t* p = face->row(y);
            for (int x = 0; x < face->width; ++x, p += 3)
                if (std::abs(p[2] - red) < 40 && std::abs(p[1] - green) < 40 && std::abs(p[0] - blue) < 40) ++count;
        }
    return count;
}

// Every face's pixels, row by row.
std::vector<std::vector<std::uint8_t>> faceBytes(const PaintedSixImage& panorama) {
    std::vector<std::vector<std::uint8_t>> bytes;
    for (const auto& face : panorama.faces) {
        std::vector<std::uint8_t>& rows = bytes.emplace_back();
        for (int y = 0; y < face->height; ++y) rows.insert(rows.end(), face->row(y), face->row(y) + face->width * 3);
    }
    return bytes;
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

TEST_F(PaintRoundTripTest, FileTransportAppliesWhatThePaintProgramSaved) {
    struct Case {
        const char* mode;
        std::vector<WindowState> statesAfterLaunch;
        bool tracked;
        bool painted;
    } cases[] = {
        {"save", {WindowState::hidden}, true, true},
        {"nosave", {WindowState::hidden}, true, false},
        {"handoff", {WindowState::minimised}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        ::setenv("SCRIPTED_PAINT", c.mode, 1);
        host.states.clear();
        const int redBefore = pixelsOf(*shell.panorama(), 255, 0, 0);
        shell.panorama()->modified = 0;

        shell.paintThisView();
        EXPECT_EQ(host.askedFaceSize, (Size{256, 256}));
        EXPECT_EQ(host.states, c.statesAfterLaunch);
        ASSERT_FALSE(shell.tempViewPath().empty());
        EXPECT_EQ(fs::path(shell.tempViewPath()).parent_path(), fs::path(dir.path()));
        EXPECT_EQ(fs::path(shell.tempViewPath()).filename().string().rfind("T_DC", 0), 0u);
        EXPECT_EQ(fs::path(shell.tempViewPath()).extension(), ".bmp");
        EXPECT_EQ(shell.tempViewTime(), modificationTime(shell.tempViewPath().c_str()));
        EXPECT_EQ(shell.link()->record().pluginProcessId != 0, c.tracked);
        EXPECT_EQ(shell.link()->record().imageWidth, viewSize.width);

        if (c.tracked) {
            ASSERT_TRUE(runLoopUntil([&] { return host.states.size() == 2; }));
            EXPECT_EQ(host.states.back(), WindowState::shown);
            EXPECT_EQ(shell.link()->record().pluginProcessId, 0u);
            EXPECT_EQ(shell.link()->record().command, 0);
            EXPECT_EQ(shell.panorama()->fovX, 0);
        } else {
            // Nothing is tracked: no step shows the window.
            runLoopUntil([] { return false; }, 300);
            EXPECT_EQ(host.states.size(), 1u);
        }
        EXPECT_EQ(pixelsOf(*shell.panorama(), 255, 0, 0) > redBefore, c.painted);
        EXPECT_EQ(shell.panorama()->modified, c.painted ? 1 : 0);
    }
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(PaintRoundTripTest, EachPaintThisViewReplacesTheTemporaryFileAndTheExitSequenceRemovesIt) {
    ::setenv("SCRIPTED_PAINT", "handoff", 1);
    shell.paintThisView();
    const std::string first = shell.tempViewPath();
    shell.paintThisView();
    const std::string second = shell.tempViewPath();
    EXPECT_NE(first, second);
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::exists(second));
    EXPECT_TRUE(shell.exitSequence(host.scripted));
    EXPECT_FALSE(fs::exists(second));
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(PaintRoundTripTest, ChooseSizeCancelledLeavesEverythingAsItWas) {
    host.chooseAnswer = false;
    shell.paintThisView();
    EXPECT_TRUE(shell.tempViewPath().empty());
    EXPECT_TRUE(host.states.empty());
    EXPECT_EQ(shell.panorama()->viewWidth, 0);
}

TEST_F(PaintRoundTripTest, APaintProgramThatCannotRunIsReportedAndTheWindowStays) {
    const std::string notExecutable = dir.file("paint.txt");
    std::ofstream(notExecutable) << "not a program";
    struct Case {
        const char* name;
        std::function<void()> setUp;
        std::string messageStart;
        int choosePaintProgram;
    } cases[] = {
        {"missing setting", [] { deleteUserSetting("PaintApp"); }, "", 1},
        {"not executable", [&] { writeStringSetting("PaintApp", notExecutable); },
         "Error starting paint program: \"" + notExecutable + "\" ", 0},
        {"not in PATH", [] { writeStringSetting("PaintApp", "no-such-paint-program"); },
         "Error starting paint program: \"no-such-paint-program\" ", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.setUp();
        MessageRecorder recorder;
        host.paintProgramChosen = 0;
        shell.paintThisView();
        EXPECT_TRUE(host.states.empty());
        EXPECT_EQ(host.paintProgramChosen, c.choosePaintProgram);
        ASSERT_EQ(recorder.texts().size(), 1u);
        EXPECT_EQ(recorder.texts()[0].rfind(c.messageStart, 0), 0u) << recorder.texts()[0];
        if (!c.messageStart.empty()) {
            EXPECT_NE(recorder.texts()[0].find(shell.tempViewPath()), std::string::npos);
        }
        EXPECT_EQ(shell.link()->record().pluginProcessId, 0u);
    }
}

TEST_F(PaintRoundTripTest, AMissingTmpFolderFallsBackToTheNextOne) {
    ::setenv("TMP", dir.file("no such folder").c_str(), 1);
    ::setenv("TMPDIR", dir.path().c_str(), 1);
    ::setenv("SCRIPTED_PAINT", "handoff", 1);
    shell.paintThisView();
    ::unsetenv("TMPDIR");
    ASSERT_FALSE(shell.tempViewPath().empty());
    EXPECT_EQ(fs::path(shell.tempViewPath()).parent_path(), fs::path(dir.path()));
}

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
    // Drives the loop until the plug-in's process has ended; its exit code.
    int finishPlugin() {
        int status = 0;
        bool ended = runLoopUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; });
        // The end of the plug-in's process is the loop's to see as well.
        runLoopUntil([] { return false; }, 200);
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

TEST_F(LinkRoundTripTest, PaintThisViewStreamsTheViewInTilesWithTheAnglesOnTheLast) {
    shell.setView(30 * degToRad, -20 * degToRad);
    startPlugin([](Plugin& plugin) {
        float heading = 0, pitch = 0;
        const int tiles = plugin.receive(&heading, &pitch);
        if (std::abs(heading - 30 * degToRad) > 1e-6f || std::abs(pitch + 20 * degToRad) > 1e-6f) return 200;
        return tiles;
    });
    paintThisViewOverTheLink({600, 300});
    EXPECT_EQ(shell.sendingView(), 1);
    EXPECT_EQ(host.states, std::vector<WindowState>{WindowState::hidden});
    EXPECT_TRUE(shell.tempViewPath().empty());
    EXPECT_EQ(finishPlugin(), 3 * 2);
    EXPECT_EQ(shell.sendingView(), 0);
    // The plug-in closed its end before it ended: not a lost peer, so the window stays
    // hidden for the paint program.
    EXPECT_EQ(host.states, std::vector<WindowState>{WindowState::hidden});
    EXPECT_EQ(shell.link()->record().command, 0);
    EXPECT_LT(shell.peerDescriptor(), 0);
}

TEST_F(LinkRoundTripTest, APaintProgramThatQuitsAfterItsPluginClosedBringsTheWindowBack) {
    // The plug-in names its paint program as the peer, takes the view, closes its end and
    // ends, as GIMP's plug-ins do; the record is then the same as after a plug-in that was
    // its own peer, but the paint program quitting later must not leave the window hidden.
    const pid_t paintProgram = runChild([] {
        ::pause();
        return 0;
    });
    startPlugin([](Plugin& plugin) { return plugin.receive(); }, static_cast<std::uint32_t>(paintProgram));
    paintThisViewOverTheLink({300, 200});
    EXPECT_EQ(finishPlugin(), 2);
    EXPECT_EQ(host.states, std::vector<WindowState>{WindowState::hidden});
    ::kill(paintProgram, SIGKILL);
    exitCodeOf(paintProgram);
    EXPECT_TRUE(runLoopUntil([&] { return host.states.size() == 2; }));
    EXPECT_EQ(host.states.back(), WindowState::shown);
    EXPECT_EQ(shell.link()->record().command, 0);
}

TEST_F(LinkRoundTripTest, RotateTurnsByTheShiftAmountAndStreamsTheNewView) {
    struct Case {
        const char* name;
        int shiftAmount;  // -1: missing
        float stepX, stepY, startPitch;
        float heading, pitch;  // degrees after the command
    } cases[] = {
        {"30 degrees right", 30, 1, 0, 0, 30, 0},
        {"missing setting", -1, 1, 0, 0, 45, 0},
        {"pitch stops at 90", 30, 0, 1, 80, 0, 90},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.shiftAmount < 0)
            deleteUserSetting("shiftAmount");
        else
            writeNumberSetting("shiftAmount", static_cast<std::uint32_t>(c.shiftAmount));
        shell.setView(0, c.startPitch * degToRad);
        startPlugin([&](Plugin& plugin) {
            if (plugin.receive() < 0) return 101;
            PluginCommand rotate;
            rotate.command = LinkCommand::rotate;
            rotate.stepX = c.stepX;
            rotate.stepY = c.stepY;
            rotate.heading = 0;
            rotate.pitch = c.startPitch * degToRad;
            if (!plugin.send(rotate)) return 102;
            float heading = 0, pitch = 0;
            if (plugin.receive(&heading, &pitch) != 2) return 103;
            return std::abs(heading - c.heading * degToRad) < 1e-5f && std::abs(pitch - c.pitch * degToRad) < 1e-5f ? 0 : 104;
        });
        paintThisViewOverTheLink({300, 200});
        EXPECT_EQ(finishPlugin(), 0);
        EXPECT_FLOAT_EQ(shell.windowHeading(), c.heading * degToRad);
        EXPECT_EQ(shell.windowPitch(), c.pitch * degToRad);
    }
    // The title shows the clamped pitch.
    EXPECT_NE(shell.title().find("v=90\u00b0"), std::string::npos);
}

TEST_F(LinkRoundTripTest, EachTransferOfTheSameViewKeepsItsOwnStrokes) {
    startPlugin([](Plugin& plugin) {
        float heading = 0, pitch = 0;
        if (plugin.receive(&heading, &pitch) < 0) return 101;
        PluginCommand apply;
        apply.command = LinkCommand::applyImage;
        apply.heading = heading;
        apply.pitch = pitch;
        plugin.paint(40, 40, 30, 255, 0, 0);
        if (!plugin.send(apply)) return 102;
        plugin.paint(200, 100, 30, 0, 0, 255);
        apply.command = LinkCommand::applyAndShow;
        return plugin.send(apply) ? 0 : 103;
    });
    const int redBefore = pixelsOf(*shell.panorama(), 255, 0, 0);
    const int blueBefore = pixelsOf(*shell.panorama(), 0, 0, 255);
    paintThisViewOverTheLink({300, 200});
    EXPECT_EQ(finishPlugin(), 0);
    EXPECT_GT(pixelsOf(*shell.panorama(), 255, 0, 0), redBefore);
    EXPECT_GT(pixelsOf(*shell.panorama(), 0, 0, 255), blueBefore);
    EXPECT_EQ(shell.panorama()->modified, 1);
    ASSERT_GE(host.states.size(), 2u);
    EXPECT_EQ(host.states[0], WindowState::hidden);
    EXPECT_EQ(host.states[1], WindowState::shown);
}

TEST_F(LinkRoundTripTest, ABareCommandTurnsTheViewAndProjectsNothing) {
    startPlugin([](Plugin& plugin) {
        PluginCommand show;
        show.command = LinkCommand::applyAndShow;
        show.heading = 90 * degToRad;
        show.pitch = 10 * degToRad;
        show.width = 300;
        show.height = 200;
        return plugin.send(show, false) ? 0 : 101;
    });
    EXPECT_EQ(finishPlugin(), 0);
    EXPECT_FLOAT_EQ(shell.windowHeading(), 90 * degToRad);
    EXPECT_FLOAT_EQ(shell.windowPitch(), 10 * degToRad);
    ASSERT_FALSE(host.states.empty());
    EXPECT_EQ(host.states.front(), WindowState::shown);
    EXPECT_EQ(shell.panorama()->modified, 0);
    EXPECT_EQ(shell.panorama()->viewWidth, 0);
}

TEST_F(LinkRoundTripTest, NewPanoramaCommandsAskToSaveFirstAndApplyTheTilesEitherWay) {
    struct Case {
        const char* name;
        MessageAnswer saveAnswer;
        int expectedFaceSide;
    } cases[] = {
        {"cancelled", MessageAnswer::cancel, 256},
        {"not saved", MessageAnswer::no, 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        shell.panorama()->modified = 1;
        host.scripted.saveChangesAnswers.push_back(c.saveAnswer);
        host.newPanoramaSide = 64;
        startPlugin([](Plugin& plugin) {
            plugin.view.width = 300;
            plugin.view.height = 200;
            plugin.view.rgb.assign(300 * 200 * 3, 0);
            plugin.paint(100, 80, 40, 255, 0, 0);
            PluginCommand create;
            create.command = LinkCommand::newFromDialog;
            return plugin.send(create) ? 0 : 101;
        });
        EXPECT_EQ(finishPlugin(), 0);
        EXPECT_EQ(shell.panorama()->faces[0]->width, c.expectedFaceSide);
        EXPECT_GT(pixelsOf(*shell.panorama(), 0, 0, 0), 0);
        EXPECT_EQ(host.states.back(), WindowState::shown);
    }
}

// A plug-in that stops after the first tile of a picture and stays alive: the loop goes on
// without waiting for it. When it then cancels or dies, the tile taken is dropped: it is
// not projected (nor by a later save), and the same picture sent again is projected whole,
// as if the first try had never been.
TEST_F(LinkRoundTripTest, APlugInThatStallsMidPictureIsNotWaitedForAndItsTilesAreDropped) {
    constexpr Size size{600, 300};
    const std::vector<std::uint8_t> picture = patternWithCorners(size.width, size.height, nullptr);
    const auto sendWhole = [&](Plugin& plugin) {
        PluginCommand command;
        command.width = size.width;
        command.height = size.height;
        TileSender sender(*plugin.link, command, pictureSource(picture.data(), size.width * 3, 3));
        return sender.run() == TransferStatus::done ? 0 : 110;
    };
    PaintedSixImage reference(Size{256, 256}, Size{256, 256});
    const auto before = faceBytes(reference);
    reference.allocateView(size);
    reference.setFOV(reference.calculateNominalFOV(size));
    reference.refreshView(size);
    reference.acceptPaintedRect({0, 0}, size, size, 3, picture.data());
    reference.applyPaint();
    const auto expected = faceBytes(reference);
    ASSERT_NE(expected, before);

    for (const bool kill : {false, true}) {
        SCOPED_TRACE(kill ? "killed" : "cancelled");
        shell.replacePanorama(std::make_unique<PaintedSixImage>(Size{256, 256}, Size{256, 256}));
        host.states.clear();
        const Beacon goOn, sendAgain;
        startPlugin([&](Plugin& plugin) {
            PluginCommand command;
            command.width = size.width;
            command.height = size.height;
            TileSender sender(*plugin.link, command, pictureSource(picture.data(), size.width * 3, 3));
            if (sender.step() != TransferStatus::progressed || !plugin.link->waitToWrite()) return 101;
            if (!goOn.await()) return 102;
            plugin.link->cancel();
            if (!sendAgain.await()) return 103;
            return sendWhole(plugin);
        });
        ASSERT_TRUE(runLoopUntil([&] { return shell.panorama()->modified == 1; }));
        // Steps while the plug-in waits for this test: one that waited for the next tile
        // would never return.
        runLoopUntil([] { return false; }, 300);
        EXPECT_EQ(faceBytes(*shell.panorama()), before);

        if (kill) {
            ::kill(child, SIGKILL);
            EXPECT_EQ(finishPlugin(), 128 + SIGKILL);
            EXPECT_EQ(host.states, std::vector<WindowState>{WindowState::shown});
        } else {
            ASSERT_TRUE(goOn.send());
            ASSERT_TRUE(runLoopUntil([&] { return !host.states.empty(); }));
            // The plug-in's process, which is the paint program here, still runs.
            EXPECT_EQ(host.states, std::vector<WindowState>{WindowState::hidden});
        }
        EXPECT_EQ(shell.link()->record().command, LinkCommand::idle);
        EXPECT_EQ(shell.panorama()->modified, 0);
        EXPECT_EQ(shell.title().find('*'), std::string::npos) << shell.title();
        shell.panorama()->applyPaint();  // what a save does first
        EXPECT_EQ(faceBytes(*shell.panorama()), before);

        // The whole picture again, from the same plug-in or the next one.
        if (kill)
            startPlugin(sendWhole);
        else
            ASSERT_TRUE(sendAgain.send());
        EXPECT_EQ(finishPlugin(), 0);
        EXPECT_EQ(faceBytes(*shell.panorama()), expected);
        EXPECT_EQ(host.states.back(), WindowState::shown);
    }
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(LinkRoundTripTest, APlugInKilledMidStreamLeavesTheLinkReadyForTheNext) {
    startPlugin([](Plugin& plugin) {
        // One tile read, never answered.
        if (!plugin.link->waitToRead()) return 101;
        ::raise(SIGKILL);
        return 102;
    });
    paintThisViewOverTheLink({600, 600});
    EXPECT_EQ(finishPlugin(), 128 + SIGKILL);
    EXPECT_EQ(shell.sendingView(), 0);
    EXPECT_EQ(host.states.back(), WindowState::shown);

    startPlugin([](Plugin& plugin) { return plugin.receive(); });
    paintThisViewOverTheLink({300, 200});
    EXPECT_EQ(finishPlugin(), 2);
}

}  // namespace
