// "Paint this view" through the window with the file transport: the scripted paint program
// paints the view file, and what the editor then saves is what domecast-cli makes of the
// same painted picture.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "support/editor_window.h"
#include "support/image_files.h"
#include "support/programs.h"

using namespace std::chrono_literals;

namespace {

const char* const faceSuffixes[] = {"_FR", "_BK", "_LF", "_RT", "_UP", "_DN"};

class PaintWindow : public EditorWindow {
protected:
    // The editor's paint program paints a red square and saves at once; its view files go
    // to a folder of the test's.
    void useQuickPainter() {
        presetSettings("LastType=0\nPaintApp=" SCRIPTED_PAINT "\n");
        const std::filesystem::path temporary = config_.path() / "tmp";
        std::filesystem::create_directories(temporary);
        ::setenv("TMP", temporary.c_str(), 1);
        ::setenv("SCRIPTED_PAINT", "quicksave", 1);
    }

    // The one view file in folder, or empty.
    static std::string viewFileIn(const std::filesystem::path& folder) {
        std::string found;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().rfind("T_DC", 0) == 0) found = entry.path().string();
        return found;
    }
};

// Paint programs of several timings: a slow one, one that saves and ends at once, a
// launcher whose copy saves after it ended, and one that leaves a broken file; and programs
// that write their BMP in their own way (ImageMagick with alpha or as an RLE8 palette), or
// crop the view. Each time the window comes back, and the saved faces are what domecast-cli
// applies of the last good picture (or the faces as they were).
TEST_F(PaintWindow, PaintedViewIsSavedAsTheCommandLineAppliesIt) {
    struct Case {
        const char* name;
        const char* mode;
        bool painted;
        const char* command = nullptr;  // run on the painted file by the "command" mode
    } cases[] = {
        {"save", "save", true},
        {"quicksave", "quicksave", true},
        {"handoff200", "handoff200", true},
        {"truncated", "truncated", false},
        {"alpha", "command", true, R"(convert "$1" -alpha set "$1")"},
        {"rle8", "command", true, R"(convert "$1" +dither -colors 256 -compress RLE BMP3:"$1")"},
        {"cropped", "command", false, R"(convert "$1" -crop 90%x100%+0+0 +repage BMP3:"$1")"},
    };
    // Save As offers "3DStudio, Targa"; the view file goes to a folder of this test.
    presetSettings("LastType=0\nPaintApp=" SCRIPTED_PAINT "\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path temporary = config_.path() / (std::string("tmp-") + c.name);
        std::filesystem::create_directories(temporary);
        ::setenv("TMP", temporary.c_str(), 1);
        ::setenv("SCRIPTED_PAINT", c.mode, 1);
        if (c.command != nullptr) ::setenv("SCRIPTED_PAINT_COMMAND", c.command, 1);
        const std::string output = std::string("editor-") + c.name + ".txt";
        auto editor = start(output);
        const std::string window = findWindow();
        ASSERT_FALSE(window.empty()) << readText(config_.file(output));

        // The panorama before painting, saved by the editor and kept aside for domecast-cli.
        const std::string base = faces_.file(std::string("painted-") + c.name),
                          before = faces_.file(std::string("before-") + c.name);
        xdotool("windowfocus --sync " + window);
        xdotool("key ctrl+s");
        saveAs(base + "_FR.tga");
        for (const char* suffix : faceSuffixes) {
            ASSERT_TRUE(waitUntil(20s, [&] { return std::filesystem::exists(base + suffix + ".tga"); })) << suffix;
        }
        std::this_thread::sleep_for(500ms);
        for (const char* suffix : faceSuffixes)
            std::filesystem::copy_file(base + suffix + ".tga", before + suffix + ".tga");

        // Enter, then OK on the suggested size: the program paints (or not), and the window
        // comes back with the paint as a change.
        xdotool("windowfocus --sync " + window);
        xdotool("key Return");
        const std::string chooser = focusDialog("Domecast: Choose size");
        ASSERT_FALSE(chooser.empty()) << readText(config_.file(output));
        xdotool("key Return");
        ASSERT_TRUE(gone(chooser));
        // Once the round trip is over the title has the change, or says the broken file is
        // still watched.
        const std::string titleAfter = c.painted ? std::string(c.name) + " *" : "watching";
        EXPECT_NE(waitForTitle(window, titleAfter).find(titleAfter), std::string::npos) << readText(config_.file(output));
        ASSERT_TRUE(waitUntil(20s, [&] { return visible(window); }));
        const std::string viewFile = viewFileIn(temporary);
        ASSERT_FALSE(viewFile.empty());
        const std::string painted = faces_.file(std::string("painted_view-") + c.name + ".bmp");
        std::filesystem::copy_file(viewFile, painted);

        xdotool("windowfocus --sync " + window);
        if (c.painted) {
            xdotool("key ctrl+s");
            EXPECT_EQ(waitForTitle(window, "painted-" + std::string(c.name) + " [").find("painted-"), 0u);
        } else {
            EXPECT_NE(readText(config_.file(output)).find("Nothing was painted"), std::string::npos)
                << readText(config_.file(output));
            // Esc ends the watch on the broken file.
            xdotool("key Escape");
            waitUntil(10s, [&] { return xdotool("getwindowname " + window).find("watching") == std::string::npos; });
            EXPECT_EQ(xdotool("getwindowname " + window).find("watching"), std::string::npos);
        }

        // The broken file is refused by domecast-cli too; the faces stay as they were.
        const std::string expected = c.painted ? faces_.file(std::string("expected-") + c.name) : before;
        const std::optional<std::string> applied =
            runCommand("'" + programPath("domecast-cli") + "' apply '" + before + "_FR.tga' '" + painted + "' '" +
                           faces_.file(std::string("expected-") + c.name) + "_FR.tga' --heading 0 --pitch 0 2>&1",
                       60);
        // A cropped picture still carries the marker in its kept corners: without the
        // view's size, domecast-cli cannot tell it was cropped.
        if (c.command == nullptr || c.painted) {
            EXPECT_EQ(applied.has_value(), c.painted);
        }
        bool anyChanged = false;
        for (const char* suffix : faceSuffixes) {
            SCOPED_TRACE(suffix);
            const auto saved = readBytes(base + suffix + ".tga");
            EXPECT_EQ(saved, readBytes(expected + suffix + ".tga"));
            anyChanged = anyChanged || saved != readBytes(before + suffix + ".tga");
        }
        EXPECT_EQ(anyChanged, c.painted);

        editor->signal(SIGTERM);
        EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0)) << readText(config_.file(output));
        // The exit sequence removes the view file.
        EXPECT_FALSE(std::filesystem::exists(viewFile));
    }
}

}  // namespace

