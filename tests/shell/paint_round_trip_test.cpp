// "Paint this view" and the loop that drives the round trip, without a display: the file
// transport with a scripted paint program, the link transport with a plug-in in another
// process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "support/round_trip_fixture.h"

namespace {

using namespace roundtrip;

// The faces a panorama of white 256-pixel faces has after the picture in path, painted on
// the view of camera, was applied to it: what domecast-cli apply gives.
std::vector<std::vector<std::uint8_t>> appliedFaces(const Camera& camera, const std::string& path) {
    PaintedSixImage reference(Size{256, 256}, Size{256, 256});
    render(reference, camera, reference.view);
    reference.view.maskCorners();
    reference.view.acceptPicture(*readPaintedFile(path.c_str()));
    reference.applyPaint();
    return faceBytes(reference);
}

// Paint programs of every timing, each run on the view file: whatever order the saves and
// the program's end come in, the last good picture is applied once, the window comes back,
// and a bad file is reported.
TEST_F(PaintRoundTripTest, FileTransportTakesEverySaveWhateverTheTiming) {
    using State = Shell::PaintState;
    struct Case {
        const char* mode;
        bool hiddenAtLaunch;  // still running after the launch wait
        bool painted;
        State endState;
        bool kill = false;
        bool badFile = false;
    } cases[] = {
        {"save", true, true, State::idle},
        {"quicksave", false, true, State::idle},
        {"savetwice", true, true, State::idle},
        {"rename", true, true, State::idle},
        {"nosave", true, false, State::handedOff},
        {"handoff", false, false, State::handedOff},
        {"handoff200", false, true, State::handedOff},
        {"handoff3000", true, true, State::handedOff},
        {"truncated", true, false, State::handedOff, false, true},
        {"twostep", true, true, State::idle},
        {"stay", true, false, State::handedOff, true},
    };
    const auto white = faceBytes(PaintedSixImage(Size{256, 256}, Size{256, 256}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        ::setenv("SCRIPTED_PAINT", c.mode, 1);
        shell.replacePanorama(std::make_unique<PaintedSixImage>(Size{256, 256}, Size{256, 256}));
        shell.setView(20 * degToRad, 10 * degToRad);
        host.states.clear();
        MessageRecorder recorder;

        shell.paintThisView();
        const Camera camera = shell.panorama()->view.camera();
        EXPECT_EQ(camera, shell.cameraFor(viewSize));
        EXPECT_EQ(host.askedFaceSize, (Size{256, 256}));
        ASSERT_FALSE(shell.tempViewPath().empty());
        EXPECT_EQ(fs::path(shell.tempViewPath()).parent_path(), fs::path(dir.path()));
        EXPECT_EQ(fs::path(shell.tempViewPath()).filename().string().rfind("T_DC", 0), 0u);
        EXPECT_EQ(fs::path(shell.tempViewPath()).extension(), ".bmp");
        EXPECT_EQ(shell.link()->record().imageWidth, viewSize.width);
        EXPECT_EQ(host.states.empty(), !c.hiddenAtLaunch);
        if (c.hiddenAtLaunch) {
            EXPECT_EQ(shell.paintState(), State::waitingForProgram);
        }
        if (c.kill) ::kill(static_cast<pid_t>(shell.link()->record().pluginProcessId), SIGKILL);

        EXPECT_TRUE(runLoopUntil([&] { return shell.paintState() == c.endState && (!c.painted || shell.panorama()->modified != 0); }));
        // Nothing is applied twice, nor late.
        runLoopUntil([] { return false; }, 300);
        EXPECT_EQ(shell.paintState(), c.endState);
        const std::vector<WindowState> states =
            c.hiddenAtLaunch ? std::vector<WindowState>{WindowState::hidden, WindowState::shown} : std::vector<WindowState>{};
        EXPECT_EQ(host.states, states);
        EXPECT_EQ(shell.link()->record().pluginProcessId, 0u);
        EXPECT_EQ(shell.panorama()->modified, c.painted ? 1 : 0);
        EXPECT_EQ(faceBytes(*shell.panorama()), c.painted ? appliedFaces(camera, shell.tempViewPath()) : white);
        EXPECT_EQ(shell.title().find("watching") != std::string::npos, c.endState == State::handedOff) << shell.title();
        if (c.badFile) {
            ASSERT_EQ(recorder.texts().size(), 1u);
            EXPECT_NE(recorder.texts()[0].find(shell.tempViewPath()), std::string::npos) << recorder.texts()[0];
            EXPECT_NE(recorder.texts()[0].find("Nothing was painted"), std::string::npos) << recorder.texts()[0];
        } else {
            EXPECT_TRUE(recorder.texts().empty());
        }
        // Esc ends a watch that is left; the title and the command follow.
        EXPECT_EQ(shell.commandEnabled(cmdStopWatching), c.endState == State::handedOff);
        EXPECT_EQ(shell.stopWatchingViewFile(), c.endState == State::handedOff);
        EXPECT_EQ(shell.paintState(), State::idle);
        EXPECT_EQ(shell.title().find("watching"), std::string::npos);
    }
    EXPECT_TRUE(messages.texts().empty());
}

// Paint programs write their BMP in their own way, not always as the 24-bit file the view
// went out as: whatever the editor can read lands exactly where domecast-cli apply lands
// the same picture (decoded by ImageMagick); a picture it cannot read, or one that does not
// fit the view, changes nothing (faces, undo history, title) and the user is told why.
TEST_F(PaintRoundTripTest, FileTransportLandsEveryBmpAPaintProgramWritesAndRefusesWhatDoesNotFit) {
    const std::string otherView = dir.file("other_view.bmp");
    {
        PaintedSixImage other(Size{256, 256}, Size{256, 256});
        render(other, nominalCamera(other, 0, 0, viewSize), other.view);  // straight ahead
        writeViewFile(other.view, otherView.c_str());
    }
    ::setenv("SCRIPTED_OTHER_VIEW", otherView.c_str(), 1);
    ::setenv("SCRIPTED_PAINT", "command", 1);
    struct Case {
        const char* name;
        const char* command;  // run on the painted view file as $1
        const char* refusal;  // a part of the message; null when the paint lands
    } cases[] = {
        {"ImageMagick, 32 bits with alpha", R"(convert "$1" -alpha set "$1")", nullptr},
        {"ImageMagick, 16 bits 5-6-5", R"(convert "$1" -define bmp:subtype=RGB565 "$1")", nullptr},
        {"ImageMagick, 8-bit palette with RLE8", R"(convert "$1" +dither -colors 256 -compress RLE BMP3:"$1")", nullptr},
        {"rows top-down",
         R"(python3 -c 'import sys, struct
b = bytearray(open(sys.argv[1], "rb").read())
o = struct.unpack_from("<I", b, 10)[0]
w, h = struct.unpack_from("<ii", b, 18)
s = (w * 3 + 3) // 4 * 4
rows = [bytes(b[o + i * s:o + (i + 1) * s]) for i in range(h)]
b[o:o + s * h] = b"".join(reversed(rows))
struct.pack_into("<i", b, 22, -h)
open(sys.argv[1], "wb").write(b)' "$1")",
         nullptr},
        {"cropped", R"(convert "$1" -crop 180x150+0+0 +repage BMP3:"$1")",
         "The painted view is 180x150 but the view was 200x150: it may have been cropped. Nothing was painted."},
        {"an older view file saved over it", R"(cp "$SCRIPTED_OTHER_VIEW" "$1")",
         "The painted view carries the marker of another view (h=0\u00b0 or 180\u00b0, v=0\u00b0) than the one it was made "
         "for (h=80\u00b0 v=10\u00b0)"},
        {"a bit count no BMP has", R"(printf '\007' | dd of="$1" bs=1 seek=28 conv=notrunc 2>/dev/null)",
         "could not be read from"},
    };
    const auto white = faceBytes(PaintedSixImage(Size{256, 256}, Size{256, 256}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::setenv("SCRIPTED_PAINT_COMMAND", c.command, 1);
        shell.replacePanorama(std::make_unique<PaintedSixImage>(Size{256, 256}, Size{256, 256}));
        shell.setView(-80 * degToRad, 10 * degToRad);  // h=80 v=10
        MessageRecorder recorder;
        shell.paintThisView();
        const Camera camera = shell.panorama()->view.camera();
        const std::string viewFile = shell.tempViewPath();
        if (c.refusal == nullptr) {
            ASSERT_TRUE(runLoopUntil([&] { return shell.paintState() == Shell::PaintState::idle; }));
            // The same picture, as ImageMagick decodes it, through the 24-bit path.
            const std::string reference = dir.file("reference.bmp");
            ASSERT_EQ(std::system(("convert '" + viewFile + "' -alpha off -type TrueColor BMP3:'" + reference + "'").c_str()), 0);
            EXPECT_EQ(shell.panorama()->modified, 1);
            EXPECT_EQ(faceBytes(*shell.panorama()), appliedFaces(camera, reference));
            EXPECT_TRUE(shell.undoHistory().canUndo());
            EXPECT_TRUE(recorder.texts().empty());
        } else {
            ASSERT_TRUE(runLoopUntil([&] { return !recorder.texts().empty(); }));
            runLoopUntil([] { return false; }, 300);
            EXPECT_EQ(shell.panorama()->modified, 0);
            EXPECT_EQ(faceBytes(*shell.panorama()), white);
            EXPECT_FALSE(shell.undoHistory().canUndo());
            EXPECT_EQ(shell.title().find('*'), std::string::npos) << shell.title();
            ASSERT_EQ(recorder.texts().size(), 1u);
            EXPECT_NE(recorder.texts()[0].find(c.refusal), std::string::npos) << recorder.texts()[0];
            EXPECT_NE(recorder.texts()[0].find("Nothing was painted"), std::string::npos) << recorder.texts()[0];
            EXPECT_NE(recorder.texts()[0].find(viewFile), std::string::npos) << recorder.texts()[0];
            shell.stopWatchingViewFile();
        }
    }
    ::unsetenv("SCRIPTED_PAINT_COMMAND");
    ::unsetenv("SCRIPTED_OTHER_VIEW");
}

TEST_F(PaintRoundTripTest, SavesAfterEscOrANewPaintThisViewAreNotTaken) {
    for (const bool esc : {true, false}) {
        SCOPED_TRACE(esc ? "Esc" : "new Paint this view");
        ::setenv("SCRIPTED_PAINT", "handoff200", 1);
        shell.replacePanorama(std::make_unique<PaintedSixImage>(Size{256, 256}, Size{256, 256}));
        shell.paintThisView();
        ASSERT_EQ(shell.paintState(), Shell::PaintState::handedOff);
        if (esc) {
            EXPECT_TRUE(shell.stopWatchingViewFile());
        } else {
            ::setenv("SCRIPTED_PAINT", "handoff", 1);
            shell.paintThisView();
        }
        // The copy's save of the first file comes 0.6 s later.
        runLoopUntil([] { return false; }, 1200);
        EXPECT_EQ(shell.panorama()->modified, 0);
    }
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
    EXPECT_TRUE(shell.panorama()->view.empty());
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

// A bare command carries no view: the angles a plug-in leaves in it are the last view it
// was given, and the window keeps looking where it looks.
TEST_F(LinkRoundTripTest, ABareCommandKeepsTheViewAndProjectsNothing) {
    shell.setView(30 * degToRad, -5 * degToRad);
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
    EXPECT_FLOAT_EQ(shell.windowHeading(), 30 * degToRad);
    EXPECT_FLOAT_EQ(shell.windowPitch(), -5 * degToRad);
    ASSERT_FALSE(host.states.empty());
    EXPECT_EQ(host.states.front(), WindowState::shown);
    EXPECT_EQ(shell.panorama()->modified, 0);
    EXPECT_TRUE(shell.panorama()->view.empty());
}

// A plug-in asking for the view (a turn by zero steps, no picture) gets what the window's
// camera sees at the size it asks for, whatever came before, and the window does not turn.
TEST_F(LinkRoundTripTest, AViewRequestGetsTheWindowsViewWhateverCameBefore) {
    struct Case {
        const char* name;
        std::function<void()> before;
    } cases[] = {
        {"fresh editor", [] {}},
        {"after keys turned the view", [&] { shell.turnBy(-40 * degToRad, 15 * degToRad); }},
        {"after a paint over the view file", [&] {
             ::setenv("SCRIPTED_PAINT", "quicksave", 1);
             shell.setView(70 * degToRad, -10 * degToRad);
             shell.paintThisView();
             // The user turns away from the painted view afterwards.
             shell.turnBy(25 * degToRad, 0);
         }},
        {"after a plug-in ended", [&] {
             startPlugin([](Plugin& plugin) {
                 PluginCommand request;
                 request.command = LinkCommand::rotate;
                 request.stepX = 1;
                 request.width = 64;
                 request.height = 48;
                 return plugin.send(request, false) && plugin.receive() > 0 ? 0 : 101;
             });
             finishPlugin();
             shell.turnBy(0, -20 * degToRad);
         }},
    };
    for (const Case& c : cases) {
        for (const Size size : {Size{1, 1}, Size{320, 240}, Size{1920, 1080}}) {
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(size.width) + "x" + std::to_string(size.height));
            shell.replacePanorama(std::make_unique<PaintedSixImage>(Size{256, 256}, Size{256, 256}));
            for (int i = 0; i < faceCount; ++i) paintFace(*shell.panorama()->faces[i], i);
            c.before();
            const float heading = shell.windowHeading(), pitch = shell.windowPitch();
            RawImage expected(size);
            {
                ViewBuffer view;
                render(*shell.panorama(), nominalCamera(*shell.panorama(), heading, pitch, size), view);
                for (int y = 0; y < size.height; ++y)
                    for (int x = 0; x < size.width; ++x) std::memcpy(expected.row(y) + 3 * x, view.row(y) + 4 * x, 3);
            }
            const std::string received = dir.file("received.raw");
            startPlugin([&](Plugin& plugin) {
                PluginCommand request;
                request.command = LinkCommand::rotate;
                request.heading = 123 * degToRad;  // a stale view the plug-in was given before
                request.width = size.width;
                request.height = size.height;
                if (!plugin.send(request, false)) return 101;
                float h = 0, p = 0;
                if (plugin.receive(&h, &p) < 0) return 102;
                std::ofstream(received, std::ios::binary)
                    .write(reinterpret_cast<const char*>(plugin.view.rgb.data()),
                           static_cast<std::streamsize>(plugin.view.rgb.size()));
                return h == heading && p == pitch ? 0 : 103;
            });
            EXPECT_EQ(finishPlugin(), 0);
            EXPECT_EQ(shell.windowHeading(), heading);
            EXPECT_EQ(shell.windowPitch(), pitch);
            std::ifstream in(received, std::ios::binary);
            const std::vector<char> rgb((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            ASSERT_EQ(rgb.size(), static_cast<std::size_t>(size.width) * size.height * 3);
            long differing = 0;
            for (int y = 0; y < size.height; ++y)
                for (int x = 0; x < size.width; ++x)
                    differing += std::memcmp(rgb.data() + (static_cast<std::size_t>(y) * size.width + x) * 3,
                                             expected.row(y) + 3 * x, 3) != 0;
            EXPECT_EQ(differing, 0);
            shell.stopWatchingViewFile();
        }
    }
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
    render(reference, nominalCamera(reference, 0, 0, size), reference.view);
    reference.view.acceptRect({0, 0}, size, 3, picture.data());
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

namespace {

using namespace roundtrip;

// A view file still watched after a plug-in sent a picture of another view: its next save is
// compared with the view it was written with, not with the plug-in's.
TEST_F(LinkRoundTripTest, AViewFileSavedAfterAPluginsPictureIsComparedWithItsOwnView) {
    ::setenv("SCRIPTED_PAINT", "handoff", 1);
    shell.setView(20 * degToRad, 0);
    shell.paintThisView();
    ASSERT_TRUE(runLoopUntil([&] { return shell.paintState() == Shell::PaintState::handedOff; }));
    const Camera fileCamera = shell.panorama()->view.camera();
    const std::string path = shell.tempViewPath();

    startPlugin([](Plugin& plugin) {
        plugin.view = {200, 150, std::vector<std::uint8_t>(200 * 150 * 3, 0)};
        plugin.paint(10, 10, 40, 0, 0, 255);
        PluginCommand apply;
        apply.command = LinkCommand::applyImage;
        apply.heading = 90 * degToRad;
        return plugin.send(apply) ? 0 : 102;
    });
    EXPECT_EQ(finishPlugin(), 0);
    ASSERT_EQ(shell.paintState(), Shell::PaintState::handedOff);
    ASSERT_NE(shell.panorama()->view.camera().heading, fileCamera.heading);

    // The faces now, with the file's paint applied at the file's own view.
    PaintedSixImage reference(Size{256, 256}, Size{256, 256});
    for (int i = 0; i < faceCount; ++i)
        for (int y = 0; y < 256; ++y) std::memcpy(reference.faces[i]->row(y), shell.panorama()->faces[i]->row(y), 3 * 256);
    const std::int64_t position = shell.undoHistory().position();
    // The copy the view file was handed to saves it.
    ASSERT_EQ(std::system(("env SCRIPTED_PAINT=quicksave '" SCRIPTED_PAINT "' '" + path + "'").c_str()), 0);
    ASSERT_TRUE(runLoopUntil([&] { return shell.undoHistory().position() > position; }));
    render(reference, fileCamera, reference.view);
    reference.view.maskCorners();
    ASSERT_TRUE(reference.view.acceptPicture(*readPaintedFile(path.c_str())));
    reference.applyPaint();
    EXPECT_EQ(faceBytes(*shell.panorama()), faceBytes(reference));
    EXPECT_GT(pixelsOf(*shell.panorama(), 255, 0, 0), 0);
}

}  // namespace
