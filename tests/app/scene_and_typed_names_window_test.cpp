// Scene files and typed names through the editor: a .ivr named on the command line shows
// the panorama it names, and Save As takes a name typed with the layout's extension as
// the base name.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>

#include "support/editor_window.h"

using namespace std::chrono_literals;

namespace {

constexpr int stripBmpSaveRow = 10;

using SceneAndTypedNamesWindow = EditorWindow;

TEST_F(SceneAndTypedNamesWindow, AStripSceneOnTheCommandLineShowsThePanoramaItNames) {
    // Not the start-up panorama: its faces exchanged, so that a scene left unread shows.
    auto expected = expectedPanorama(faces_);
    std::swap(expected->faces[Front], expected->faces[Back]);
    std::swap(expected->faces[Left], expected->faces[Right]);
    TempDir pictures;
    expected->fileName = pictures.file("pano.ivr");
    expected->layout = stripBmpSaveRow;
    ASSERT_EQ(expected->write(), 0);
    ASSERT_TRUE(std::filesystem::exists(pictures.file("pano.bmp")));

    auto editor = start("editor.txt", pictures.file("pano.ivr"));
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    EXPECT_TRUE(viewShown(*expected, 0, 0).has_value());
    EXPECT_EQ(readText(config_.file("editor.txt")).find("IO Error"), std::string::npos);
    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0));
}

TEST_F(SceneAndTypedNamesWindow, SaveAsTakesANameTypedWithTheLayoutsExtensionAsTheBase) {
    // Save As offers "QuakeII, Targa" (open and save row 1).
    presetSettings("LastType=1\n");
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+s");
    const std::string dialog = focusDialog("Save As");
    ASSERT_FALSE(dialog.empty()) << readText(config_.file("editor.txt"));
    TempDir saved;
    xdotool("key alt+n ctrl+a");
    xdotool("type --delay 20 '" + saved.file("sky.tga") + "'");
    const char* const quakeNames[] = {"skyft.tga", "skybk.tga", "skylf.tga", "skyrt.tga", "skyup.tga", "skydn.tga"};
    // The file chooser checks a typed path before its Save button takes it.
    bool written = false;
    for (int attempt = 0; attempt < 5 && !written; ++attempt) {
        std::this_thread::sleep_for(1s);
        xdotool("key Return");
        written = waitUntil(5s, [&] { return std::filesystem::exists(saved.file("skydn.tga")); });
    }
    ASSERT_TRUE(written) << readText(config_.file("editor.txt"));
    for (const char* name : quakeNames) EXPECT_TRUE(std::filesystem::exists(saved.file(name))) << name;
    for (const auto& entry : std::filesystem::directory_iterator(saved.path()))
        EXPECT_EQ(entry.path().filename().string().find("sky.tga"), std::string::npos) << entry.path();
    EXPECT_EQ(waitForTitle(window, "sky [h=0"), "sky [h=0\u00b0 v=0\u00b0] - Domecast");
    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0));
}

}  // namespace