namespace {

// Ctrl+Z after a paint gives back the faces as they were before it, byte for byte in what
// the editor saves, and Ctrl+Shift+Z the painted ones; the title's mark follows.
TEST_F(PaintWindow, UndoAndRedoGiveBackTheFacesOfEachStep) {
    useQuickPainter();
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));

    const std::string base = faces_.file("undone");
    const auto savedFaces = [&] {
        std::vector<std::vector<std::uint8_t>> faces;
        for (const char* suffix : faceSuffixes) faces.push_back(readBytes(base + suffix + ".tga"));
        return faces;
    };
    // Saves and waits until the title has lost its mark.
    const auto save = [&] {
        xdotool("windowfocus --sync " + window);
        xdotool("key ctrl+s");
        EXPECT_EQ(waitForTitle(window, "undone [").find("undone ["), 0u) << readText(config_.file("editor.txt"));
    };
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+s");
    saveAs(base + "_FR.tga");
    EXPECT_EQ(waitForTitle(window, "undone [").find("undone ["), 0u);
    const auto before = savedFaces();

    xdotool("windowfocus --sync " + window);
    xdotool("key Return");
    const std::string chooser = focusDialog("Domecast: Choose size");
    ASSERT_FALSE(chooser.empty()) << readText(config_.file("editor.txt"));
    xdotool("key Return");
    ASSERT_TRUE(gone(chooser));
    EXPECT_NE(waitForTitle(window, "undone *").find("undone *"), std::string::npos);
    ASSERT_TRUE(waitUntil(20s, [&] { return visible(window); }));
    save();
    const auto painted = savedFaces();
    ASSERT_NE(painted, before);

    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+z");
    EXPECT_NE(waitForTitle(window, "undone *").find("undone *"), std::string::npos);
    save();
    EXPECT_EQ(savedFaces(), before);

    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+shift+z");
    EXPECT_NE(waitForTitle(window, "undone *").find("undone *"), std::string::npos);
    save();
    EXPECT_EQ(savedFaces(), painted);
    // Back at the step the file holds: no mark, nothing to prompt for.
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+z");
    EXPECT_NE(waitForTitle(window, "undone *").find("undone *"), std::string::npos);
    // Redo has one step to take: a press lost while the machine is busy is pressed again.
    std::string redone;
    for (int attempt = 0; attempt < 3 && redone.rfind("undone [", 0) != 0; ++attempt) {
        xdotool("windowfocus --sync " + window);
        xdotool("key ctrl+y");
        redone = waitForTitle(window, "undone [");
    }
    EXPECT_EQ(redone.rfind("undone [", 0), 0u) << redone;

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0)) << readText(config_.file("editor.txt"));
    // Nothing was unsaved: nothing is kept for recovery.
    EXPECT_FALSE(std::filesystem::exists(config_.file("state/domecast/recovery")) &&
                 !std::filesystem::is_empty(config_.file("state/domecast/recovery")));
}

