#include "link/paint_link.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/fsuid.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// Each plug-in holds the memory through a description of its own, so that the
// application sees whether one has its end open.
TEST_F(PaintLinkTest, ApplicationSeesWhetherAPluginHasItsEndOpen) {
    EXPECT_FALSE(app->pluginIsOpen());
    const Beacon opened, close, closed;
    const pid_t plugin = runChild([&] {
        std::unique_ptr<PaintLink> link;
        if (PaintLink::openAsPlugin(link) != nullptr) return 2;
        if (!opened.send() || !close.await()) return 3;
        link->close();
        return closed.send() && close.await() ? 0 : 4;
    });
    ASSERT_TRUE(opened.await());
    EXPECT_TRUE(app->pluginIsOpen());
    ASSERT_TRUE(close.send());
    ASSERT_TRUE(closed.await());
    // The handout's thread closes its copy of the plug-in's description just after sending
    // it; on a busy machine that may come a moment after the plug-in has closed its own.
    bool stillOpen = true;
    for (int i = 0; i < 200 && stillOpen; ++i) {
        stillOpen = app->pluginIsOpen();
        if (stillOpen) ::usleep(10'000);
    }
    EXPECT_FALSE(stillOpen);
    ASSERT_TRUE(close.send());
    EXPECT_EQ(exitCodeOf(plugin), 0);
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

namespace {
// The names earlier versions gave the record and the events in /dev/shm, which every
// user shares.
std::vector<std::string> oldSharedMemoryNames(const std::string& base) {
    const std::string uid = "." + std::to_string(getuid());
    std::vector<std::string> names = {"/" + base + uid};
    for (const char* event : {"pluginCancel", "appCancel", "pluginRead", "pluginWrite", "appRead", "appWrite"})
        names.push_back("/" + base + "_" + event + uid);
    return names;
}

std::vector<std::string> sharedMemoryStartingWith(const std::string& base) {
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error))
        if (entry.path().filename().string().starts_with(base)) found.push_back(entry.path().filename().string());
    return found;
}

// Turns a forked child into the user nobody; false when that is not possible.
bool becomeNobody() { return setgroups(0, nullptr) == 0 && setresgid(65534, 65534, 65534) == 0 && setresuid(65534, 65534, 65534) == 0; }
}  // namespace

// Whoever takes the names earlier versions used, in the folder all users share, neither
// stops the application nor sees the link: it keeps nothing there.
TEST(PaintLinkStart, OldSharedMemoryNamesTakenFirstChangeNothing) {
    std::vector<uid_t> owners = {geteuid()};
    // Only a privileged test run can plant objects as another user.
    if (geteuid() == 0) owners.push_back(65534);
    for (const uid_t owner : owners) {
        LinkEnvironment environment;
        const std::vector<std::string> names = oldSharedMemoryNames(environment.name());
        const pid_t planter = runChild([&] {
            if (owner != geteuid() && !becomeNobody()) return 2;
            for (const std::string& name : names) {
                const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
                if (fd < 0 || fchmod(fd, 0666) != 0 || ftruncate(fd, sizeof(LinkRecord)) != 0) return 3;
                const std::vector<char> garbage(sizeof(LinkRecord), '\x5a');
                if (write(fd, garbage.data(), garbage.size()) != static_cast<ssize_t>(garbage.size())) return 4;
                close(fd);
            }
            return 0;
        });
        ASSERT_EQ(exitCodeOf(planter), 0) << owner;
        std::vector<std::string> planted = sharedMemoryStartingWith(environment.name());
        ASSERT_EQ(planted.size(), names.size()) << owner;

        std::unique_ptr<PaintLink> link;
        EXPECT_STREQ(PaintLink::openAsPlugin(link), notRunning) << owner;
        std::unique_ptr<PaintLink> app;
        ASSERT_EQ(PaintLink::openAsApplication(app), nullptr) << owner;
        const pid_t plugin = runChild([] { return sendPattern(LinkCommand::applyImage, 300, 20); });
        for (int tile = 0; tile < 2; ++tile) {
            ASSERT_TRUE(app->waitToRead()) << owner;
            EXPECT_TRUE(tileHoldsPattern(app->received().tilePixels, app->received().tileRect)) << owner;
            app->doneReading();
        }
        EXPECT_EQ(exitCodeOf(plugin), 0) << owner;
        EXPECT_EQ(sharedMemoryStartingWith(environment.name()), planted) << owner;
        for (const std::string& name : names) {
            std::ifstream object("/dev/shm" + name, std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(object)), std::istreambuf_iterator<char>());
            EXPECT_EQ(bytes, std::string(sizeof(LinkRecord), '\x5a')) << name;
        }
        app.reset();
        for (const std::string& name : names) shm_unlink(name.c_str());
    }
}

