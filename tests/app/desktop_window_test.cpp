// The editor and the desktop: Help opens the manual through the desktop's handler without
// waiting for it and says when it could not; the field-of-view prompt takes typing at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "image/bmp.h"
#include "support/editor_window.h"
#include "support/scripted_questions.h"

using namespace std::chrono_literals;

namespace {

using DesktopWindow = EditorWindow;

// The zombie children of process pid: ended, not yet reaped.
int zombieChildren(pid_t pid) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string stat = readText((entry.path() / "stat").string());
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int parent = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2 && parent == pid && state == 'Z')
            ++count;
    }
    return count;
}

}  // namespace

TEST_F(DesktopWindow, HelpDoesNotWaitForTheHandlerAndSaysWhereTheManualIsWhenItCannotBeOpened) {
    // The manual's local copy, and a handler that fails once let go.
    TempDir docs, bin, empty;
    std::ofstream(docs.file("index.html")) << "<html>manual</html>\n";
    presetSettings("DocPath=" + docs.path().string() + "\n");
    const std::string log = bin.file("log"), go = bin.file("go");
    std::ofstream(bin.file("xdg-open")) << "#!/bin/sh\necho \"$1\" >> '" << log << "'\nwhile [ ! -e '" << go
                                        << "' ]; do sleep 0.05; done\nexit 3\n";
    ::chmod(bin.file("xdg-open").c_str(), 0700);
    const char* path = std::getenv("PATH");
    auto editor = start("editor.txt", std::vector<std::string>{"PATH=" + bin.path().string() + ":" +
                                                                   (path != nullptr ? path : "/usr/bin:/bin")});
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));

    xdotool("windowfocus --sync " + window);
    xdotool("key F1");
    const std::string local = "file://" + docs.file("index.html") + "\n";
    ASSERT_TRUE(waitUntil(20s, [&] { return readText(log) == local; })) << readText(log);
    // The handler runs on; the editor does not wait for it.
    xdotool("key ctrl+r");
    EXPECT_NE(waitForTitle(window, "[h=90\u00b0").find("[h=90\u00b0"), std::string::npos);
    EXPECT_EQ(readText(config_.file("editor.txt")).find("Could not open"), std::string::npos);

    // The handler failed: one message naming the manual's file, no web address tried.
    std::ofstream(go) << "";
    const std::string said = "Could not open the Domecast manual (xdg-open ended with exit status 3).\n\n"
                             "The manual is\n" + docs.file("index.html") + "\n";
    EXPECT_TRUE(waitUntil(20s, [&] { return readText(config_.file("editor.txt")).find(said) != std::string::npos; }))
        << readText(config_.file("editor.txt"));
    EXPECT_EQ(readText(log), local);
    EXPECT_TRUE(waitUntil(5s, [&] { return zombieChildren(editor->pid()) == 0; }));

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0)) << readText(config_.file("editor.txt"));

    // With no opener on PATH at all, Help > Manual says where the manual is.
    auto bare = start("bare.txt", std::vector<std::string>{"PATH=" + empty.path().string()});
    const std::string second = findWindow();
    ASSERT_FALSE(second.empty()) << readText(config_.file("bare.txt"));
    xdotool("windowfocus --sync " + second);
    xdotool("key alt+h");
    // The menu is a window of the program's own name; a key pressed before it shows would
    // reach the view instead.
    ASSERT_TRUE(waitUntil(20s, [&] { return !xdotool("search --onlyvisible --name '^domecast$'").empty(); }))
        << "no menu";
    xdotool("key m");
    EXPECT_TRUE(waitUntil(20s, [&] {
        const std::string text = readText(config_.file("bare.txt"));
        return text.find("Could not open the Domecast manual (xdg-open: No such file or directory).\n\nThe manual is\n" +
                         docs.file("index.html") + "\n") != std::string::npos;
    })) << readText(config_.file("bare.txt"));
    bare->signal(SIGTERM);
    EXPECT_EQ(bare->waitFor(20s), std::optional<int>(0)) << readText(config_.file("bare.txt"));
}

TEST_F(DesktopWindow, AMessageBoxIsTitledWithTheProgramsName) {
    // Help with the manual's folder gone: a message box, shown as a dialog this time.
    TempDir docs;
    presetSettings("DocPath=" + docs.file("gone") + "\n");
    auto editor = start("editor.txt", std::vector<std::string>{"DOMECAST_MESSAGES=dialog"});
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    xdotool("windowfocus --sync " + window);
    xdotool("key F1");
    const std::string box = focusDialog("Domecast");
    ASSERT_FALSE(box.empty()) << readText(config_.file("editor.txt"));
    EXPECT_NE(box, window);
    xdotool("key Return");
    EXPECT_TRUE(gone(box, 10s));

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0)) << readText(config_.file("editor.txt"));
}

TEST_F(DesktopWindow, TheFieldOfViewPromptTakesTheTypedNumberAndReturn) {
    // A cylinder picture, opened as "Bryce/QTVR, BMP" (which proposes 60 degrees).
    constexpr int bryceRow = 11;
    TempDir folder;
    RawImage cylinder({512, 128});
    for (int y = 0; y < cylinder.height; ++y)
        for (int x = 0; x < cylinder.width; ++x)
            for (int c = 0; c < 3; ++c)
                cylinder.row(y)[3 * x + c] = static_cast<std::uint8_t>(c == 0 ? x : c == 1 ? 2 * y : (x ^ y) + 40);
    const std::string picture = folder.file("cyl.bmp");
    SaveBMP(picture.c_str(), cylinder.size(), cylinder.stride, 3, cylinder.pixels);
    presetSettings("LastType=11\nLastFolder=" + folder.path().string() + "\n");

    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+o");
    const std::string open = focusDialog("Open");
    ASSERT_FALSE(open.empty()) << readText(config_.file("editor.txt"));
    xdotool("key ctrl+l");
    xdotool("type --delay 20 '" + picture + "'");
    bool closed = false;
    for (int attempt = 0; attempt < 5 && !closed; ++attempt) {
        std::this_thread::sleep_for(1s);
        xdotool("key Return");
        closed = gone(open, 5s);
    }
    ASSERT_TRUE(closed);

    // Typing replaces the proposed number; Return accepts it.
    const std::string prompt = focusDialog("Vertical Field of View");
    ASSERT_FALSE(prompt.empty()) << readText(config_.file("editor.txt"));
    std::this_thread::sleep_for(500ms);
    xdotool("type --delay 50 45");
    xdotool("key Return");
    EXPECT_TRUE(gone(prompt, 10s));
    EXPECT_EQ(waitForTitle(window, "cyl ["), "cyl [h=0\u00b0 v=0\u00b0] - Domecast") << readText(config_.file("editor.txt"));

    ScriptedQuestions questions;
    questions.fieldOfViewAnswers.push_back(45);
    PaintedSixImage expected;
    expected.load(questions, bryceRow, picture);
    ASSERT_EQ(questions.proposedFieldsOfView, std::vector<int>{60});
    viewShown(expected, 0, 0);
    EXPECT_EQ(readText(config_.file("editor.txt")).find("field of view"), std::string::npos)
        << readText(config_.file("editor.txt"));

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0)) << readText(config_.file("editor.txt"));
}
