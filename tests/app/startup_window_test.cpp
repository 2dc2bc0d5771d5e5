// The editor's start and end: one instance at a time, the link released at exit, a
// panorama file that cannot be read.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "support/editor_window.h"

using namespace std::chrono_literals;

TEST_F(EditorWindow, ASecondInstanceIsRefusedAndTheFirstReleasesTheLinkAtExit) {
    auto first = start("first.txt");
    ASSERT_FALSE(findWindow().empty()) << readText(config_.file("first.txt"));

    auto second = start("second.txt");
    EXPECT_EQ(second->waitFor(30s), std::optional<int>(1));
    EXPECT_NE(readText(config_.file("second.txt")).find("Domecast is already running."), std::string::npos)
        << readText(config_.file("second.txt"));

    first->signal(SIGTERM);
    ASSERT_EQ(first->waitFor(20s), std::optional<int>(0)) << readText(config_.file("first.txt"));
    const std::string record = "/dev/shm/" + linkName_ + "." + std::to_string(::getuid());
    EXPECT_FALSE(std::filesystem::exists(record));

    // With the first one gone, a new editor starts.
    auto third = start("third.txt");
    EXPECT_FALSE(findWindow().empty()) << readText(config_.file("third.txt"));
    third->signal(SIGTERM);
    EXPECT_EQ(third->waitFor(20s), std::optional<int>(0));
}

TEST_F(EditorWindow, APanoramaFileThatCannotBeReadIsReportedAndTheEditorStartsWithoutIt) {
    auto editor = start("editor.txt", config_.file("missing pano_FR.bmp"));
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    EXPECT_EQ(xdotool("getwindowname " + window), "Untitled [h=0\u00b0 v=0\u00b0] - Domecast");
    EXPECT_FALSE(readText(config_.file("editor.txt")).empty());
    viewShown(*expectedPanorama(faces_), 0, 0);
    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0));
}