// A process of another user that reaches the link's socket anyway (here with the
// folder's permissions lifted for its file accesses only) gets no memory, and the link
// carries on for this user's plug-in.
TEST_F(PaintLinkTest, APeerOfAnotherUserIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run a process as another user";
    const std::string socketPath = localSocketPath(LinkNames::current().link);
    ASSERT_FALSE(socketPath.empty());
    const pid_t stranger = runChild([&] {
        // The real and effective user is nobody, as the kernel records it at connect;
        // file accesses still count as root's, so that the 0700 folder does not stop it.
        if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 0) != 0 || setresuid(65534, 65534, 0) != 0)
            return 2;
        setfsuid(0);
        if (static_cast<uid_t>(setfsuid(static_cast<uid_t>(-1))) != 0) return 3;
        const int socket = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size());
        if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return 4;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
        char data[64];
        iovec part{data, sizeof data};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(socket, &message, 0);
        // Closed without a word and without a descriptor.
        return n == 0 && CMSG_FIRSTHDR(&message) == nullptr ? 0 : 5;
    });
    EXPECT_EQ(exitCodeOf(stranger), 0);
    EXPECT_EQ(app->record().pluginProcessId, 0u);
    EXPECT_TRUE(app->isSignalled(LinkEvent::appRead));
    for (const LinkEvent e : {LinkEvent::pluginRead, LinkEvent::pluginWrite, LinkEvent::pluginCancel})
        EXPECT_FALSE(app->isSignalled(e));

    const pid_t plugin = runChild([] { return sendPattern(LinkCommand::applyAndShow, 0, 0); });
    ASSERT_TRUE(app->waitToRead());
    EXPECT_EQ(app->received().command, LinkCommand::applyAndShow);
    app->doneReading();
    EXPECT_EQ(exitCodeOf(plugin), 0);
}

// With no private folder for its sockets the application refuses to start: another user
// could take the link's socket first. Run as a user of its own whose fallback folder
// others may write to.
TEST(PaintLinkStart, AFolderOthersMayWriteToIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run a process as another user";
    LinkEnvironment environment;
    const uid_t user = 61000 + static_cast<uid_t>(getpid() % 1000);
    const std::string folder = "/tmp/domecast-" + std::to_string(user);
    std::filesystem::remove_all(folder);
    ASSERT_EQ(mkdir(folder.c_str(), 0777), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
    ASSERT_EQ(chown(folder.c_str(), user, user), 0);
    const std::string expected =
        "Domecast couldn't create or open shared memory.\n\nTry closing some other applications and "
        "restarting\nboth Domecast and your paint program.\n\n" +
        folder + "\nThe folder must be yours, with mode 0700 (drwx------).";
    const pid_t child = runChild([&] {
        unsetenv("XDG_RUNTIME_DIR");
        if (setgroups(0, nullptr) != 0 || setresgid(user, user, user) != 0 || setresuid(user, user, user) != 0)
            return 2;
        std::unique_ptr<PaintLink> link;
        const char* message = PaintLink::openAsApplication(link);
        return message != nullptr && message == expected && !link ? 0 : 3;
    });
    EXPECT_EQ(exitCodeOf(child), 0);
    std::filesystem::remove_all(folder);
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
