// The GIMP plug-ins end to end: a real gimp-console in batch mode runs the procedures
// from script-fu, while this process (or a child of it) is Domecast's end of the link.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "link/domecast_link.h"
#include "link/paint_link.h"
#include "link/tile_transfer.h"
#include "platform/settings.h"
#include "plugins/gimp_console.h"
#include "support/link_environment.h"
#include "support/scoped_settings.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// GIMP's first start with a new profile takes seconds, and minutes on a machine shared
// with busy builds.
constexpr unsigned testAlarmSeconds = 900;

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
};

void writePpm(const std::string& path, const Picture& p) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << p.width << ' ' << p.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(p.rgb.data()), static_cast<std::streamsize>(p.rgb.size()));
}

// The next number of a PPM header, past white space and "#" comment lines.
int ppmNumber(std::istream& in) {
    for (;;) {
        in >> std::ws;
        if (in.peek() != '#') break;
        std::string comment;
        std::getline(in, comment);
    }
    int n = -1;
    in >> n;
    return n;
}

Picture readPpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    Picture p;
    in >> magic;
    p.width = ppmNumber(in);
    p.height = ppmNumber(in);
    const int maxValue = ppmNumber(in);
    in.get();
    if (!in || magic != "P6" || maxValue != 255 || p.width <= 0 || p.height <= 0 || p.width > 4096 || p.height > 4096)
        return {};
    p.rgb.resize(static_cast<std::size_t>(p.width) * p.height * 3);
    in.read(reinterpret_cast<char*>(p.rgb.data()), static_cast<std::streamsize>(p.rgb.size()));
    if (!in) return {};
    return p;
}

