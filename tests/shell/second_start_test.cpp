// A second start hands its command line to the running editor: the datagram it sends,
// how the editor reads what arrives, and an editor that cannot be reached.
#include "shell/second_start.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "link/link_names.h"
#include "support/link_environment.h"
#include "support/scoped_env.h"

namespace {

using Kind = HandOver::Kind;

TEST(HandOverMessage, ParsesOnlyTheTwoFormsWithAnAbsolutePath) {
    const std::string longest(handOverLimit - 7, 'a');  // "OPEN /" + name + "\n" fills the limit
    struct Case {
        std::string datagram;
        std::optional<HandOver> parsed;
    } cases[] = {
        {"RAISE\n", HandOver{Kind::raise, {}}},
        {"OPEN /home/u/sky_FR.tga\n", HandOver{Kind::open, "/home/u/sky_FR.tga"}},
        {"OPEN /with space/and \"quote\".png\n", HandOver{Kind::open, "/with space/and \"quote\".png"}},
        {"OPEN /" + longest + "\n", HandOver{Kind::open, "/" + longest}},
        {"OPEN /" + longest + "a\n", std::nullopt},  // one byte over the limit
        {"RAISE", std::nullopt},
        {"RAISE\nRAISE\n", std::nullopt},
        {"raise\n", std::nullopt},
        {"OPEN sky_FR.tga\n", std::nullopt},  // relative: the sender resolves it
        {"OPEN \n", std::nullopt},
        {"OPEN /a\n/b\n", std::nullopt},
        {std::string("OPEN /a\0b\n", 10), std::nullopt},
        {"OPEN /a", std::nullopt},
        {"OPEN  /a\n", std::nullopt},
        {"", std::nullopt},
        {"\n", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parseHandOver(c.datagram), c.parsed) << c.datagram.substr(0, 40);
}

TEST(HandOverMessage, TheSenderResolvesThePathAgainstItsFolder) {
    const std::string here = std::filesystem::current_path().string();
    EXPECT_EQ(handOverMessage(""), "RAISE\n");
    EXPECT_EQ(handOverMessage("sky_FR.tga"), "OPEN " + here + "/sky_FR.tga\n");
    EXPECT_EQ(handOverMessage("/abs/sky.wrl"), "OPEN /abs/sky.wrl\n");
    // What the receiver would refuse is not sent at all.
    EXPECT_EQ(handOverMessage("/a\nb.png"), "");
    EXPECT_EQ(handOverMessage("/" + std::string(handOverLimit, 'a')), "");
    for (const char* file : {"", "sky_FR.tga", "/abs/sky.wrl"}) EXPECT_TRUE(parseHandOver(handOverMessage(file))) << file;
}

class HandOverLink : public ::testing::Test {
protected:
    LinkEnvironment environment;
    const std::string editorName = LinkNames::current().editor;
};

TEST_F(HandOverLink, TheRunningEditorReceivesEachRequestAndDropsWhatDoesNotParse) {
    HandOverSocket editor;
    ASSERT_TRUE(editor.bind());
    EXPECT_FALSE(editor.receive());  // nothing queued: no wait

    EXPECT_EQ(sendHandOver(handOverMessage("/p/sky_FR.tga")), HandOverSent::delivered);
    // Hostile datagrams between them: too long for the buffer, and garbage.
    LocalSocket other;
    ASSERT_TRUE(other.open());
    const std::string huge = "OPEN /" + std::string(handOverLimit + 100, 'x') + "\n";
    ASSERT_EQ(other.sendTo(editorName, huge.data(), huge.size(), 0), static_cast<ssize_t>(huge.size()));
    ASSERT_EQ(other.sendTo(editorName, "OPEN rel\n", 9, 0), 9);
    EXPECT_EQ(sendHandOver(handOverMessage("")), HandOverSent::delivered);

    EXPECT_EQ(editor.receive(), (HandOver{Kind::open, "/p/sky_FR.tga"}));
    EXPECT_EQ(editor.receive(), (HandOver{Kind::raise, {}}));
    EXPECT_FALSE(editor.receive());
}

TEST_F(HandOverLink, AnEditorThatCannotBeReachedIsSaidSo) {
    // Nobody bound the name: ENOENT.
    EXPECT_EQ(sendHandOver("RAISE\n"), HandOverSent::unreachable);

    // A socket file left by an editor that ended without removing it: ECONNREFUSED.
    const std::string path = localSocketPath(editorName);
    ASSERT_FALSE(path.empty());
    {
        UniqueFd stale(::socket(AF_UNIX, SOCK_DGRAM, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(stale.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    }
    EXPECT_EQ(sendHandOver("RAISE\n"), HandOverSent::unreachable);

    // The next editor takes the name over from the stale file.
    HandOverSocket editor;
    ASSERT_TRUE(editor.bind());
    EXPECT_EQ(sendHandOver("RAISE\n"), HandOverSent::delivered);
    EXPECT_EQ(sendHandOver(""), HandOverSent::unsendable);
}

TEST(EditorDisplay, NamesOfOneDisplayMatch) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {":1", ":1", true},          {":1", ":1.0", true},          {"unix:1", ":1.2", true},
        {":1", ":10", false},        {":1", ":2", false},           {"host:1", ":1", false},
        {"host:1.0", "host:1", true}, {"wayland-0", "wayland-0", true}, {"wayland-0", ":0", false},
    };
    for (const Case& c : cases) EXPECT_EQ(sameDisplay(c.a, c.b), c.same) << c.a << " " << c.b;
}

TEST(EditorDisplay, TheToolkitsBackendChoosesTheName) {
    struct Case {
        const char* display;
        const char* wayland;
        const char* backend;
        std::string name;
    } cases[] = {
        {":3", nullptr, nullptr, ":3"},
        {":3", "wayland-1", nullptr, "wayland-1"},
        {":3", "wayland-1", "x11", ":3"},
        {":3", "wayland-1", "wayland", "wayland-1"},
        {nullptr, nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        ScopedEnv display("DISPLAY", c.display), wayland("WAYLAND_DISPLAY", c.wayland),
            backend("GDK_BACKEND", c.backend);
        EXPECT_EQ(currentDisplayName(), c.name) << c.name;
    }
}

TEST_F(HandOverLink, TheRunningEditorRecordsItsDisplayWhileItRuns) {
    EXPECT_EQ(runningEditorDisplay(), std::nullopt);
    {
        HandOverSocket editor;
        ASSERT_TRUE(editor.bind(":7"));
        EXPECT_EQ(runningEditorDisplay(), std::optional<std::string>(":7"));
    }
    EXPECT_EQ(runningEditorDisplay(), std::nullopt);
    {
        HandOverSocket editor;
        ASSERT_TRUE(editor.bind(""));  // no display known: no record
        EXPECT_EQ(runningEditorDisplay(), std::nullopt);
    }
    EXPECT_EQ(otherDisplayMessage(":7").rfind("Domecast is already running on display :7.\n", 0), 0u);
}

}  // namespace
