#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/bgr_image.h"
#include "panorama/geometry.h"
#include "panorama/sphere.h"
#include "support/patterned_panorama.h"
#include "view/render_view.h"

namespace {

// Every face pixel outside regions painted with a colour the pattern does not hold.
void paintOutside(SixImage& panorama, const FaceRegions& regions) {
    for (int f = 0; f < faceCount; ++f) {
        BGRImage& face = *panorama.faces[f];
        const FaceRegion& r = regions[f];
        for (int y = 0; y < face.height; ++y)
            for (int x = 0; x < face.width; ++x)
                if (!(x >= r.left && x < r.right && y >= r.bottom && y < r.top)) {
                    std::uint8_t* p = face.row(y) + 3 * x;
                    p[0] = 1;
                    p[1] = 254;
                    p[2] = 7;
                }
    }
}

std::vector<std::uint8_t> rendered(const SixImage& panorama, const Camera& camera) {
    ViewBuffer view;
    render(panorama, camera, view);
    return {view.pixels(), view.pixels() + view.stride() * camera.size.height};
}

std::vector<std::uint8_t> viewed(const SixImage& panorama, const Camera& camera) {
    RawImage image(camera.size);
    renderViewToImage(panorama, camera, image);
    return {image.pixels, image.pixels + image.stride * static_cast<std::size_t>(camera.size.height)};
}

// The regions hold every face pixel a render or view reads: with the rest of the faces
// changed, both give the same bytes. Views across face edges and corners, straight up and
// down, wider than a face, narrower than a pixel, and one pixel.
TEST(ViewRegions, HoldEveryFacePixelTheViewReads) {
    const struct {
        float heading, pitch;
        FieldOfView fov;
        Size size;
    } cases[] = {
        {0, 0, {90, 73}, {64, 48}},        {45, 30, {100, 80}, {97, 61}},   {-135, -60, {60, 40}, {40, 3}},
        {170, 89, {120, 90}, {33, 17}},    {0, -90, {170, 120}, {80, 50}},  {200.5f, -12, {2, 1}, {9, 5}},
        {300, 45, {90, 90}, {1, 1}},       {91, 0, {30, 20}, {200, 120}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.heading << "," << c.pitch << " fov " << c.fov[0] << "x" << c.fov[1]);
        const Camera camera{c.heading * degToRad, c.pitch * degToRad, {c.fov[0] * degToRad, c.fov[1] * degToRad},
                            c.size};
        const auto whole = patternedPanorama(40);
        const auto renderPart = patternedPanorama(40);
        paintOutside(*renderPart, renderedRegions(*renderPart, camera));
        EXPECT_EQ(rendered(*whole, camera), rendered(*renderPart, camera));
        const auto viewPart = patternedPanorama(40);
        paintOutside(*viewPart, viewRegions(*viewPart, camera, c.size));
        EXPECT_EQ(viewed(*whole, camera), viewed(*viewPart, camera));
    }
}

// Only what is seen: a narrow view ahead leaves every other face out and a small part of
// Front in.
TEST(ViewRegions, LeaveOutFacesTheViewDoesNotSee) {
    const auto panorama = patternedPanorama(100);
    const Camera camera{0, 0, {20 * degToRad, 10 * degToRad}, {50, 25}};
    for (const FaceRegions& regions : {renderedRegions(*panorama, camera), viewRegions(*panorama, camera, {50, 25})}) {
        for (int f = 0; f < faceCount; ++f)
            EXPECT_EQ(regions[f].empty(), f != Front) << "face " << f;
        const FaceRegion& front = regions[Front];
        EXPECT_GT(front.left, 30);
        EXPECT_LT(front.right, 70);
        EXPECT_GT(front.bottom, 40);
        EXPECT_LT(front.top, 60);
    }
}

}  // namespace
