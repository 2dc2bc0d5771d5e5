// New Panorama and Resize Panorama driven through the window as a user would, the faces
// they make checked in the files the editor saves.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "support/editor_window.h"
#include "image/pcx_write.h"
#include "platform/settings.h"
#include "support/image_files.h"
#include "support/jpeg_files.h"
#include "support/scoped_settings.h"
#include "support/window_close.h"

using namespace std::chrono_literals;

namespace {

const char* const faceSuffixes[] = {"_FR", "_BK", "_LF", "_RT", "_UP", "_DN"};

// What a saved 24-bit Targa face lacks to be all white at side x side pixels; empty when
// it is.
std::string notWhiteFace(const std::string& path, int side) {
    const std::vector<std::uint8_t> bytes = readBytes(path);
    if (bytes.size() < 18) return path + ": no Targa header";
    const int width = bytes[12] | bytes[13] << 8, height = bytes[14] | bytes[15] << 8;
    if (bytes[2] != 2 || bytes[16] != 24 || width != side || height != side)
        return path + ": type " + std::to_string(bytes[2]) + ", " + std::to_string(bytes[16]) + " bits, " +
               std::to_string(width) + " x " + std::to_string(height);
    const std::size_t start = 18 + bytes[0], pixels = static_cast<std::size_t>(side) * side * 3;
    if (bytes.size() < start + pixels) return path + ": too short";
    for (std::size_t i = start; i < start + pixels; ++i)
        if (bytes[i] != 0xFF) return path + ": byte " + std::to_string(i) + " is not white";
    return {};
}

using SizeDialogsWindow = EditorWindow;

TEST_F(SizeDialogsWindow, NewThenResizeGiveWhiteFacesOfTheChosenSizes) {
    // Save As offers "3DStudio, Targa", so a typed name needs no type.
    presetSettings("LastType=0\n");
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));

    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+n");
    const std::string newDialog = focusDialog("New Panorama");
    ASSERT_FALSE(newDialog.empty()) << readText(config_.file("editor.txt"));
    // Escape and the close box leave the dialog open.
    xdotool("key Escape");
    EXPECT_TRUE(requestWindowClose(server_.display(), newDialog));
    std::this_thread::sleep_for(500ms);
    EXPECT_NE(xdotool("search --onlyvisible --name '^New Panorama$'"), "");

    // Enter on the default button takes the size typed without the field losing the focus.
    xdotool("windowfocus --sync " + newDialog);
    xdotool("key ctrl+a");
    xdotool("type --delay 20 '64x64'");
    xdotool("key Return");
    ASSERT_TRUE(gone(newDialog));
    waitForTitle(window, "Untitled [h=0");

    const std::string base = faces_.file("made");
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+s");
    saveAs(base + "_FR.tga");
    for (const char* suffix : faceSuffixes) {
        ASSERT_TRUE(waitUntil(20s, [&] { return std::filesystem::exists(base + suffix + ".tga"); })) << suffix;
        EXPECT_EQ(notWhiteFace(base + suffix + ".tga", 64), "");
    }

    // File menu: New, Open, Save, Save As, Revert, Resize Panorama.
    xdotool("windowfocus --sync " + window);
    xdotool("key alt+f");
    xdotool("key Down Down Down Down Down Return");
    const std::string resizeDialog = focusDialog("Resize Panorama");
    ASSERT_FALSE(resizeDialog.empty()) << readText(config_.file("editor.txt"));
    xdotool("key ctrl+a");
    xdotool("type --delay 20 '300'");
    xdotool("key Return");
    ASSERT_TRUE(gone(resizeDialog));
    // Faces of another size are a change to save.
    EXPECT_NE(waitForTitle(window, "made *").find("made *"), std::string::npos);

    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+s");
    EXPECT_EQ(waitForTitle(window, "made [").find("made ["), 0u);
    for (const char* suffix : faceSuffixes) EXPECT_EQ(notWhiteFace(base + suffix + ".tga", 300), "");

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0)) << readText(config_.file("editor.txt"));
}

// The "ft" file as SavePCX writes it with that dithering threshold: seen from outside the
// cube, it holds the back face.
std::vector<std::uint8_t> expectedFrontPCX(const TempDir& faces, int dither) {
    TempDir dir;
    ScopedSettings settings(dir.path().string());
    writeNumberSetting("PCXDither", static_cast<std::uint32_t>(dither));
    const auto panorama = expectedPanorama(faces);
    const BGRImage& front = *panorama->faces[Back];
    SavePCX(dir.file("front.pcx").c_str(), front.size(), front.stride, 3, front.pixels);
    return readBytes(dir.file("front.pcx"));
}

