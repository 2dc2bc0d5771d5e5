// The plug-in end's C interface: a plug-in written in C (c_plugin.c) against the
// application end of the link in this process.

#include "link/domecast_link.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "link/paint_link.h"
#include "link/tile_transfer.h"
#include "platform/settings.h"
#include "support/link_environment.h"
#include "support/scoped_settings.h"
#include "support/temp_dir.h"

namespace {

class CPlugin : public ProgramRun {
public:
    explicit CPlugin(std::vector<std::string> arguments) : ProgramRun(DOMECAST_C_PLUGIN, std::move(arguments)) {}
};

using CInterfaceTest = LinkApplicationTest;

// heading 1.25, pitch -0.5: marker 0x67F099, corners red 0x99, green 0xF0, blue 0x67.
const std::uint8_t viewCorner[3] = {0x99, 0xF0, 0x67};

}  // namespace

TEST(CInterface, TellsWhenTheApplicationIsNotRunning) {
    LinkEnvironment environment;
    CPlugin plugin({"send", "20", "4", "4", "0", "0"});
    EXPECT_EQ(plugin.exitCode(), 5);
    EXPECT_EQ(plugin.err(),
              "Domecast is not running; command cancelled.\n\nStart Domecast before choosing "
              "this\nplug-in command.\n");
}

TEST_F(CInterfaceTest, SendsAPictureWithTheMaskFromTheMarker) {
    struct Case {
        const char* command;
        bool marked;
        std::int32_t maskMode;
    };
    const Case cases[] = {{"20", false, 0}, {"20", true, 2}, {"18", true, 2}, {"16", true, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.command << (c.marked ? " marked" : ""));
        std::vector<std::string> arguments = {"send", c.command, "300", "257", "1.25", "-0.5"};
        if (c.marked) arguments.push_back("marked");
        CPlugin plugin(arguments);
        int tiles = 0;
        TileReceiver receiver(*app, [&](const ReceivedTile& t) {
            ++tiles;
            EXPECT_EQ(t.record.command, std::atoi(c.command));
            EXPECT_EQ(t.record.hasImage, 1);
            EXPECT_EQ(t.record.maskMode, c.maskMode);
            EXPECT_EQ(t.record.heading, 1.25f);
            EXPECT_EQ(t.record.pitch, -0.5f);
        }, true);
        ASSERT_EQ(receiver.run(), TransferStatus::done);
        EXPECT_EQ(tiles, 4);
        // The alpha byte and the row padding stay behind; the marker arrives as stamped.
        const LinkPicture& got = receiver.picture();
        EXPECT_EQ(got.width, 300);
        EXPECT_EQ(got.height, 257);
        EXPECT_TRUE(got.rgb == patternWithCorners(300, 257, c.marked ? viewCorner : nullptr));
        EXPECT_EQ(plugin.exitCode(), 0) << plugin.err();
        settle();
    }
}

