// The zoom: the field of view the wheel and Ctrl+plus/minus set, shown in the title, used by
// "Paint this view", and ended by Home.
#include <gtest/gtest.h>

#include <cmath>

#include "support/round_trip_fixture.h"

namespace {

using namespace roundtrip;

using ZoomTest = PaintRoundTripTest;

TEST_F(ZoomTest, TheTitleShowsTheZoomWithinItsRangeAndHomeEndsIt) {
    const float nominal = nominalFOV(*shell.panorama(), viewSize)[0];
    EXPECT_EQ(shell.title().find("f="), std::string::npos);
    struct Step {
        int notches;
        float degrees;  // the field of view after it; 0: not zoomed
    } steps[] = {
        {1, nominal * radToDeg / 1.1f},
        {1, nominal * radToDeg / 1.21f},
        {-2, 0},  // back where it started
        {-1, nominal * radToDeg * 1.1f},
        {100, 10},
        {-100, 120},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.notches);
        shell.zoomBy(step.notches, viewSize);
        EXPECT_EQ(shell.zoomDegrees(), static_cast<int>(std::lround(step.degrees)));
        const std::string expected =
            step.degrees == 0 ? std::string("]") : " f=" + std::to_string(std::lround(step.degrees)) + "\u00b0]";
        EXPECT_NE(shell.title().find("v=0\u00b0" + expected), std::string::npos) << shell.title();
    }
    shell.setView(30 * degToRad, 20 * degToRad);
    shell.home();
    EXPECT_EQ(shell.zoomDegrees(), 0);
    EXPECT_EQ(shell.title(), "Untitled [h=0\u00b0 v=0\u00b0] - Domecast");
}

TEST_F(ZoomTest, PaintThisViewRendersAtTheZoomedFieldOfViewWithSquarePixels) {
    shell.zoomBy(3, viewSize);
    const float zoomed = shell.camera().fov[0];
    ASSERT_NE(zoomed, 0);
    const Camera camera = shell.cameraFor(viewSize);
    EXPECT_FLOAT_EQ(camera.fov[0], zoomed);
    EXPECT_NEAR(std::tan(camera.fov[1] / 2) / std::tan(camera.fov[0] / 2),
                static_cast<float>(viewSize.height) / static_cast<float>(viewSize.width), 1e-5);

    ::setenv("SCRIPTED_PAINT", "quicksave", 1);
    shell.paintThisView();
    EXPECT_EQ(shell.panorama()->view.camera(), camera);
    // The link tells plug-ins the field of view too.
    EXPECT_EQ(shell.link()->record().fieldOfView, std::lround(zoomed * radToDeg * 100));
    ASSERT_TRUE(runLoopUntil([&] { return shell.panorama()->modified != 0 && shell.paintState() == Shell::PaintState::idle; }));
    // The red square covers an eighth of the view's width: narrower in degrees than at the
    // nominal field of view, so fewer face pixels.
    const int zoomedPixels = pixelsOf(*shell.panorama(), 255, 0, 0);
    shell.replacePanorama(std::make_unique<PaintedSixImage>(Size{256, 256}, Size{256, 256}));
    shell.home();
    shell.paintThisView();
    ASSERT_TRUE(runLoopUntil([&] { return shell.panorama()->modified != 0 && shell.paintState() == Shell::PaintState::idle; }));
    const int nominalPixels = pixelsOf(*shell.panorama(), 255, 0, 0);
    EXPECT_GT(zoomedPixels, 0);
    const float ratio = std::tan(zoomed / 2) / std::tan(nominalFOV(*shell.panorama(), viewSize)[0] / 2);
    EXPECT_NEAR(static_cast<float>(zoomedPixels) / static_cast<float>(nominalPixels), ratio * ratio, 0.15f);
}

}  // namespace
