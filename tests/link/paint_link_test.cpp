#include "link/paint_link.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/debug_print_listener.h"
#include "platform/local_socket.h"
#include "link/link_names.h"
#include "link/tile_transfer.h"
#include "platform/image_types.h"
#include "support/link_environment.h"

namespace {
const char* const alreadyRunning =
    "Domecast is already running.\n\nOnly one copy of Domecast may run at a time for each user.\n\n"
    "If you can't find its window, look on your other workspaces;\nif it does not answer, end it "
    "with \"pkill -x domecast\"\nand start Domecast again.";
const char* const notRunning =
    "Domecast is not running; command cancelled.\n\nStart Domecast before choosing this\nplug-in "
    "command.";

struct Rect {
    int top, left, bottom, right;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The plug-in's half of a transfer: every tile of a width x height pattern (or one bare
// exchange), then the link is closed at once, as a plug-in does.
int sendPattern(std::int32_t command, int width, int height) {
    std::unique_ptr<PaintLink> link;
    if (PaintLink::openAsPlugin(link) != nullptr) return 2;
    PluginCommand header;
    header.command = command;
    header.maskMode = 2;
    header.heading = 0.5f;
    header.pitch = -0.25f;
    header.width = width;
    header.height = height;
    TileSender sender(*link, header, width > 0 && height > 0 ? patternSource() : nullptr);
    if (sender.run() != TransferStatus::done) return 3;
    link->close();
    return 0;
}

// The plug-in's half of a view transfer: follows the tile order itself over the size
// the first tile announces; checks every tile and the angles of the last.
int receivePattern(float heading, float pitch, const Beacon& opened) {
    std::unique_ptr<PaintLink> link;
    if (PaintLink::openAsPlugin(link) != nullptr) return 2;
    if (!opened.send()) return 7;
    int failure = 0;
    TileReceiver receiver(*link, [&](const ReceivedTile& t) {
        if (failure == 0 && !tileHoldsPattern(t.record.tilePixels, t.tile)) failure = 4;
        if (!t.last || failure != 0) return;
        if (t.record.heading != heading || t.record.pitch != pitch) failure = 5;
        else if (t.tile.right != t.record.imageWidth || t.tile.bottom != t.record.imageHeight) failure = 6;
    });
    if (receiver.run() != TransferStatus::done) return 3;
    return failure;
}

void expectIdle(const PaintLink& link) {
    EXPECT_TRUE(link.isSignalled(LinkEvent::appRead));
    EXPECT_TRUE(link.isSignalled(LinkEvent::pluginRead));
    EXPECT_FALSE(link.isSignalled(LinkEvent::appWrite));
    EXPECT_FALSE(link.isSignalled(LinkEvent::pluginWrite));
    EXPECT_FALSE(link.isSignalled(LinkEvent::appCancel));
    EXPECT_FALSE(link.isSignalled(LinkEvent::pluginCancel));
}

bool idleFromChild(const PaintLink& link) {
    return link.isSignalled(LinkEvent::appRead) && link.isSignalled(LinkEvent::pluginRead) &&
           !link.isSignalled(LinkEvent::appWrite) && !link.isSignalled(LinkEvent::pluginWrite) &&
           !link.isSignalled(LinkEvent::appCancel) && !link.isSignalled(LinkEvent::pluginCancel);
}

using PaintLinkTest = LinkApplicationTest;
}  // namespace

TEST_F(PaintLinkTest, ApplicationCreatesAnIdleRecord) {
    const LinkRecord& r = app->record();
    EXPECT_EQ(r.version, 100);
    EXPECT_EQ(r.appProcessId, static_cast<std::uint32_t>(getpid()));
    EXPECT_EQ(r.pluginProcessId, 0u);
    EXPECT_EQ(r.command, 0);
    EXPECT_TRUE(app->isSignalled(LinkEvent::appRead));
    EXPECT_FALSE(app->isSignalled(LinkEvent::pluginRead));
    EXPECT_EQ(app->peerProcess(), -1);
}

TEST_F(PaintLinkTest, PluginSendsTilesToTheApplication) {
    struct Case {
        int width, height;
        std::vector<Rect> tiles;
    };
    const Case cases[] = {
        {300, 200, {{0, 0, 200, 256}, {0, 256, 200, 300}}},
        {256, 300, {{0, 0, 256, 256}, {256, 0, 300, 256}}},
        {0, 0, {{0, 0, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const pid_t plugin = runChild([&] { return sendPattern(20, c.width, c.height); });
        std::vector<Rect> tiles;
        TileReceiver receiver(*app, [&](const ReceivedTile& received) {
            const LinkRecord& r = received.record;
            const TileRect t = received.tile;
            tiles.push_back({t.top, t.left, t.bottom, t.right});
            EXPECT_EQ(r.command, 20);
            EXPECT_EQ(r.maskMode, 2);
            EXPECT_EQ(r.heading, 0.5f);
            EXPECT_EQ(r.pitch, -0.25f);
            EXPECT_TRUE(tileHoldsPattern(r.tilePixels, t));
            EXPECT_EQ(received.last, isLastTile(r.imageWidth, r.imageHeight, t));
            EXPECT_EQ(isFirstTile(t), tiles.size() == 1);
            EXPECT_EQ(received.first, tiles.size() == 1);
        });
        ASSERT_EQ(receiver.run(), TransferStatus::done);
        EXPECT_EQ(tiles, c.tiles);
        EXPECT_EQ(app->record().readDone, 1);
        EXPECT_EQ(exitCodeOf(plugin), 0);
        // The plug-in's process has gone: the next wait notices, and the link is idle again.
        if (app->peerProcess() >= 0) {
            EXPECT_FALSE(app->waitToRead());
            EXPECT_EQ(app->record().command, LinkCommand::peerEnded);
        }
        app->record().command = LinkCommand::idle;
    }
}

TEST_F(PaintLinkTest, ACommandWrittenJustBeforeThePluginClosesSurvives) {
    const pid_t plugin = runChild([] { return sendPattern(LinkCommand::applyAndShow, 0, 0); });
    ASSERT_EQ(exitCodeOf(plugin), 0);
    // Already written: the check without waiting finds it.
    ASSERT_TRUE(app->tryToRead());
    EXPECT_EQ(app->received().command, LinkCommand::applyAndShow);
    EXPECT_TRUE(app->isFirstTile());
    EXPECT_TRUE(app->isLastTile());
    app->doneReading();
}

TEST_F(PaintLinkTest, ApplicationStreamsAViewToThePlugin) {
    const Size sizes[] = {{300, 200}, {256, 300}, {0, 0}};
    for (const Size& size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
        app->setImageSize(size.width, size.height);
        app->setViewAngles(0, 0);
        app->firstTile();
        // A view is streamed only to a plug-in that is there: the idle link's pluginRead
        // would otherwise let the first tile be overwritten before anybody reads it.
        const Beacon opened;
        const pid_t plugin = runChild([&] { return receivePattern(1.25f, -0.5f, opened); });
        ASSERT_TRUE(opened.await());
        TileSender sender(*app, 1.25f, -0.5f, patternSource());
        ASSERT_EQ(sender.run(), TransferStatus::done);
        const int tiles = sender.tilesSent();
        EXPECT_EQ(tiles, size.width == 256 || size.width == 300 ? 2 : 1);
        EXPECT_EQ(exitCodeOf(plugin), 0);
        // The plug-in's death, noticed by the next wait, returns the link to idle.
        while (app->waitToWrite()) {
        }
        EXPECT_EQ(app->record().command, LinkCommand::peerEnded);
        expectIdle(*app);
        app->record().command = LinkCommand::idle;
    }
}

TEST_F(PaintLinkTest, PluginCancels) {
    const pid_t plugin = runChild([] {
        std::unique_ptr<PaintLink> link;
        if (PaintLink::openAsPlugin(link) != nullptr) return 2;
        link->cancel();
        return 0;
    });
    EXPECT_FALSE(app->waitToRead());
    EXPECT_EQ(app->record().command, LinkCommand::cancelled);
    expectIdle(*app);
    EXPECT_EQ(exitCodeOf(plugin), 0);
}

TEST_F(PaintLinkTest, ApplicationCancels) {
    app->cancel();
    const pid_t plugin = runChild([] {
        std::unique_ptr<PaintLink> link;
        if (PaintLink::openAsPlugin(link) != nullptr) return 2;
        if (link->waitToRead()) return 3;
        if (link->record().command != LinkCommand::cancelled) return 4;
        return idleFromChild(*link) ? 0 : 5;
    });
    EXPECT_EQ(exitCodeOf(plugin), 0);
    expectIdle(*app);
}

TEST_F(PaintLinkTest, KilledPluginEndsTheWait) {
    const Beacon opened;
    const pid_t plugin = runChild([&] {
        std::unique_ptr<PaintLink> link;
        if (PaintLink::openAsPlugin(link) != nullptr) return 2;
        if (!opened.send()) return 3;
        for (;;) pause();
    });
    ASSERT_TRUE(opened.await());
    ASSERT_EQ(app->record().pluginProcessId, static_cast<std::uint32_t>(plugin));
    std::thread killer([plugin] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        kill(plugin, SIGKILL);
    });
    EXPECT_FALSE(app->waitToRead());
    killer.join();
    EXPECT_EQ(app->record().command, LinkCommand::peerEnded);
    EXPECT_EQ(app->record().pluginProcessId, 0u);
    expectIdle(*app);
    EXPECT_EQ(exitCodeOf(plugin), 128 + SIGKILL);
}

TEST_F(PaintLinkTest, PluginThatEndedBeforeTheWaitIsNoticed) {
    const pid_t plugin = runChild([] {
        std::unique_ptr<PaintLink> link;
        if (PaintLink::openAsPlugin(link) != nullptr) return 2;
        _exit(0);  // gone without closing, as a crash leaves it
    });
    ASSERT_EQ(exitCodeOf(plugin), 0);
    ASSERT_EQ(app->record().pluginProcessId, static_cast<std::uint32_t>(plugin));
    EXPECT_FALSE(app->waitToRead());
    EXPECT_EQ(app->record().command, LinkCommand::peerEnded);
    EXPECT_EQ(app->record().pluginProcessId, 0u);
    expectIdle(*app);
}

// A plug-in that opens before the end of the one before it was noticed is the peer from
// then on: the old end takes neither its id nor its transfer.
TEST_F(PaintLinkTest, APluginThatFollowsAnUnnoticedEndIsThePeer) {
    const Beacon firstOpened, watched;
    const pid_t first = runChild([&] {
        std::unique_ptr<PaintLink> link;
        if (PaintLink::openAsPlugin(link) != nullptr) return 2;
        // Open until the application watches it, then closed as a plug-in closes.
        return firstOpened.send() && watched.await() ? 0 : 3;
    });
    ASSERT_TRUE(firstOpened.await());
    EXPECT_FALSE(app->tryToRead());
    ASSERT_TRUE(watched.send());
    ASSERT_EQ(exitCodeOf(first), 0);

    const Beacon opened, goOn;
    const pid_t second = runChild([&] {
        std::unique_ptr<PaintLink> link;
        if (PaintLink::openAsPlugin(link) != nullptr) return 2;
        if (!opened.send() || !goOn.await()) return 3;
        PluginCommand command;
        command.width = 40;
        command.height = 30;
        TileSender sender(*link, command, TileSource{});
        return sender.run() == TransferStatus::done ? 0 : 4;
    });
    ASSERT_TRUE(opened.await());
    EXPECT_FALSE(app->tryToRead());
    EXPECT_EQ(app->abandonedWith(), LinkCommand::idle);
    EXPECT_EQ(app->record().pluginProcessId, static_cast<std::uint32_t>(second));
    ASSERT_TRUE(goOn.send());
    ASSERT_TRUE(app->waitToRead());
    EXPECT_EQ(app->received().imageWidth, 40);
    app->doneReading();
    EXPECT_EQ(exitCodeOf(second), 0);
}

// An event loop sleeps on the link's descriptors and checks without waiting when one of
// them is ready.
TEST_F(PaintLinkTest, DescriptorsWakeAnEventLoop) {
    const Beacon opened, go;
    const pid_t plugin = runChild([&] {
        std::unique_ptr<PaintLink> link;
        if (PaintLink::openAsPlugin(link) != nullptr) return 2;
        if (!opened.send() || !go.await()) return 3;
        if (!link->waitToWrite()) return 4;
        link->record().command = LinkCommand::applyImage;
        link->record().tileRect = TileRect{0, 0, 0, 0};
        link->doneWriting();
        if (!go.await()) return 5;
        _exit(0);  // still recorded as the peer: its end must wake the loop too
    });
    ASSERT_TRUE(opened.await());
    EXPECT_FALSE(app->tryToRead());  // the open rang the bell; nothing to read yet
    ASSERT_TRUE(go.send());
    pollfd bell{app->bellDescriptor(), POLLIN, 0};
    ASSERT_EQ(poll(&bell, 1, 10000), 1);
    ASSERT_TRUE(app->tryToRead());
    EXPECT_EQ(app->received().command, LinkCommand::applyImage);
    app->doneReading();

    ASSERT_GE(app->peerDescriptor(), 0);
    ASSERT_TRUE(go.send());
    pollfd peer{app->peerDescriptor(), POLLIN, 0};
    ASSERT_EQ(poll(&peer, 1, 10000), 1);
    EXPECT_FALSE(app->tryToRead());
    EXPECT_EQ(app->record().command, LinkCommand::peerEnded);
    EXPECT_EQ(exitCodeOf(plugin), 0);
}

TEST_F(PaintLinkTest, InputEndsTheWaitWithoutChangingAnything) {
    const Beacon input;
    ASSERT_TRUE(input.send());
    EXPECT_FALSE(app->waitToRead(input.descriptor()));
    EXPECT_EQ(app->record().command, LinkCommand::idle);
    EXPECT_TRUE(app->isSignalled(LinkEvent::appRead));
    EXPECT_FALSE(app->tryToRead());
}

TEST_F(PaintLinkTest, SecondApplicationIsRefused) {
    std::unique_ptr<PaintLink> second;
    const char* message = PaintLink::openAsApplication(second);
    ASSERT_NE(message, nullptr);
    EXPECT_STREQ(message, alreadyRunning);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(app->record().appProcessId, static_cast<std::uint32_t>(getpid()));
    EXPECT_EQ(app->record().version, 100);

    // Also from another process, where the lock is not inherited.
    const pid_t other = runChild([] {
        std::unique_ptr<PaintLink> link;
        const char* text = PaintLink::openAsApplication(link);
        return text != nullptr && std::strcmp(text, alreadyRunning) == 0 && !link ? 0 : 1;
    });
    EXPECT_EQ(exitCodeOf(other), 0);
    EXPECT_TRUE(app->isSignalled(LinkEvent::appRead));
}

TEST_F(PaintLinkTest, HostileTransfersAreRefused) {
    struct Case {
        const char* what;
        void (*spoil)(LinkRecord&);
    };
    static const Case cases[] = {
        {"tile outside the image", [](LinkRecord& r) { r.tileRect = TileRect{0, 200, 100, 301}; }},
        {"tile over 256 wide",
         [](LinkRecord& r) {
             r.imageWidth = 4000;
             r.tileRect = TileRect{0, 0, 1, 4000};
         }},
        {"negative size", [](LinkRecord& r) { r.imageHeight = -1; }},
        {"absurd size", [](LinkRecord& r) { r.imageWidth = 1 << 30; }},
        {"unterminated template",
         [](LinkRecord& r) {
             r.command = LinkCommand::newFromTemplate;
             std::memset(r.templatePath, 'x', sizeof r.templatePath);
         }},
        {"unknown command", [](LinkRecord& r) { r.command = 99; }},
    };
    // The plug-in writes each transfer when told to, so that the idle state after each
    // refusal can be seen before the next transfer begins.
    const Beacon go;
    const pid_t plugin = runChild([&] {
        std::unique_ptr<PaintLink> link;
        if (PaintLink::openAsPlugin(link) != nullptr) return 2;
        for (std::size_t i = 0; i <= std::size(cases); ++i) {
            if (!go.await()) return 4;
            if (!link->waitToWrite()) return 3;
            LinkRecord& r = link->record();
            r.command = LinkCommand::applyImage;
            r.hasImage = 1;
            r.imageWidth = 300;
            r.imageHeight = 100;
            r.tileRect = TileRect{0, 0, 100, 256};
            std::memset(r.templatePath, 0, sizeof r.templatePath);
            if (i < std::size(cases)) cases[i].spoil(r);
            link->doneWriting();
        }
        return 0;
    });
    for (const Case& c : cases) {
        ASSERT_TRUE(go.send());
        EXPECT_FALSE(app->waitToRead()) << c.what;
        EXPECT_EQ(app->record().command, LinkCommand::cancelled) << c.what;
        expectIdle(*app);
        app->record().command = LinkCommand::idle;
    }
    // The link is usable again: a sound transfer after them is accepted.
    ASSERT_TRUE(go.send());
    ASSERT_TRUE(app->waitToRead());
    EXPECT_EQ(app->received().command, LinkCommand::applyImage);
    app->doneReading();
    EXPECT_EQ(exitCodeOf(plugin), 0);
}

TEST_F(PaintLinkTest, TemplatePathIsABoundedCopy) {
    app->setTemplatePath("/tmp/a.bmp");
    EXPECT_STREQ(app->record().templatePath, "/tmp/a.bmp");
    EXPECT_EQ(app->record().templatePath[259], 0);
    const std::string longPath(300, 'p');
    app->setTemplatePath(longPath.c_str());
    EXPECT_EQ(std::string(app->record().templatePath, 260), longPath.substr(0, 260));
    EXPECT_EQ(app->record().imageWidth, 0);  // the field after it is untouched
    app->setTemplatePath("/b");
    EXPECT_EQ(std::memcmp(app->record().templatePath, "/b\0\0\0", 5), 0);
}

TEST_F(PaintLinkTest, PluginRefusesARecordOfAnotherVersion) {
    app->record().version = 99;
    const pid_t plugin = runChild([] {
        std::unique_ptr<PaintLink> link;
        const char* text = PaintLink::openAsPlugin(link);
        return text != nullptr &&
                       std::strcmp(text, "Domecast plugin version mismatch.\nTry removing, then "
                                         "re-installing Domecast.") == 0 && !link
                   ? 0
                   : 1;
    });
    EXPECT_EQ(exitCodeOf(plugin), 0);
    EXPECT_EQ(app->record().pluginProcessId, 0u);
    EXPECT_FALSE(app->isSignalled(LinkEvent::pluginRead));
}

TEST(PaintLinkStart, PluginWithoutApplication) {
    LinkEnvironment environment;
    std::unique_ptr<PaintLink> link;
    EXPECT_STREQ(PaintLink::openAsPlugin(link), notRunning);
    EXPECT_EQ(link, nullptr);
}

TEST(PaintLinkStart, ClosingRemovesTheObjects) {
    LinkEnvironment environment;
    std::unique_ptr<PaintLink> app;
    ASSERT_EQ(PaintLink::openAsApplication(app), nullptr);
    app->close();
    std::unique_ptr<PaintLink> plugin;
    EXPECT_STREQ(PaintLink::openAsPlugin(plugin), notRunning);
    ASSERT_EQ(PaintLink::openAsApplication(app), nullptr);
}

// The door bells of killed processes are swept when the application starts; a plug-in's
// bell that is still bound stays.
TEST(PaintLinkStart, DoorBellsOfKilledProcessesAreSwept) {
    LinkEnvironment environment;
    const std::string prefix = LinkNames::current().bellPrefix;
    const Beacon bound;
    std::vector<pid_t> killed;
    for (int i = 0; i < 3; ++i) {
        killed.push_back(runChild([&] {
            LocalSocket bell;
            if (bell.bind(prefix + std::to_string(::getpid())) != LocalSocket::BindResult::bound) return 2;
            if (!bound.send()) return 3;
            for (;;) pause();
        }));
        ASSERT_TRUE(bound.await());
    }
    LocalSocket live;
    ASSERT_EQ(live.bind(prefix + "live"), LocalSocket::BindResult::bound);
    for (const pid_t child : killed) {
        kill(child, SIGKILL);
        EXPECT_EQ(exitCodeOf(child), 128 + SIGKILL);
        EXPECT_TRUE(std::filesystem::exists(localSocketPath(prefix + std::to_string(child))));
    }

    std::unique_ptr<PaintLink> app;
    ASSERT_EQ(PaintLink::openAsApplication(app), nullptr);
    for (const pid_t child : killed) EXPECT_FALSE(std::filesystem::exists(localSocketPath(prefix + std::to_string(child))));
    EXPECT_TRUE(std::filesystem::exists(localSocketPath(prefix + "live")));
    EXPECT_TRUE(std::filesystem::exists(localSocketPath(prefix + std::to_string(::getpid()))));
}

TEST(PaintLinkStart, RecordOfACrashedApplicationIsRecovered) {
    LinkEnvironment environment;
    const Beacon opened;
    const pid_t crashed = runChild([&] {
        std::unique_ptr<PaintLink> link;
        if (PaintLink::openAsApplication(link) != nullptr) return 2;
        link->record().command = LinkCommand::rotate;
        if (!opened.send()) return 3;
        for (;;) pause();
    });
    ASSERT_TRUE(opened.await());
    kill(crashed, SIGKILL);
    EXPECT_EQ(exitCodeOf(crashed), 128 + SIGKILL);

    std::unique_ptr<PaintLink> plugin;
    EXPECT_STREQ(PaintLink::openAsPlugin(plugin), notRunning);
    std::unique_ptr<PaintLink> app;
    ASSERT_EQ(PaintLink::openAsApplication(app), nullptr);
    EXPECT_EQ(app->record().appProcessId, static_cast<std::uint32_t>(getpid()));
    EXPECT_EQ(app->record().command, LinkCommand::idle);
    EXPECT_TRUE(app->isSignalled(LinkEvent::appRead));
}

// Objects left in /dev/shm (where shared-memory names live) by somebody else, or by a
// crash halfway through making the record.
TEST(PaintLinkStart, ObjectsNotMadeByTheApplication) {
    const char* const cannotCreate =
        "Domecast couldn't create or open shared memory.\n\nTry closing some other "
        "applications and restarting\nboth Domecast and your paint program.";
    struct Case {
        const char* what;
        std::size_t size;
        std::filesystem::perms mode;
        uid_t owner;
        const char* pluginMessage;
        const char* appReason;  // null: the application starts
    };
    // Only a privileged test run can plant an object of another user.
    const bool privileged = geteuid() == 0;
    std::vector<Case> cases = {
        // This user's own record left with a wrong mode is stale like any other.
        {"readable by others", sizeof(LinkRecord), std::filesystem::perms(0644), geteuid(), notRunning, nullptr},
        {"truncated", 64, std::filesystem::perms(0600), geteuid(),
         "Domecast plugin version mismatch.\nTry removing, then re-installing Domecast.", nullptr},
    };
    if (privileged)
        cases.push_back({"another user's", sizeof(LinkRecord), std::filesystem::perms(0600), 65534, notRunning,
                         "It belongs to another user."});
    for (const Case& c : cases) {
        LinkEnvironment environment;
        const std::string object = "/" + environment.name() + "." + std::to_string(getuid());
        const std::string path = "/dev/shm" + object;
        {
            std::ofstream planted(path, std::ios::binary);
            const std::string zeros(c.size, '\0');
            planted.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
        }
        std::filesystem::permissions(path, c.mode);
        if (c.owner != geteuid()) {
            ASSERT_EQ(chown(path.c_str(), c.owner, c.owner), 0);
        }

        std::unique_ptr<PaintLink> link;
        EXPECT_STREQ(PaintLink::openAsPlugin(link), c.pluginMessage) << c.what;
        const char* message = PaintLink::openAsApplication(link);
        if (c.appReason == nullptr) {
            EXPECT_EQ(message, nullptr) << c.what;
            ASSERT_NE(link, nullptr);
            EXPECT_EQ(link->record().version, 100);
        } else {
            // The specified text first, then the object and the reason on lines of their own.
            EXPECT_EQ(std::string(message != nullptr ? message : ""),
                      std::string(cannotCreate) + "\n\n" + object + "\n" + c.appReason)
                << c.what;
            EXPECT_EQ(link, nullptr);
        }
        link.reset();
        std::filesystem::remove(path);
    }
}

TEST(PaintLinkTrace, PrintedOnlyWhenTheSwitchExists) {
    struct Case {
        bool switchSet;
        std::vector<std::string> app, plugin;
    };
    const Case cases[] = {
        {false, {}, {}},
        {true,
         {"App: waitToRead done", "App: doneReading finished", "App: waitToRead aborted"},
         {"Plugin: waitToWrite done", "Plugin: doneWriting finished"}},
    };
    for (const Case& c : cases) {
        LinkEnvironment environment;
        DebugPrintListener viewer(environment.name() + "_viewer");
        ASSERT_EQ(viewer.status(), DebugPrintListener::Status::listening);
        setenv("DOMECAST_DEBUGPRINT_SOCKET", (environment.name() + "_viewer").c_str(), 1);
        // An empty value counts: the switch is the variable's existence.
        if (c.switchSet) setenv("DOMECAST_DEBUG_IPC", "", 1);
        std::unique_ptr<PaintLink> app;
        ASSERT_EQ(PaintLink::openAsApplication(app), nullptr);
        const pid_t plugin = runChild([] { return sendPattern(LinkCommand::applyAndShow, 0, 0); });
        ASSERT_EQ(exitCodeOf(plugin), 0);
        ASSERT_TRUE(app->waitToRead());
        app->doneReading();
        // A cancel from a second plug-in, noticed by the next wait.
        const pid_t canceller = runChild([] {
            std::unique_ptr<PaintLink> link;
            if (PaintLink::openAsPlugin(link) != nullptr) return 2;
            link->cancel();
            return 0;
        });
        EXPECT_EQ(exitCodeOf(canceller), 0);
        EXPECT_FALSE(app->waitToRead());
        unsetenv("DOMECAST_DEBUG_IPC");

        std::vector<std::string> appLines, pluginLines;
        while (std::optional<std::string> line = viewer.receive())
            (line->starts_with("App: ") ? appLines : pluginLines).push_back(*line);
        EXPECT_EQ(appLines, c.app);
        EXPECT_EQ(pluginLines, c.plugin);
    }
}