TEST_F(SizeDialogsWindow, SaveAsOptionsSetTheDitheringOfTheSavedPCXFiles) {
    // Save As offers "QuakeII, Targa & PCX"; no dithering until the options say so.
    presetSettings("LastType=2\nPCXDither=0\n");
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));

    const std::string plain = faces_.file("plain"), dithered = faces_.file("dithered");
    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+s");
    saveAs(plain + "ft.pcx");
    ASSERT_TRUE(waitUntil(20s, [&] { return std::filesystem::exists(plain + "dn.pcx"); }));

    xdotool("windowfocus --sync " + window);
    xdotool("key alt+f");
    xdotool("key Down Down Down Return");  // Save As
    const std::string saveDialog = focusDialog("Save As");
    ASSERT_FALSE(saveDialog.empty());
    // "Options..." sits at the chooser's bottom left.
    const std::string geometry = xdotool("getwindowgeometry --shell " + saveDialog);
    const std::size_t at = geometry.find("HEIGHT=");
    ASSERT_NE(at, std::string::npos) << geometry;
    const int height = std::stoi(geometry.substr(at + 7));
    std::string options;
    for (int attempt = 0; attempt < 5 && options.empty(); ++attempt) {
        std::this_thread::sleep_for(1s);
        xdotool("mousemove --window " + saveDialog + " 60 " + std::to_string(height - 69) + " click 1");
        options = xdotool("search --onlyvisible --name '^PCX File options$'");
    }
    ASSERT_FALSE(options.empty());
    options = focusDialog("PCX File options");
    // Escape and the close box leave it open: OK is the only way out.
    xdotool("key Escape");
    EXPECT_TRUE(requestWindowClose(server_.display(), options));
    std::this_thread::sleep_for(500ms);
    ASSERT_NE(xdotool("search --onlyvisible --name '^PCX File options$'"), "");
    // From OK, back over the check box to "Full"; then forward to OK.
    xdotool("windowfocus --sync " + options);
    xdotool("key shift+Tab shift+Tab space");
    xdotool("key Tab Tab space");
    ASSERT_TRUE(gone(options));
    saveAs(dithered + "ft.pcx");
    ASSERT_TRUE(waitUntil(20s, [&] { return std::filesystem::exists(dithered + "dn.pcx"); }));

    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(readBytes(plain + "ft.pcx"), expectedFrontPCX(faces_, 0));
    EXPECT_EQ(readBytes(dithered + "ft.pcx"), expectedFrontPCX(faces_, 255));
    EXPECT_NE(readBytes(plain + "ft.pcx"), readBytes(dithered + "ft.pcx"));

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0)) << readText(config_.file("editor.txt"));
}

TEST_F(SizeDialogsWindow, SaveAsOptionsSetTheQualityOfTheSavedSkyBoxJpegs) {
    // Save As offers "Sky box, JPEG" (open row 15).
    presetSettings("LastType=15\n");
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));

    xdotool("windowfocus --sync " + window);
    xdotool("key ctrl+s");  // untitled: Save As
    const std::string saveDialog = focusDialog("Save As");
    ASSERT_FALSE(saveDialog.empty());
    const std::string geometry = xdotool("getwindowgeometry --shell " + saveDialog);
    const std::size_t at = geometry.find("HEIGHT=");
    ASSERT_NE(at, std::string::npos) << geometry;
    const int height = std::stoi(geometry.substr(at + 7));
    std::string options;
    for (int attempt = 0; attempt < 5 && options.empty(); ++attempt) {
        std::this_thread::sleep_for(1s);
        xdotool("mousemove --window " + saveDialog + " 60 " + std::to_string(height - 69) + " click 1");
        options = xdotool("search --onlyvisible --name '^JPEG options$'");
    }
    ASSERT_FALSE(options.empty());
    options = focusDialog("JPEG options");
    // The quality box has the focus; Return is OK.
    xdotool("key ctrl+a");
    xdotool("type --delay 20 '90'");
    xdotool("key Return");
    ASSERT_TRUE(gone(options));
    const std::string base = faces_.file("box");
    saveAs(base + "_ft.jpg");
    ASSERT_TRUE(waitUntil(20s, [&] { return std::filesystem::exists(base + "_dn.jpg"); }));
    std::this_thread::sleep_for(500ms);

    for (const char* face : {"_ft.jpg", "_dn.jpg"}) {
        const JpegHeader header = readJpegHeader(base + face);
        ASSERT_TRUE(header.ok) << face;
        EXPECT_EQ(header.luminanceTable, luminanceTableOfQuality(90)) << face;
        EXPECT_EQ(header.lumaH, 2) << face;  // 4:2:0 as before
    }
    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0)) << readText(config_.file("editor.txt"));
}

}  // namespace
