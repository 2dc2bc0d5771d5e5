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
    // The one view file in folder, or empty.
    static std::string viewFileIn(const std::filesystem::path& folder) {
        std::string found;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().rfind("T_DC", 0) == 0) found = entry.path().string();
        return found;
    }
};

TEST_F(PaintWindow, PaintedViewIsSavedAsTheCommandLineAppliesIt) {
    // Save As offers "3DStudio, Targa"; the view file goes to a folder of this test.
    presetSettings("LastType=0\nPaintApp=" SCRIPTED_PAINT "\n");
    const std::filesystem::path temporary = config_.path() / "tmp";
    std::filesystem::create_directories(temporary);
    ::setenv("TMP", temporary.c_str(), 1);
    ::setenv("SCRIPTED_PAINT", "save", 1);
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));

    // The panorama before painting, saved by the editor and kept aside for domecast-cli.
    const std::string base = faces_.file("painted"), before = faces_.file("before");
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+s");
    saveAs(base + "_FR.tga");
    for (const char* suffix : faceSuffixes) {
        ASSERT_TRUE(waitUntil(20s, [&] { return std::filesystem::exists(base + suffix + ".tga"); })) << suffix;
    }
    std::this_thread::sleep_for(500ms);
    for (const char* suffix : faceSuffixes)
        std::filesystem::copy_file(base + suffix + ".tga", before + suffix + ".tga");

    // Enter, then OK on the suggested size: the program paints and saves, ends, and the
    // window comes back with the paint as a change.
    xdotool("windowfocus --sync " + window);
    xdotool("key Return");
    const std::string chooser = focusDialog("Domecast: Choose size");
    ASSERT_FALSE(chooser.empty()) << readText(config_.file("editor.txt"));
    xdotool("key Return");
    ASSERT_TRUE(gone(chooser));
    EXPECT_NE(waitForTitle(window, "painted *").find("painted *"), std::string::npos)
        << readText(config_.file("editor.txt"));
    ASSERT_TRUE(waitUntil(20s, [&] { return visible(window); }));
    const std::string viewFile = viewFileIn(temporary);
    ASSERT_FALSE(viewFile.empty());
    const std::string painted = faces_.file("painted_view.bmp");
    std::filesystem::copy_file(viewFile, painted);

    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+s");
    EXPECT_EQ(waitForTitle(window, "painted [").find("painted ["), 0u);

    const std::string expected = faces_.file("expected");
    const std::optional<std::string> applied =
        runCommand("'" + programPath("domecast-cli") + "' apply '" + before + "_FR.tga' '" + painted + "' '" + expected +
                       "_FR.tga' --heading 0 --pitch 0 2>&1",
                   60);
    ASSERT_TRUE(applied.has_value());
    bool anyChanged = false;
    for (const char* suffix : faceSuffixes) {
        SCOPED_TRACE(suffix);
        const auto saved = readBytes(base + suffix + ".tga");
        EXPECT_EQ(saved, readBytes(expected + suffix + ".tga"));
        anyChanged = anyChanged || saved != readBytes(before + suffix + ".tga");
    }
    EXPECT_TRUE(anyChanged);

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0)) << readText(config_.file("editor.txt"));
    // The exit sequence removes the view file.
    EXPECT_FALSE(std::filesystem::exists(viewFile));
}

}  // namespace
