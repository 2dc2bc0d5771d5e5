// The command-line peer against the application end of the link in this process.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "link/paint_link.h"
#include "link/tile_transfer.h"
#include "support/link_environment.h"
#include "support/temp_dir.h"

namespace {
std::string peerPath() {
    const char* dir = std::getenv("DOMECAST_BIN_DIR");
    return std::string(dir != nullptr ? dir : DOMECAST_BIN_DIR) + "/domecast-peer";
}

// One run of the peer program, its output caught in files.
class PeerRun : public ProgramRun {
public:
    explicit PeerRun(std::vector<std::string> arguments) : ProgramRun(peerPath(), std::move(arguments)) {}
};

constexpr float degree = 3.14159274f * (1.0f / 180.0f);  // degToRad

using PeerTest = LinkApplicationTest;
}  // namespace

TEST(Peer, TellsWhenTheApplicationIsNotRunning) {
    LinkEnvironment environment;
    PeerRun peer({"send", "--command", "20"});
    EXPECT_EQ(peer.exitCode(), 3);
    EXPECT_EQ(peer.err(),
              "Domecast is not running; command cancelled.\n\nStart Domecast before choosing "
              "this\nplug-in command.\n");
}

TEST(Peer, HelpAndUsage) {
    PeerRun help({"--help"});
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_NE(help.out().find("usage: domecast-peer send"), std::string::npos);
    const std::vector<std::vector<std::string>> wrong = {
        {}, {"paint"}, {"send", "--command"}, {"send", "--pattern", "20000x5"},
        {"send", "--heading", "nan"}, {"receive", "--pattern", "2x2"}, {"send", "--bogus", "1"}};
    for (const auto& arguments : wrong) {
        PeerRun run(arguments);
        EXPECT_EQ(run.exitCode(), 2) << testing::PrintToString(arguments);
        EXPECT_NE(run.err().find("usage:"), std::string::npos);
    }
}

TEST_F(PeerTest, SendsAPictureInTiles) {
    PeerRun peer({"send", "--command", "18", "--pattern", "300x200", "--heading", "-30", "--pitch", "-10"});
    std::vector<std::int16_t> lefts;
    TileReceiver receiver(*app, [&](const ReceivedTile& t) {
        const LinkRecord& r = t.record;
        EXPECT_EQ(r.command, 18);
        EXPECT_EQ(r.hasImage, 1);
        EXPECT_EQ(r.maskMode, 0);
        EXPECT_EQ(r.heading, 30.0f * degree);
        EXPECT_EQ(r.pitch, -10.0f * degree);
        EXPECT_TRUE(tileHoldsPattern(r.tilePixels, t.tile));
        lefts.push_back(t.tile.left);
    });
    ASSERT_EQ(receiver.run(), TransferStatus::done);
    EXPECT_EQ(lefts, (std::vector<std::int16_t>{0, 256}));
    EXPECT_EQ(peer.exitCode(), 0);
}

TEST_F(PeerTest, SendsBareCommands) {
    struct Case {
        std::vector<std::string> arguments;
        std::int32_t command;
        void (*check)(const LinkRecord&);
    };
    const Case cases[] = {
        {{"--command", "17", "--new-face-size", "512"}, 17,
         [](const LinkRecord& r) { EXPECT_EQ(r.newFaceSize, 512); }},
        {{"--command", "16", "--template", "/srv/templates/sky.bmp"}, 16,
         [](const LinkRecord& r) { EXPECT_STREQ(r.templatePath, "/srv/templates/sky.bmp"); }},
        {{"--size", "640x480"}, 20,
         [](const LinkRecord& r) {
             EXPECT_EQ(r.imageWidth, 640);
             EXPECT_EQ(r.imageHeight, 480);
         }},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.begin(), "send");
        PeerRun peer(arguments);
        ASSERT_EQ(peer.exitCode(), 0) << peer.err();
        ASSERT_TRUE(app->waitToRead());
        const LinkRecord& r = app->received();
        EXPECT_EQ(r.command, c.command);
        EXPECT_EQ(r.hasImage, 0);
        EXPECT_TRUE(app->isFirstTile() && app->isLastTile());
        c.check(r);
        app->doneReading();
        settle();
    }
}

TEST_F(PeerTest, ReceivesAViewAndStampsTheMarker) {
    // heading 1.25: trunc(1.25 x 128/pi + 128) = 178; pitch -0.5: 107;
    // (178 << 8 | 107) xor 0x6742F2 = 0x67F099: red 0x99, green 0xF0, blue 0x67.
    const std::uint8_t marker[3] = {0x99, 0xF0, 0x67};
    struct Case {
        std::vector<std::string> arguments;
        bool rotate;
    };
    const Case cases[] = {{{"receive"}, false}, {{"send", "--command", "21", "--step-x", "1"}, true}};
    for (const Case& c : cases) {
        PeerRun peer(c.arguments);
        if (c.rotate) {
            ASSERT_TRUE(app->waitToRead());
            EXPECT_EQ(app->received().command, LinkCommand::rotate);
            EXPECT_EQ(app->received().stepX, 1.0f);
            app->doneReading();
        }
        streamView(300, 200, 1.25f, -0.5f);
        ASSERT_EQ(peer.exitCode(), 0) << peer.err();
        char expected[160];
        std::snprintf(expected, sizeof expected,
                      "view 300 x 200 heading 1.25 pitch -0.5 marker 0x67f099 fnv1a 0x%016llx\n",
                      static_cast<unsigned long long>(fnv1a(patternWithCorners(300, 200, marker))));
        EXPECT_EQ(peer.out(), expected);
        settle();
    }
}

