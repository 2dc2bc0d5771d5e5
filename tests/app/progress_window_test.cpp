// Long work in the editor: opening a large picture shows a progress dialog whose Cancel
// leaves the panorama shown as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "image/bgr_image.h"
#include "image/jpeg.h"
#include "support/editor_window.h"

using namespace std::chrono_literals;

using ProgressWindow = EditorWindow;

TEST_F(ProgressWindow, CancelOfALongOpenKeepsThePanoramaShown) {
    // A spherical photo of 16384 x 8192 pixels: decoding it takes well over the half
    // second after which the dialog appears.
    TempDir folder;
    const std::string photo = folder.file("large.jpg");
    {
        RawImage picture(Size{16384, 8192});
        for (std::int32_t y = 0; y < picture.height; ++y)
            for (std::int32_t x = 0; x < 3 * picture.width; ++x)
                picture.row(y)[x] = static_cast<std::uint8_t>((x * 7) ^ (y * 13));
        SaveJPEG(photo.c_str(), picture.size(), picture.stride, 3, picture.pixels);
    }
    auto editor = start("editor.txt");
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
    const std::unique_ptr<PaintedSixImage> startUp = expectedPanorama(faces_);
    ASSERT_TRUE(viewShown(*startUp, 0, 0));
    const std::string title = xdotool("getwindowname " + window);

    // A second start hands the photo to the running editor, which opens it.
    auto second = start("second.txt", photo);
    const std::string dialog = focusDialog("Domecast");
    ASSERT_FALSE(dialog.empty()) << readText(config_.file("editor.txt"));
    xdotool("key --window " + dialog + " Escape");
    if (!gone(dialog, 5s)) xdotool("key --window " + dialog + " Return");
    EXPECT_TRUE(gone(dialog)) << "the progress dialog stayed";
    EXPECT_EQ(second->waitFor(30s), std::optional<int>(0)) << readText(config_.file("second.txt"));

    // The start-up panorama is still shown, under its own title, and nothing was reported.
    EXPECT_EQ(xdotool("getwindowname " + window), title);
    EXPECT_TRUE(viewShown(*startUp, 0, 0));
    EXPECT_EQ(readText(config_.file("editor.txt")).find("IO Error"), std::string::npos)
        << readText(config_.file("editor.txt"));
    // The dialog's end gave the keyboard back to the view: the arrow keys turn it.
    xdotool("windowfocus --sync " + window);
    xdotool("key Left");
    EXPECT_NE(waitForTitle(window, "[h=350").find("[h=350"), std::string::npos);
}
