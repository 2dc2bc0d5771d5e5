#include "panorama/geometry.h"

#include <gtest/gtest.h>

#include <cmath>

#include "image/gamma.h"

namespace {

const FaceSizes square256 = {Size{256, 256}, {256, 256}, {256, 256}, {256, 256}, {256, 256}, {256, 256}};

// The world direction through a face pixel's centre, from the orientation table of the
// faces: looks-along axis, picture-right axis, picture-up axis.
Vector3 facePixelCentre(int face, int column, int row, int size) {
    const float s = (2.0f * column + 1) / size - 1, t = (2.0f * row + 1) / size - 1;
    switch (face) {
        case 0: return {s, t, -1};   // Front: right +X, up +Y
        case 1: return {-s, t, 1};   // Back: right -X
        case 2: return {-1, t, -s};  // Left: right -Z
        case 3: return {1, t, s};    // Right: right +Z
        case 4: return {s, 1, t};    // Up: right +X, up +Z
        default: return {s, -1, -t}; // Down: right +X, up -Z
    }
}

TEST(DirectionToFacePixel, EveryPixelCentreMapsBackToItself) {
    for (int face = 0; face < 6; ++face)
        for (int row = 0; row < 256; row += 15)
            for (int column = 0; column < 256; column += 15) {
                const FacePixel p = directionToFacePixel(facePixelCentre(face, column, row, 256), square256);
                ASSERT_EQ(p.face, face) << column << "," << row;
                ASSERT_EQ(p.column, column) << "face " << face;
                ASSERT_EQ(p.row, row) << "face " << face;
            }
}

TEST(DirectionToFacePixel, PointsJustAcrossEachEdgeLandOnNeighbouringBorderPixels) {
    // Each case: a direction just inside face A's border and one just across the edge,
    // with the face and pixel each must land on.
    struct Case {
        Vector3 inside, across;
        FacePixel a, b;
    };
    const float e = 1e-3f;
    const Case cases[] = {
        {{1 - e, 0.5f, -1}, {1, 0.5f, -1 + e}, {0, 192, 255}, {3, 192, 0}},    // Front | Right
        {{-1 + e, 0.5f, -1}, {-1, 0.5f, -1 + e}, {0, 192, 0}, {2, 192, 255}},  // Front | Left
        {{0.5f, 1 - e, -1}, {0.5f, 1, -1 + e}, {0, 255, 192}, {4, 0, 192}},    // Front | Up
        {{0.5f, -1 + e, -1}, {0.5f, -1, -1 + e}, {0, 0, 192}, {5, 255, 192}},  // Front | Down
        {{1, 0.5f, 1 - e}, {1 - e, 0.5f, 1}, {3, 192, 255}, {1, 192, 0}},      // Right | Back
        {{-1, 0.5f, 1 - e}, {-1 + e, 0.5f, 1}, {2, 192, 0}, {1, 192, 255}},    // Left | Back
        {{0.5f, 1 - e, 1}, {0.5f, 1, 1 - e}, {1, 255, 64}, {4, 255, 192}},     // Back | Up
        {{0.5f, -1 + e, 1}, {0.5f, -1, 1 - e}, {1, 0, 64}, {5, 0, 192}},       // Back | Down
        {{1 - e, 1, 0.5f}, {1, 1 - e, 0.5f}, {4, 192, 255}, {3, 255, 192}},    // Up | Right
        {{-1 + e, 1, 0.5f}, {-1, 1 - e, 0.5f}, {4, 192, 0}, {2, 255, 64}},     // Up | Left
        {{1 - e, -1, 0.5f}, {1, -1 + e, 0.5f}, {5, 64, 255}, {3, 0, 192}},     // Down | Right
        {{-1 + e, -1, 0.5f}, {-1, -1 + e, 0.5f}, {5, 64, 0}, {2, 0, 64}},     // Down | Left
    };
    for (const Case& c : cases) {
        const FacePixel a = directionToFacePixel(c.inside, square256);
        const FacePixel b = directionToFacePixel(c.across, square256);
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        EXPECT_EQ(a.face, c.a.face);
        EXPECT_EQ(a.row, c.a.row) << "face " << a.face;
        EXPECT_EQ(a.column, c.a.column) << "face " << a.face;
        EXPECT_EQ(b.face, c.b.face);
        EXPECT_EQ(b.row, c.b.row) << "face " << b.face;
        EXPECT_EQ(b.column, c.b.column) << "face " << b.face;
    }
}

TEST(DirectionToFacePixel, TiesGoToXThenY) {
    struct Case { Vector3 direction; int face; };
    for (const Case& c : {Case{{1, 1, 0}, 3}, {{1, 1, 1}, 3}, {{-1, 1, 1}, 2}, {{0, 1, 1}, 4}, {{0, -1, -1}, 5}})
        EXPECT_EQ(directionToFacePixel(c.direction, square256).face, c.face);
}

TEST(DirectionToFacePixel, DegenerateDirectionsGiveTheCentreOfTheCallersFace) {
    const float nan = std::nanf("");
    for (Vector3 d : {Vector3{0, 0, 0}, Vector3{nan, 0, -1}, Vector3{0, INFINITY, 0}}) {
        const FacePixel p = directionToFacePixel(d, square256, 4);
        EXPECT_EQ(p.face, 4);
        EXPECT_EQ(p.column, 128);  // rint(127.5) is 128: ties to even
        EXPECT_EQ(p.row, 128);
    }
}

TEST(DirectionToFacePixel, ColumnPastTheEdgeIsClamped) {
    // On the Right face s = z/x reaches 1 exactly: rint(255.5) is 256, one past the edge.
    const FacePixel p = directionToFacePixel({1, 0, 1}, square256);
    EXPECT_EQ(p.face, 3);
    EXPECT_EQ(p.column, 255);
    EXPECT_EQ(p.row, 128);
}

TEST(ViewOrientation, HeadingAndPitchLookAtTheExpectedFaces) {
    struct Case { float headingDegrees, pitchDegrees; int face; };
    for (const Case& c : {Case{0, 0, 0}, {90, 0, 2}, {-90, 0, 3}, {180, 0, 1}, {0, 90, 4}, {0, -90, 5}, {45, 60, 4}}) {
        const Vector3 centre = viewRay(c.headingDegrees * degToRad, c.pitchDegrees * degToRad, 1, 1, 0.5f, 0.5f);
        EXPECT_EQ(directionToFacePixel(centre, square256).face, c.face) << c.headingDegrees << " " << c.pitchDegrees;
        const float h = c.headingDegrees * degToRad, p = c.pitchDegrees * degToRad;
        // The view centre points along (-cos p sin h, sin p, -cos p cos h), scaled by 0.5.
        EXPECT_NEAR(centre.x, -0.5f * std::cos(p) * std::sin(h), 1e-6);
        EXPECT_NEAR(centre.y, 0.5f * std::sin(p), 1e-6);
        EXPECT_NEAR(centre.z, -0.5f * std::cos(p) * std::cos(h), 1e-6);
    }
}

TEST(ViewRay, SquareNinetyDegreeViewCornersAreFrontCorners) {
    const float fov = 90 * degToRad;
    // Normalised positions of the corner pixels' centres of a 256 x 256 view.
    const float lo = 0.5f / 256, hi = 255.5f / 256;
    struct Case { float u, v; int column, row; };
    for (const Case& c : {Case{lo, lo, 0, 0}, {hi, lo, 255, 0}, {lo, hi, 0, 255}, {hi, hi, 255, 255}, {0.5f, 0.5f, 128, 128}}) {
        const FacePixel p = directionToFacePixel(viewRay(0, 0, fov, fov, c.u, c.v), square256);
        EXPECT_EQ(p.face, 0);
        EXPECT_EQ(p.column, c.column);
        EXPECT_EQ(p.row, c.row);
    }
}

TEST(Quaternion, ProductComposesRotationsRightToLeft) {
    const Quaternion yaw = quaternionFromAxisAngle({0, 2, 0}, 90 * degToRad);  // axis normalised on a copy
    const Quaternion pitch = quaternionFromAxisAngle({1, 0, 0}, 90 * degToRad);
    // Pitch first takes -Z up to +Y, which the yaw leaves alone.
    const Vector3 v = rotate(yaw * pitch, {0, 0, -1});
    EXPECT_NEAR(v.x, 0, 1e-6);
    EXPECT_NEAR(v.y, 1, 1e-6);
    EXPECT_NEAR(v.z, 0, 1e-6);
    // Yaw alone turns -Z to -X: positive heading looks left.
    const Vector3 left = rotate(yaw, {0, 0, -1});
    EXPECT_NEAR(left.x, -1, 1e-6);
    EXPECT_NEAR(left.z, 0, 1e-6);
}

TEST(Quaternion, AxisAngleRoundTripAndIdentity) {
    Vector3 axis;
    float angle = 1;
    toAxisAngle(quaternionIdentity(), axis, angle);
    EXPECT_EQ(angle, 0.0f);
    EXPECT_EQ(axis.z, 1.0f);

    toAxisAngle(quaternionFromAxisAngle({0, 0, 3}, 0.75f), axis, angle);
    EXPECT_NEAR(angle, 0.75f, 1e-6);
    EXPECT_NEAR(axis.z, 1, 1e-5);
}

TEST(ClampPitch, HoldsTheViewWithinNinetyDegrees) {
    EXPECT_EQ(clampPitch(95 * degToRad), 90.0f * degToRad);
    EXPECT_EQ(clampPitch(85 * degToRad + 10 * degToRad), 90.0f * degToRad);
    EXPECT_EQ(clampPitch(-100 * degToRad), -90.0f * degToRad);
    EXPECT_EQ(clampPitch(0.25f), 0.25f);
    EXPECT_EQ(degToRad, 3.14159274f * (1.0f / 180.0f));
}

TEST(GammaTables, EndsAndTheLinearMidpoint) {
    EXPECT_EQ(toLinear(0), 0);
    EXPECT_EQ(toLinear(255), 4095);
    EXPECT_EQ(toGamma(0), 0);
    EXPECT_EQ(toGamma(4095), 255);
    // Two black and two white samples average to 2047 in linear light: 186, not 128.
    EXPECT_EQ(toGamma((2 * toLinear(0) + 2 * toLinear(255)) / 4), 186);
}

}  // namespace
