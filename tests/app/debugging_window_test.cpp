// Run-time debugging: Ctrl+Shift+D switches it, and the next draw names the graphics
// library.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "support/editor_window.h"

using namespace std::chrono_literals;

TEST_F(EditorWindow, RunTimeDebuggingNamesTheGraphicsLibraryAtTheNextDraw) {
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    const auto printed = [&](const std::string& text) {
        return waitUntil(10s, [&] { return readText(config_.file("editor.txt")).find(text) != std::string::npos; });
    };
    ASSERT_TRUE(waitUntil(20s, [&] { return std::filesystem::exists(snapshotPath()); }));
    // Frames drawn without debugging name nothing.
    EXPECT_EQ(readText(config_.file("editor.txt")).find("Window: "), std::string::npos);
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+shift+d");
    EXPECT_TRUE(printed("Run-time debugging ON"));
    xdotool("key Right");
    EXPECT_TRUE(printed("Window: "));
    xdotool("key ctrl+shift+d");
    EXPECT_TRUE(printed("Run-time debugging OFF"));

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0));
}
