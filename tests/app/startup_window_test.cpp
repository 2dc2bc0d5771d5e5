// The editor's start and end: one instance at a time (a second start hands its file to
// the first), the link released at exit, a panorama file that cannot be read, the
// answers to --help and --version.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "link/link_names.h"
#include "platform/local_socket.h"
#include "support/editor_window.h"
#include "support/scripted_questions.h"

using namespace std::chrono_literals;

namespace {
// The test faces written as a "3DStudio, Targa" panorama, pano_FR.tga ... in folder.
std::string writeTargaPanorama(const TempDir& faces, const TempDir& folder) {
    const std::unique_ptr<PaintedSixImage> panorama = expectedPanorama(faces);
    panorama->fileName = folder.file("pano_FR.tga");
    panorama->layout = 0;
    EXPECT_EQ(panorama->write(), 0);
    return panorama->fileName;
}

// The running editor's socket, as this test's editors name it.
std::string editorSocket(const std::string& linkName) {
    ::setenv("DOMECAST_LINK_NAME", linkName.c_str(), 1);
    const std::string path = localSocketPath(LinkNames::current().editor);
    ::unsetenv("DOMECAST_LINK_NAME");
    return path;
}

// Runs the test from folder, so that the editors it starts resolve names against it.
class InFolder {
public:
    explicit InFolder(const std::filesystem::path& folder) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};
}  // namespace

TEST_F(EditorWindow, ASecondStartHandsItsFileToTheRunningEditorAndTheFirstReleasesTheLinkAtExit) {
    TempDir folder;
    const std::string pano = writeTargaPanorama(faces_, folder);
    auto first = start("first.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("first.txt"));
    const std::unique_ptr<PaintedSixImage> startUp = expectedPanorama(faces_);
    ASSERT_TRUE(viewShown(*startUp, 0, 0));

    // Without a file the running editor only comes to the front.
    auto raise = start("raise.txt");
    EXPECT_EQ(raise->waitFor(30s), std::optional<int>(0)) << readText(config_.file("raise.txt"));
    EXPECT_EQ(xdotool("getwindowname " + window), "Untitled [h=0\u00b0 v=0\u00b0] - Domecast");

    // A file named relative to the second start's folder is opened by the first editor.
    {
        InFolder here(folder.path());
        auto second = start("second.txt", "pano_FR.tga");
        EXPECT_EQ(second->waitFor(30s), std::optional<int>(0)) << readText(config_.file("second.txt"));
    }
    EXPECT_EQ(waitForTitle(window, "pano ["), "pano [h=0\u00b0 v=0\u00b0] - Domecast")
        << readText(config_.file("first.txt"));
    ScriptedQuestions questions;
    PaintedSixImage opened;
    opened.load(questions, -1, pano);
    viewShown(opened, 0, 0);
    EXPECT_EQ(findWindow(), window);  // no second window came up

    // An editor whose socket cannot be reached: the second start says the editor runs.
    const std::string socket = editorSocket(linkName_);
    ASSERT_TRUE(std::filesystem::is_socket(socket)) << socket;
    std::filesystem::remove(socket);
    auto refused = start("refused.txt", pano);
    EXPECT_EQ(refused->waitFor(30s), std::optional<int>(1));
    EXPECT_NE(readText(config_.file("refused.txt")).find("Domecast is already running."), std::string::npos)
        << readText(config_.file("refused.txt"));
    EXPECT_EQ(xdotool("getwindowname " + window), "pano [h=0\u00b0 v=0\u00b0] - Domecast");

    first->signal(SIGTERM);
    ASSERT_EQ(first->waitFor(20s), std::optional<int>(0)) << readText(config_.file("first.txt"));
    const std::string record = "/dev/shm/" + linkName_ + "." + std::to_string(::getuid());
    EXPECT_FALSE(std::filesystem::exists(record));

    // With the first one gone, a new editor starts, showing the file it is given.
    auto third = start("third.txt", pano);
    const std::string thirdWindow = findWindow();
    EXPECT_FALSE(thirdWindow.empty()) << readText(config_.file("third.txt"));
    viewShown(opened, 0, 0);
    third->signal(SIGTERM);
    EXPECT_EQ(third->waitFor(20s), std::optional<int>(0));
}

TEST(EditorCommandLine, HelpAndVersionAnswerWithoutAWindowOrADisplay) {
    struct Case {
        const char* argument;
        const char* startsWith;
    } cases[] = {{"--help", "usage: domecast "}, {"-h", "usage: domecast "}, {"--version", "Domecast 1.10\n"}};
    for (const Case& c : cases) {
        TempDir output;
        // No display, and a panorama argument beside it that must not be opened.
        const std::optional<std::string> status = runCommand(
            "env -u DISPLAY -u WAYLAND_DISPLAY '" + domecastPath() + "' " + c.argument + " missing_FR.tga > '" +
            output.file("out") + "' 2> '" + output.file("err") + "'; echo $?");
        EXPECT_EQ(status, std::optional<std::string>("0")) << c.argument << ": " << readText(output.file("err"));
        EXPECT_EQ(readText(output.file("out")).rfind(c.startsWith, 0), 0u) << readText(output.file("out"));
        EXPECT_EQ(readText(output.file("err")), "") << c.argument;
    }
}

// The paint link is one per user: an editor on one display keeps it, and a start on
// another display is refused with the display's name instead of handing over to a
// window the user cannot see.
TEST_F(EditorWindow, AStartOnAnotherDisplayIsRefusedAndOneOnTheSameDisplayHandsOver) {
    auto first = start("first.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("first.txt"));

    XServer other;
    ASSERT_TRUE(other.ok());
    auto elsewhere = start("elsewhere.txt", std::vector<std::string>{"DISPLAY=" + other.display()});
    EXPECT_EQ(elsewhere->waitFor(30s), std::optional<int>(1)) << readText(config_.file("elsewhere.txt"));
    EXPECT_NE(readText(config_.file("elsewhere.txt")).find("Domecast is already running on display " +
                                                           server_.display() + ".\n"),
              std::string::npos)
        << readText(config_.file("elsewhere.txt"));

    // The same display written another way is this display: the start hands over.
    auto here = start("here.txt", std::vector<std::string>{"DISPLAY=" + server_.display() + ".0"});
    EXPECT_EQ(here->waitFor(30s), std::optional<int>(0)) << readText(config_.file("here.txt"));
    EXPECT_EQ(readText(config_.file("here.txt")), "");

    first->signal(SIGTERM);
    EXPECT_EQ(first->waitFor(20s), std::optional<int>(0)) << readText(config_.file("first.txt"));
}

TEST_F(EditorWindow, APanoramaFileThatCannotBeReadIsReportedAndTheEditorStartsWithoutIt) {
    auto editor = start("editor.txt", config_.file("missing pano_FR.bmp"));
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    EXPECT_EQ(xdotool("getwindowname " + window), "Untitled [h=0\u00b0 v=0\u00b0] - Domecast");
    EXPECT_FALSE(readText(config_.file("editor.txt")).empty());
    viewShown(*expectedPanorama(faces_), 0, 0);
    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0)) << readText(config_.file("editor.txt"));
}