std::vector<std::uint8_t> markerCorner(float heading, float pitch) {
    const std::uint32_t m = domecast_view_marker(heading, pitch);
    return {static_cast<std::uint8_t>(m), static_cast<std::uint8_t>(m >> 8), static_cast<std::uint8_t>(m >> 16)};
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class GimpPluginTest : public testing::Test {
protected:
    void SetUp() override {
        ::alarm(testAlarmSeconds);
        ASSERT_EQ(makeGimpProfile(folder, {"DomecastActivate", "DomecastLeft", "DomecastRight", "DomecastUp",
                                           "DomecastDown"}),
                  "");
    }

    // A script-fu expression that loads in.ppm as "image" (its layer "drawable") and runs body.
    std::string withPicture(const std::string& body) {
        return "(let* ((image (car (gimp-file-load RUN-NONINTERACTIVE \"" + folder.file("in.ppm") + "\" \"in.ppm\")))"
               " (drawable (car (gimp-image-get-active-drawable image)))) " + body + ")";
    }
    std::string gimpErrors() { return readText(folder.file("gimp.err")); }

    TempDir folder;
    LinkEnvironment environment;
    ScopedSettings settings{folder.file("settings")};
};

// The painted picture goes out as the user sees it (a hidden layer left out, a paint layer
// on top composited), then a turn sends it again with the steps of Turn Left, and the view
// that comes back replaces the picture at its own size, markers stamped. Then the current
// view is fetched into new images.
TEST_F(GimpPluginTest, SendsThePictureAndTurnsToTheViewThatComesBack) {
    std::unique_ptr<PaintLink> app;
    ASSERT_EQ(PaintLink::openAsApplication(app), nullptr);
    const float painted[2] = {0.75f, -0.25f}, other[2] = {2.5f, 0.5f}, turned[2] = {1.25f, 0.125f};
    const auto corner = markerCorner(painted[0], painted[1]);
    Picture in{300, 200, patternWithCorners(300, 200, corner.data())};
    writePpm(folder.file("in.ppm"), in);
    Picture expected = in;
    for (int y = 30; y < 50; ++y)
        for (int x = 40; x < 90; ++x) {
            std::uint8_t* p = &expected.rgb[(static_cast<std::size_t>(y) * 300 + x) * 3];
            p[0] = 255, p[1] = 0, p[2] = 0;
        }
    const std::string out = folder.file("out.ppm"), viewOut = folder.file("view.ppm");
    GimpRun gimp(folder.file("gimp.err"), {withPicture(
        "(let ((hidden (car (gimp-layer-new image 300 200 RGBA-IMAGE \"hidden\" 100 LAYER-MODE-NORMAL)))"
        "      (paint (car (gimp-layer-new image 300 200 RGBA-IMAGE \"paint\" 100 LAYER-MODE-NORMAL))))"
        " (gimp-image-insert-layer image hidden 0 0) (gimp-drawable-fill hidden FILL-WHITE)"
        " (gimp-item-set-visible hidden FALSE)"
        " (gimp-image-insert-layer image paint 0 0) (gimp-drawable-fill paint FILL-TRANSPARENT)"
        " (gimp-image-select-rectangle image CHANNEL-OP-REPLACE 40 30 50 20)"
        " (gimp-context-set-foreground '(255 0 0)) (gimp-drawable-edit-fill paint FILL-FOREGROUND)"
        " (plug-in-domecast-send RUN-NONINTERACTIVE image paint)"
        " (gimp-message (string-append \"layers after send \" (number->string (car (gimp-image-get-layers image)))))"
        " (plug-in-domecast-turn-left RUN-NONINTERACTIVE image paint)"
        " (gimp-message (string-append \"layers after turn \" (number->string (car (gimp-image-get-layers image)))))"
        " (file-ppm-save RUN-NONINTERACTIVE image (car (gimp-image-get-active-drawable image)) \"" + out +
        "\" \"out.ppm\" 1)"
        " (let ((view (car (plug-in-domecast-get-view RUN-NONINTERACTIVE image"
        "                   (car (gimp-image-get-active-drawable image))))))"
        "  (file-ppm-save RUN-NONINTERACTIVE view (car (gimp-image-get-active-drawable view)) \"" + viewOut +
        "\" \"view.ppm\" 1))"
        " (let ((fresh (car (plug-in-domecast-get-view RUN-NONINTERACTIVE -1 -1))))"
        "  (gimp-message (string-append \"fresh view \" (number->string (car (gimp-image-width fresh)))"
        "   \"x\" (number->string (car (gimp-image-height fresh))))))"
        " (plug-in-domecast-turn-right RUN-NONINTERACTIVE image (car (gimp-image-get-active-drawable image)))"
        " (plug-in-domecast-tilt-up RUN-NONINTERACTIVE image (car (gimp-image-get-active-drawable image)))"
        " (plug-in-domecast-tilt-down RUN-NONINTERACTIVE image (car (gimp-image-get-active-drawable image))))")});

    // The record describes a view other than the one the picture shows: its corners are
    // then taken for paint.
    app->setViewAngles(other[0], other[1]);
    struct Seen {
        std::int32_t command = -1, hasImage = -1, maskMode = -1;
        float heading = 0, pitch = 0, stepX = 0, stepY = 0;
    };
    Seen sent, turn;
    auto recordOf = [&](Seen& seen, bool describePainted) {
        return [&seen, &app, describePainted, painted](const ReceivedTile& t) {
            seen = {t.record.command, t.record.hasImage, t.record.maskMode, t.record.heading,
                    t.record.pitch,   t.record.stepX,    t.record.stepY};
            if (t.last && describePainted) app->setViewAngles(painted[0], painted[1]);
        };
    };
    TileReceiver send(*app, recordOf(sent, true), true);
    ASSERT_EQ(send.run(), TransferStatus::done) << gimpErrors();
    EXPECT_EQ(sent.command, DOMECAST_COMMAND_APPLY_AND_SHOW);
    EXPECT_EQ(sent.hasImage, 1);
    EXPECT_EQ(sent.maskMode, DOMECAST_MASK_NONE);
    EXPECT_EQ(sent.heading, other[0]);
    EXPECT_EQ(sent.pitch, other[1]);
    EXPECT_EQ(send.picture().width, 300);
    EXPECT_EQ(send.picture().height, 200);
    EXPECT_TRUE(send.picture().rgb == expected.rgb);

    TileReceiver request(*app, recordOf(turn, false), true);
    ASSERT_EQ(request.run(), TransferStatus::done) << gimpErrors();
    EXPECT_EQ(turn.command, DOMECAST_COMMAND_ROTATE);
    EXPECT_EQ(turn.maskMode, DOMECAST_MASK_CORNERS);
    EXPECT_EQ(turn.heading, painted[0]);
    EXPECT_EQ(turn.pitch, painted[1]);
    EXPECT_EQ(turn.stepX, 1.0f);
    EXPECT_EQ(turn.stepY, 0.0f);
    EXPECT_TRUE(request.picture().rgb == expected.rgb);

    // The new view, of another size than the picture.
    app->setImageSize(320, 240);
    TileSender view(*app, turned[0], turned[1], patternSource());
    ASSERT_EQ(view.run(), TransferStatus::done);

    // "Get View from Domecast": a bare rotate without steps at the picture's size, or at
    // 1024 x 768 without a picture; the view comes back as a new image.
    for (const auto& size : {std::pair(320, 240), std::pair(1024, 768)}) {
        Seen bare;
        std::int32_t width = 0, height = 0;
        TileReceiver viewRequest(*app, [&](const ReceivedTile& t) {
            bare = {t.record.command, t.record.hasImage, t.record.maskMode, 0, 0, t.record.stepX, t.record.stepY};
            width = t.record.imageWidth, height = t.record.imageHeight;
        });
        ASSERT_EQ(viewRequest.run(), TransferStatus::done) << gimpErrors();
        EXPECT_EQ(bare.command, DOMECAST_COMMAND_ROTATE);
        EXPECT_EQ(bare.hasImage, 0);
        EXPECT_EQ(bare.stepX, 0.0f);
        EXPECT_EQ(bare.stepY, 0.0f);
        EXPECT_EQ(width, size.first);
        EXPECT_EQ(height, size.second);
        app->setImageSize(size.first, size.second);
        TileSender answer(*app, other[0], other[1], patternSource());
        ASSERT_EQ(answer.run(), TransferStatus::done);
    }

    // The other turns differ only in their steps.
    const float steps[3][2] = {{-1, 0}, {0, 1}, {0, -1}};
    for (const auto& step : steps) {
        Seen seen;
        TileReceiver otherTurn(*app, recordOf(seen, false), true);
        ASSERT_EQ(otherTurn.run(), TransferStatus::done) << gimpErrors();
        EXPECT_EQ(seen.command, DOMECAST_COMMAND_ROTATE);
        EXPECT_EQ(seen.stepX, step[0]);
        EXPECT_EQ(seen.stepY, step[1]);
        app->setImageSize(16, 16);
        TileSender answer(*app, turned[0], turned[1], patternSource());
        ASSERT_EQ(answer.run(), TransferStatus::done);
    }

    ASSERT_EQ(gimp.exitCode(), 0);
    const std::string errors = gimpErrors();
    EXPECT_EQ(errors.find("execution error"), std::string::npos) << errors;
    EXPECT_NE(errors.find("layers after send 3"), std::string::npos) << errors;
    EXPECT_NE(errors.find("layers after turn 1"), std::string::npos) << errors;
    const Picture got = readPpm(out);
    EXPECT_EQ(got.width, 320) << errors;
    EXPECT_EQ(got.height, 240);
    const auto turnedCorner = markerCorner(turned[0], turned[1]);
    EXPECT_TRUE(got.rgb == patternWithCorners(320, 240, turnedCorner.data()));
    const auto otherCorner = markerCorner(other[0], other[1]);
    EXPECT_TRUE(readPpm(viewOut).rgb == patternWithCorners(320, 240, otherCorner.data()));
    EXPECT_NE(errors.find("fresh view 1024x768"), std::string::npos) << errors;
    app->close();
}

// Without Domecast the turns and the view are refused and GIMP goes on; "Send to Domecast"
// starts the program the settings name, detached from GIMP, and sends once it answers.
TEST_F(GimpPluginTest, RefusesTurnsWithoutDomecastAndStartsItToSend) {
    writePpm(folder.file("in.ppm"), Picture{40, 30, patternWithCorners(40, 30, nullptr)});
    const fs::path program = folder.file("program");
    fs::create_directories(program);
    fs::create_symlink(DOMECAST_FAKE_EDITOR, program / "domecast");
    ::setenv("DOMECAST_FAKE_REPORT", folder.file("started.txt").c_str(), 1);
    writeStringSetting("DomecastPath", program.string());
    GimpRun gimp(folder.file("gimp.err"),
                 {withPicture("(plug-in-domecast-turn-left RUN-NONINTERACTIVE image drawable)"),
                  withPicture("(plug-in-domecast-tilt-down RUN-NONINTERACTIVE image drawable)"),
                  "(plug-in-domecast-get-view RUN-NONINTERACTIVE -1 -1)",
                  "(gimp-message \"still running\")",
                  withPicture("(plug-in-domecast-send RUN-NONINTERACTIVE image drawable)"),
                  "(gimp-message \"sent\")"});
    ASSERT_EQ(gimp.exitCode(), 0);
    const std::string errors = gimpErrors();
    EXPECT_EQ(count(errors, "Domecast is not running; command cancelled.\n\nYou must start Domecast BEFORE "
                            "invoking this\nplugin command."),
              3)
        << errors;
    EXPECT_NE(errors.find("still running"), std::string::npos) << errors;
    EXPECT_NE(errors.find("sent"), std::string::npos) << errors;
    // Command 20, the whole picture, a session of its own, no descriptor of GIMP's.
    for (int i = 0; i < 100 && !fs::exists(folder.file("started.txt")); ++i) ::usleep(50000);
    EXPECT_EQ(readText(folder.file("started.txt")), "status 2 command 20 size 40x30 inherited 0 leader 1\n");
}

// Domecast ends while a turn waits for the new view: the procedure fails at once with a
// message, and GIMP runs on.
TEST_F(GimpPluginTest, FailsATurnWhenDomecastEndsDuringIt) {
    writePpm(folder.file("in.ppm"), Picture{40, 30, patternWithCorners(40, 30, nullptr)});
    const Beacon opened;
    const pid_t editor = runChild([&] {
        std::unique_ptr<PaintLink> app;
        if (PaintLink::openAsApplication(app) != nullptr) return 1;
        opened.send();
        TileReceiver request(*app);
        if (request.run() != TransferStatus::done) return 2;
        ::_exit(0);  // ends without a word, as a killed editor does
    });
    ASSERT_TRUE(opened.await());
    GimpRun gimp(folder.file("gimp.err"), {withPicture("(plug-in-domecast-turn-right RUN-NONINTERACTIVE image drawable)"),
                                           "(gimp-message \"still running\")"});
    EXPECT_EQ(exitCodeOf(editor), 0);
    ASSERT_EQ(gimp.exitCode(), 0);
    const std::string errors = gimpErrors();
    EXPECT_NE(errors.find("Domecast ended during the transfer."), std::string::npos) << errors;
    EXPECT_NE(errors.find("execution error"), std::string::npos) << errors;
    EXPECT_NE(errors.find("still running"), std::string::npos) << errors;
    // The ended editor's record is stale: a new start takes the link over (and removes it).
    std::unique_ptr<PaintLink> again;
    ASSERT_EQ(PaintLink::openAsApplication(again), nullptr);
    again->close();
}

}  // namespace