TEST_F(PeerTest, CancelsTheTransfer) {
    PeerRun peer({"cancel"});
    EXPECT_FALSE(app->waitToRead());
    EXPECT_EQ(app->record().command, LinkCommand::cancelled);
    EXPECT_EQ(peer.exitCode(), 0);
}

TEST_F(PeerTest, GivesUpWhenTheTimeRunsOut) {
    PeerRun peer({"receive", "--timeout", "1"});
    EXPECT_EQ(peer.exitCode(), 4);
    EXPECT_EQ(peer.err(), "domecast-peer: timed out\n");
}

namespace {
// The pattern as a BMP file, optionally with the given corner colour (red, green, blue).
void writePatternBMP(const std::string& path, int width, int height, const std::uint8_t* corner) {
    RawImage image(Size{width, height});
    for (int y = 0; y < height; ++y)  // y counts from the top; BMP rows from the bottom
        for (int x = 0; x < width; ++x) {
            const bool isCorner = (x == 0 || x == width - 1) && (y == 0 || y == height - 1);
            std::uint8_t* p = image.row(height - 1 - y) + x * 3;
            for (int c = 0; c < 3; ++c) p[2 - c] = corner && isCorner ? corner[c] : patternByte(x, y, c);
        }
    SaveBMP(path.c_str(), image.size(), image.stride, 3, image.pixels);
}
}  // namespace

TEST_F(PeerTest, SendsABMPFileAndReportsItsMarker) {
    // heading 90 degrees: trunc(pi/2 x 128/pi + 128) = 192; pitch 0: 128;
    // (192 << 8 | 128) xor 0x6742F2 = 0x678272.
    const std::uint8_t marker[3] = {0x72, 0x82, 0x67};
    struct Case {
        const std::uint8_t* corner;
        std::int32_t maskMode;
    };
    const Case cases[] = {{nullptr, 0}, {marker, 2}};
    for (const Case& c : cases) {
        TempDir folder;
        const std::string path = folder.file("painted.bmp");
        writePatternBMP(path, 300, 257, c.corner);
        PeerRun peer({"send", "--command", "20", "--image", path, "--heading", "-90"});
        int tiles = 0;
        TileReceiver receiver(*app, [&](const ReceivedTile& received) {
            ++tiles;
            const LinkRecord& r = received.record;
            EXPECT_EQ(r.maskMode, c.maskMode);
            EXPECT_EQ(r.imageWidth, 300);
            EXPECT_EQ(r.imageHeight, 257);
            const TileRect t = received.tile;
            // Every pixel arrives as the file holds it, corners included.
            bool same = true;
            const std::uint8_t* p = r.tilePixels;
            for (int y = t.top; y < t.bottom; ++y)
                for (int x = t.left; x < t.right; ++x, p += 3) {
                    const bool isCorner = (x == 0 || x == 299) && (y == 0 || y == 256);
                    for (int k = 0; k < 3; ++k)
                        same = same && p[k] == (c.corner && isCorner ? c.corner[k] : patternByte(x, y, k));
                }
            EXPECT_TRUE(same);
        });
        ASSERT_EQ(receiver.run(), TransferStatus::done);
        EXPECT_EQ(tiles, 4);
        EXPECT_EQ(peer.exitCode(), 0) << peer.err();
        settle();
    }
}

TEST_F(PeerTest, WritesTheReceivedViewAsABMP) {
    TempDir folder;
    const std::string path = folder.file("view.bmp");
    PeerRun peer({"receive", "--output", path});
    streamView(300, 200, 1.25f, -0.5f);
    ASSERT_EQ(peer.exitCode(), 0) << peer.err();
    const RawImage view(path.c_str());
    ASSERT_EQ(view.size(), (Size{300, 200}));
    bool same = true;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) {
            const bool isCorner = (x == 0 || x == 299) && (y == 0 || y == 199);
            const std::uint8_t marker[3] = {0x99, 0xF0, 0x67};
            const std::uint8_t* p = view.row(199 - y) + x * 3;
            for (int c = 0; c < 3; ++c)
                same = same && p[2 - c] == (isCorner ? marker[c] : patternByte(x, y, c));
        }
    EXPECT_TRUE(same);
    settle();
}

TEST(Peer, ReportsAnUnreadableFile) {
    LinkEnvironment environment;
    TempDir folder;
    const std::string missing = folder.file("missing.bmp");
    PeerRun peer({"send", "--image", missing});
    EXPECT_EQ(peer.exitCode(), 1);
    EXPECT_EQ(peer.err(), "IO Error opening " + missing + "\nReason: cannot open the file\n");
}