TEST_F(CInterfaceTest, SendsBareCommands) {
    struct Case {
        std::vector<std::string> arguments;
        std::int32_t command, newFaceSize, width;
        const char* templatePath;
    };
    const Case cases[] = {
        {{"bare", "17", "0", "0", "512", ""}, 17, 512, 0, ""},
        {{"bare", "16", "0", "0", "0", "/srv/templates/sky.bmp"}, 16, 0, 0, "/srv/templates/sky.bmp"},
        {{"bare", "20", "640", "480", "0", ""}, 20, 0, 640, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        CPlugin plugin(c.arguments);
        ASSERT_EQ(plugin.exitCode(), 0) << plugin.err();
        ASSERT_TRUE(app->waitToRead());
        const LinkRecord& r = app->received();
        EXPECT_EQ(r.command, c.command);
        EXPECT_EQ(r.hasImage, 0);
        EXPECT_EQ(r.maskMode, 0);
        EXPECT_EQ(r.newFaceSize, c.newFaceSize);
        EXPECT_EQ(r.imageWidth, c.width);
        EXPECT_STREQ(r.templatePath, c.templatePath);
        EXPECT_TRUE(app->isFirstTile() && app->isLastTile());
        app->doneReading();
        settle();
    }
}

TEST_F(CInterfaceTest, ReceivesAViewWithTheMarkerInItsCorners) {
    struct Case {
        std::vector<std::string> arguments;
        bool rotate;
    };
    const Case cases[] = {{{"receive"}, false}, {{"send", "21", "2", "2", "0", "0"}, true}};
    for (const Case& c : cases) {
        CPlugin plugin(c.arguments);
        if (c.rotate) {
            TileReceiver request(*app);
            ASSERT_EQ(request.run(), TransferStatus::done);
        }
        streamView(300, 200, 1.25f, -0.5f);
        ASSERT_EQ(plugin.exitCode(), 0) << plugin.err();
        char expected[160];
        std::snprintf(expected, sizeof expected,
                      "view 300 x 200 heading 1.25 pitch -0.5 marker 0x67f099 fnv1a 0x%016llx\n",
                      static_cast<unsigned long long>(fnv1a(patternWithCorners(300, 200, viewCorner))));
        EXPECT_EQ(plugin.out(), expected);
        settle();
    }
}

TEST_F(CInterfaceTest, CancelsAndSeesTheApplicationCancel) {
    CPlugin canceller({"cancel"});
    EXPECT_FALSE(app->waitToRead());
    EXPECT_EQ(app->record().command, LinkCommand::cancelled);
    EXPECT_EQ(canceller.exitCode(), 0);
    settle();

    CPlugin receiver({"receive"});
    for (int i = 0; i < 500 && app->record().pluginProcessId == 0; ++i) usleep(10000);
    app->cancel();
    EXPECT_EQ(receiver.exitCode(), 1);
}

// A plug-in with patience gives up a transfer in which nothing moves, and tells the
// application by a cancel; without patience it waits as long as the application lives.
TEST_F(CInterfaceTest, GivesUpAfterItsPatienceWithoutProgress) {
    CPlugin patient({"--patience", "300", "receive"});
    EXPECT_EQ(patient.exitCode(), 7);
    EXPECT_FALSE(app->waitToRead());
    EXPECT_EQ(app->record().command, LinkCommand::cancelled);
    settle();

    CPlugin receiver({"--patience", "300", "receive"});
    streamView(300, 600, 0, 0);
    EXPECT_EQ(receiver.exitCode(), 0) << receiver.err();
}

TEST_F(CInterfaceTest, ReadsTheViewAnglesOfTheRecord) {
    app->setViewAngles(1.25f, -0.5f);
    CPlugin plugin({"angles"});
    EXPECT_EQ(plugin.out(), "heading 1.25 pitch -0.5\n");
}

// A plug-in that runs as a process of its own records its paint program: the link's
// peer lives on after the plug-in's process has ended, until the paint program ends.
TEST_F(CInterfaceTest, RecordsTheParentAsThePeer) {
    const Beacon quit;
    const pid_t paintProgram = runChild([&] {
        CPlugin plugin({"--parent", "receive"});
        if (plugin.exitCode() != 0) return 1;
        return quit.await() ? 0 : 2;
    });
    for (int i = 0; i < 500 && app->record().pluginProcessId == 0; ++i) usleep(10000);
    ASSERT_EQ(app->record().pluginProcessId, static_cast<std::uint32_t>(paintProgram));
    ASSERT_GE(app->peerProcess(), 0);
    streamView(20, 10, 0, 0);
    // The plug-in closes its end and ends; the paint program still runs, so nothing but
    // input ends the wait.
    const Beacon input;
    ASSERT_TRUE(input.send());
    EXPECT_FALSE(app->waitToRead(input.descriptor()));
    EXPECT_EQ(app->record().command, LinkCommand::idle);
    ASSERT_TRUE(quit.send());
    EXPECT_FALSE(app->waitToRead());
    EXPECT_EQ(app->record().command, LinkCommand::peerEnded);
    EXPECT_EQ(exitCodeOf(paintProgram), 0);
}

TEST(CInterface, RefusesUnusableRequests) {
    LinkEnvironment environment;
    std::unique_ptr<PaintLink> app;
    ASSERT_EQ(PaintLink::openAsApplication(app), nullptr);
    const pid_t plugin = runChild([] {
        DomecastLink* link = nullptr;
        if (domecast_link_open(&link, 0) != nullptr) return 100;
        const std::uint8_t pixels[12] = {};
        DomecastPicture pictures[] = {
            {nullptr, 2, 2, 3, 6},  // no pixels
            {pixels, 2, 2, 2, 6},   // two bytes a pixel
            {pixels, 2, 2, 3, 5},   // rows shorter than the width
            {pixels, 20000, 1, 3, 60000},  // wider than the link carries
        };
        int refused = 0;
        for (DomecastPicture& p : pictures) {
            DomecastRequest request;
            domecast_request_init(&request);
            request.picture = &p;
            refused += domecast_link_send(link, &request) == DOMECAST_BAD_REQUEST;
        }
        DomecastRequest badMask;
        domecast_request_init(&badMask);
        badMask.mask_mode = 3;
        refused += domecast_link_send(link, &badMask) == DOMECAST_BAD_REQUEST;
        refused += domecast_link_send(nullptr, &badMask) == DOMECAST_BAD_REQUEST;
        domecast_link_close(link);
        return refused;
    });
    EXPECT_EQ(exitCodeOf(plugin), 6);
    // Nothing was written.
    EXPECT_FALSE(app->isSignalled(LinkEvent::pluginWrite));
    EXPECT_FALSE(app->tryToRead());
}

TEST(CInterface, ViewMarkerOfAPicture) {
    EXPECT_EQ(domecast_view_marker(1.25f, -0.5f), 0x67F099u);
    // 3 x 2 RGBA with two bytes of row padding.
    std::uint8_t pixels[2 * 14] = {};
    const DomecastPicture picture{pixels, 3, 2, 4, 14};
    EXPECT_EQ(domecast_has_view_marker(&picture, 1.25f, -0.5f), 0);
    domecast_stamp_view_marker(pixels, 3, 2, 4, 14, 1.25f, -0.5f);
    EXPECT_EQ(domecast_has_view_marker(&picture, 1.25f, -0.5f), 1);
    EXPECT_EQ(domecast_has_view_marker(&picture, 0, 0), 0);
    const std::uint8_t corner[4] = {0x99, 0xF0, 0x67, 0};
    for (std::size_t offset : {0u, 8u, 14u, 22u}) EXPECT_EQ(std::memcmp(pixels + offset, corner, 4), 0) << offset;
    EXPECT_EQ(pixels[4], 0);  // the middle pixel of the top row
    EXPECT_EQ(domecast_has_view_marker(nullptr, 1.25f, -0.5f), 0);
}

TEST(CInterface, ReadsAStringSettingUserFirst) {
    TempDir folder;
    ScopedSettings settings(folder.path().string());
    std::filesystem::create_directories(folder.file("machine/domecast"));
    std::ofstream(folder.file("machine/domecast/domecast.conf"))
        << "[Domecast]\nPaintApp=/usr/bin/gimp\nDocPath=/usr/share/doc/domecast\nshiftAmount=45\n";
    writeStringSetting("PaintApp", "/opt/paint/bin/paint");
    struct Case {
        const char* name;
        std::size_t size;
        int result;
        const char* value;
    };
    const Case cases[] = {
        {"PaintApp", 64, 1, "/opt/paint/bin/paint"},   // the user's value shadows the machine's
        {"DocPath", 64, 1, "/usr/share/doc/domecast"},  // only the machine has it
        {"shiftAmount", 64, 1, "45"},                   // a number's text
        {"Missing", 64, 0, ""},
        {"DocPath", 23, -1, ""},                        // one byte short of the terminator
        {"DocPath", 24, 1, "/usr/share/doc/domecast"},
    };
    for (const Case& c : cases) {
        char value[64];
        std::memset(value, 'x', sizeof value);
        EXPECT_EQ(domecast_read_setting(c.name, value, c.size), c.result) << c.name << " in " << c.size;
        EXPECT_STREQ(value, c.value) << c.name;
    }
    CPlugin plugin({"setting", "PaintApp"});
    EXPECT_EQ(plugin.out(), "/opt/paint/bin/paint\n");
}
