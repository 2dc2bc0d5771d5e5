#pragma once
// The editor's window on a private X server: the fixture every window test shares.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/bgr_image.h"
#include "view/painted_six_image.h"
#include "support/temp_dir.h"
#include "support/x_session.h"

// The editor program of this build.
std::string domecastPath();
std::string readText(const std::string& path);
// Six 256-pixel faces, face0.bmp to face5.bmp, each of its own colour with a grid.
void writeFaces(const TempDir& folder);
// The panorama the editor shows, built here from the same pictures.
std::unique_ptr<PaintedSixImage> expectedPanorama(const TempDir& folder);

// Starts the editor on a private X server with the faces of writeFaces as its start-up
// panorama, its settings and link name its own, messages on standard error and every
// view drawn at full resolution written as a snapshot.
class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override;

    std::unique_ptr<TestProcess> start(const std::string& output, const std::string& file = {});
    // The same with more arguments after the test's own (NAME=value settings, a file).
    std::unique_ptr<TestProcess> start(const std::string& output, const std::vector<std::string>& more);
    std::string xdotool(const std::string& arguments);
    // The editor's main window, once it is on the screen.
    std::string findWindow();
    std::string waitForTitle(const std::string& window, const std::string& wanted);
    std::string snapshotPath() const { return config_.file("view.bmp"); }

    // Settings the editor starts with, as NAME=value lines of its settings file.
    void presetSettings(const std::string& lines);
    // The visible window of that exact name, focused; empty when none came.
    std::string focusDialog(const std::string& name);
    bool visible(const std::string& id);
    bool gone(const std::string& id, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Types path into the Save As dialog and confirms it.
    void saveAs(const std::string& path);

    // What a snapshot lacks to show the view at heading and pitch (degrees) with its
    // indicator ticks; empty when it shows exactly that.
    static std::string mismatch(const RawImage& shot, const PaintedSixImage& panorama, float headingDegrees,
                                float pitchDegrees);
    // Waits for a drawn view that shows the panorama at heading and pitch; its size, or
    // nothing (with the reason the last one did not) when none came. Every snapshot is
    // removed once read, so earlier frames still arriving are passed over.
    std::optional<Size> viewShown(const PaintedSixImage& panorama, float headingDegrees, float pitchDegrees);

    XServer server_;
    TempDir faces_, config_;
    std::string linkName_;
};