// A logout with unsaved changes (SIGTERM) keeps them without a prompt; the next start offers
// them, and Recover opens them with the panorama's name, still to be saved.
TEST_F(PaintWindow, ChangesLeftAtLogoutAreOfferedAtTheNextStart) {
    useQuickPainter();
    auto editor = start("first.txt");
    std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("first.txt"));
    const std::string base = faces_.file("kept");
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+s");
    saveAs(base + "_FR.tga");
    EXPECT_EQ(waitForTitle(window, "kept [").find("kept ["), 0u);
    std::vector<std::vector<std::uint8_t>> unpainted;
    for (const char* suffix : faceSuffixes) unpainted.push_back(readBytes(base + suffix + ".tga"));
    xdotool("windowfocus --sync " + window);
    xdotool("key Return");
    const std::string chooser = focusDialog("Domecast: Choose size");
    ASSERT_FALSE(chooser.empty());
    xdotool("key Return");
    EXPECT_NE(waitForTitle(window, "kept *").find("kept *"), std::string::npos);
    ASSERT_TRUE(waitUntil(20s, [&] { return visible(window); }));
    // A key pressed while the window is still coming back may be lost: pressed again until
    // the title turns; the angles kept are whatever it then shows.
    std::string turned;
    for (int attempt = 0; attempt < 5; ++attempt) {
        xdotool("windowfocus --sync " + window);
        xdotool("key Left");
        turned = waitForTitle(window, "[h=3");
        turned = turned.substr(std::min(turned.find('['), turned.size()));
        if (turned.rfind("[h=3", 0) == 0) break;
    }
    ASSERT_EQ(turned.rfind("[h=3", 0), 0u) << turned;

    const auto signalled = std::chrono::steady_clock::now();
    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(5s), std::optional<int>(0)) << readText(config_.file("first.txt"));
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 5s);
    const std::filesystem::path recovery = config_.file("state/domecast/recovery");
    ASSERT_TRUE(std::filesystem::exists(recovery));
    EXPECT_FALSE(std::filesystem::is_empty(recovery));

    // DOMECAST_MESSAGES=stderr answers the offer with its first button, Recover.
    editor = start("second.txt");
    window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("second.txt"));
    const std::string recoveredTitle = waitForTitle(window, "kept *  " + turned);
    EXPECT_NE(recoveredTitle.find("kept *  " + turned), std::string::npos) << recoveredTitle << "\n"
                                                                         << readText(config_.file("second.txt"));
    EXPECT_NE(readText(config_.file("second.txt")).find("Recover the unsaved panorama from "), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(recovery));
    // Saved where it came from, the paint is there.
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+s");
    EXPECT_EQ(waitForTitle(window, "kept [").find("kept ["), 0u);
    std::vector<std::vector<std::uint8_t>> saved;
    for (const char* suffix : faceSuffixes) saved.push_back(readBytes(base + suffix + ".tga"));
    EXPECT_NE(saved, unpainted);
    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0));
}

}  // namespace
