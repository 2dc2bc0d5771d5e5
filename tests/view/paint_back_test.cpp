#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "image/gl_dib_image.h"
#include "panorama/geometry.h"
#include "support/temp_dir.h"
#include "view/paint_back.h"
#include "view/painted_six_image.h"

namespace {

struct Rgb {
    std::uint8_t r, g, b;
};
constexpr Rgb red{255, 0, 0};
// What the view showed before painting; it sits under alpha 0 and must never reach a face.
constexpr Rgb green{0, 255, 0};

bool facePixelIs(const BGRImage& face, int column, int row, Rgb c) {
    const std::uint8_t* p = face.row(row) + 3 * column;
    return p[0] == c.b && p[1] == c.g && p[2] == c.r;
}

bool isWhite(const BGRImage& face, int column, int row) { return facePixelIs(face, column, row, {255, 255, 255}); }

struct FacePixelPosition {
    int column, row;
};

std::vector<FacePixelPosition> changedPixels(const BGRImage& face) {
    std::vector<FacePixelPosition> changed;
    for (int y = 0; y < face.height; ++y)
        for (int x = 0; x < face.width; ++x)
            if (!isWhite(face, x, y)) changed.push_back({x, y});
    return changed;
}

// A panorama of white faces with a view buffer in which nothing is painted yet.
class PaintBack : public ::testing::Test {
protected:
    void makePanorama(int faceSize) { panorama = std::make_unique<PaintedSixImage>(Size{faceSize, faceSize}, Size{faceSize, faceSize}); }

    void makeView(int width, int height, float fovXDegrees, float fovYDegrees, float headingDegrees = 0,
                  float pitchDegrees = 0) {
        panorama->view.allocate({headingDegrees * degToRad, pitchDegrees * degToRad,
                                 {fovXDegrees * degToRad, fovYDegrees * degToRad}, {width, height}});
        for (int i = 0; i < width * height; ++i) setViewPixel(i % width, i / width, green, 0);
    }

    // Row 0 is the top of the view.
    void setViewPixel(int column, int row, Rgb c, std::uint8_t alpha) {
        std::uint8_t* p = panorama->view.row(row) + 4 * column;
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
        p[3] = alpha;
    }

    // The paint program paints the rectangle red over what the view showed.
    void paintRect(int left, int top, int right, int bottom) {
        const Size size{right - left, bottom - top};
        std::vector<std::uint8_t> paint;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) {
                setViewPixel(x, y, green, 255);
                paint.insert(paint.end(), {red.r, red.g, red.b});
            }
        ASSERT_TRUE(panorama->view.acceptRect({left, top}, size, 3, paint.data()));
    }

    // Projects the view with the camera it was rendered with.
    void project() { EXPECT_TRUE(paintBack(*panorama, panorama->view.camera(), panorama->view).projected); }

    const BGRImage& face(int i) const { return *panorama->faces[i]; }

    std::unique_ptr<PaintedSixImage> panorama;
};

TEST_F(PaintBack, CentrePixelLandsOnTheFaceTheViewLooksAt) {
    struct Case {
        float heading, pitch;
        int face;
    };
    const Case cases[] = {
        {0, 0, Front}, {180, 0, Back}, {90, 0, Left}, {-90, 0, Right}, {0, 90, Up}, {0, -90, Down},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "heading " << c.heading << " pitch " << c.pitch);
        makePanorama(64);
        makeView(64, 64, 90, 90, c.heading, c.pitch);
        paintRect(32, 32, 33, 33);
        project();

        // View column 32 of the row 32 below the top is face column 32 of row 31 above
        // the bottom; linear filtering may touch the immediate neighbours.
        EXPECT_FALSE(isWhite(face(c.face), 32, 31));
        for (const auto& p : changedPixels(face(c.face))) {
            EXPECT_LE(std::abs(p.column - 32), 1);
            EXPECT_LE(std::abs(p.row - 31), 1);
        }
        for (int i = 0; i < faceCount; ++i)
            if (i != c.face) {
                EXPECT_TRUE(changedPixels(face(i)).empty()) << "face " << i;
            }
    }
}

TEST_F(PaintBack, ApplyPaintProjectsAndClearsPending) {
    makePanorama(16);
    makeView(16, 16, 90, 90);
    paintRect(4, 4, 12, 12);
    ASSERT_TRUE(panorama->view.paintPending());
    panorama->applyPaint();
    EXPECT_FALSE(panorama->view.paintPending());
    EXPECT_FALSE(changedPixels(face(Front)).empty());
}

TEST_F(PaintBack, UnchangedPixelsAreNeverProjected) {
    makePanorama(32);
    makeView(32, 32, 90, 90);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) setViewPixel(x, y, red, 0);
    EXPECT_FALSE(paintBack(*panorama, panorama->view.camera(), panorama->view).projected);
    for (int i = 0; i < faceCount; ++i) {
        EXPECT_TRUE(changedPixels(face(i)).empty()) << "face " << i;
        EXPECT_FALSE(dynamic_cast<const GLDIBImage&>(face(i)).hasContext()) << "face " << i << " was drawn into";
    }
}

TEST_F(PaintBack, FacesNoPaintReachesAreNotDrawnInto) {
    makePanorama(32);
    makeView(1024, 1024, 90, 90);  // looking at Front, which fills the view
    paintRect(300, 300, 700, 700);  // tiles that stay clear of the view's edges
    project();
    EXPECT_FALSE(changedPixels(face(Front)).empty());
    for (int i = 0; i < faceCount; ++i)
        EXPECT_EQ(dynamic_cast<const GLDIBImage&>(face(i)).hasContext(), i == Front) << "face " << i;
}

TEST_F(PaintBack, NothingPendingDrawsNothing) {
    makePanorama(32);
    makeView(32, 32, 90, 90);
    paintRect(0, 0, 32, 32);
    panorama->view.clearPaintPending();
    panorama->applyPaint();
    EXPECT_TRUE(changedPixels(face(Front)).empty());
}

TEST_F(PaintBack, AViewNotOfTheCamerasSizeOrNoViewIsNotProjected) {
    makePanorama(32);
    makeView(32, 32, 90, 90);
    paintRect(0, 0, 32, 32);
    Camera other = panorama->view.camera();
    other.size = {32, 31};
    EXPECT_FALSE(paintBack(*panorama, other, panorama->view).projected);
    const ViewBuffer none;
    EXPECT_FALSE(paintBack(*panorama, panorama->view.camera(), none).projected);
    for (int i = 0; i < faceCount; ++i) EXPECT_TRUE(changedPixels(face(i)).empty()) << "face " << i;
}

TEST_F(PaintBack, StrokeAcrossTheViewsRightEdgeCoversFrontAndRightWithoutGap) {
    makePanorama(64);
    makeView(128, 128, 120, 120);
    paintRect(64, 56, 128, 72);  // from the centre to the right edge
    project();

    // At 120 degrees the view's right edge looks 60 degrees right of ahead: the stroke
    // ends a quarter of the way into Right, about column 13.5.
    for (int row : {31, 32}) {
        for (int x = 33; x < 64; ++x) EXPECT_TRUE(facePixelIs(face(Front), x, row, red)) << "Front " << x << "," << row;
        for (int x = 0; x <= 12; ++x) EXPECT_TRUE(facePixelIs(face(Right), x, row, red)) << "Right " << x << "," << row;
    }
    for (const auto& p : changedPixels(face(Right))) EXPECT_LE(p.column, 14);
    for (int i : {Back, Left, Up, Down}) EXPECT_TRUE(changedPixels(face(i)).empty()) << "face " << i;
}

TEST_F(PaintBack, AnObliqueViewPaintsEveryFacePixelItSeesAndNoOther) {
    // Heading 30, pitch 20, 100 x 80 degrees: Front, Right and Up each see part of it.
    constexpr int width = 200, height = 150, side = 64;
    makePanorama(side);
    makeView(width, height, 100, 80, 30, 20);
    paintRect(0, 0, width, height);
    project();

    const Camera camera = panorama->view.camera();
    const float tx = std::tan(camera.fov[0] / 2), ty = std::tan(camera.fov[1] / 2);
    const Quaternion viewTurn = viewOrientation(camera.heading, camera.pitch);
    struct FaceTurn {
        int face;
        Vector3 axis;
        float degrees;
    };
    const FaceTurn turns[] = {{Front, {0, 1, 0}, 0}, {Back, {0, 1, 0}, 180}, {Left, {0, 1, 0}, -90},
                              {Right, {0, 1, 0}, 90}, {Down, {1, 0, 0}, 90}, {Up, {1, 0, 0}, -90}};
    const auto inverse = [](Quaternion q) { return Quaternion{-q.x, -q.y, -q.z, q.w}; };
    int painted = 0;
    for (const FaceTurn& turn : turns) {
        const Quaternion faceTurn = quaternionFromAxisAngle(turn.axis, turn.degrees * degToRad);
        const Quaternion faceToView = inverse(faceTurn * viewTurn);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                // The pixel's centre seen from the view: where it falls on the view's plane,
                // in view pixels from the centre.
                const Vector3 p = rotate(faceToView, {(x + 0.5f) / side * 2 - 1, (y + 0.5f) / side * 2 - 1, -1});
                if (!(p.z < 0)) {
                    EXPECT_TRUE(isWhite(face(turn.face), x, y)) << "face " << turn.face << " " << x << "," << y;
                    continue;
                }
                const float column = p.x / -p.z / tx * width / 2, row = p.y / -p.z / ty * height / 2;
                const float beyond = std::max(std::fabs(column) - width / 2.0f, std::fabs(row) - height / 2.0f);
                if (beyond < -1.5f) {
                    ++painted;
                    EXPECT_TRUE(facePixelIs(face(turn.face), x, y, red)) << "face " << turn.face << " " << x << "," << y;
                } else if (beyond > 1.5f) {
                    EXPECT_TRUE(isWhite(face(turn.face), x, y)) << "face " << turn.face << " " << x << "," << y;
                }
            }
    }
    EXPECT_GT(painted, side * side / 2);
}

TEST_F(PaintBack, StrokesAcrossTileBoundariesLeaveNoSeam) {
    // A 300 x 300 view has a tile boundary after column 256 and after row 256. The face is
    // larger than the view, so face pixels sample between view pixels, across the
    // boundary too.
    makePanorama(400);
    makeView(300, 300, 90, 90);
    paintRect(0, 246, 300, 266);  // horizontal band across the column boundary
    paintRect(246, 0, 266, 300);  // vertical band across the row boundary
    project();

    // Face pixel (x, y) samples view position ((x + 0.5) 0.75, (399.5 - y) 0.75). Well
    // inside a band every sample is pure paint; a seam would mix in another colour.
    const auto inBand = [](double position) { return position >= 248 && position <= 264; };
    int checked = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x) {
            const double column = (x + 0.5) * 0.75, row = (399.5 - y) * 0.75;
            if (!inBand(column) && !inBand(row)) continue;
            ++checked;
            ASSERT_TRUE(facePixelIs(face(Front), x, y, red)) << "Front " << x << "," << y;
        }
    EXPECT_GT(checked, 2 * 20 * 400);
}

TEST_F(PaintBack, FacesMadeAfterAProjectionAreSetUpBeforeTheNext) {
    makePanorama(32);
    makeView(32, 32, 90, 90);
    paintRect(16, 16, 17, 17);
    panorama->applyPaint();
    panorama->resizeFaces({64, 64});  // six new contexts, never set up

    makeView(64, 64, 90, 90);
    paintRect(32, 32, 33, 33);
    panorama->applyPaint();
    for (const auto& p : changedPixels(face(Front))) {
        EXPECT_LE(std::abs(p.column - 32), 1);
        EXPECT_LE(std::abs(p.row - 31), 1);
    }
    EXPECT_FALSE(isWhite(face(Front), 32, 31));
}

TEST_F(PaintBack, WriteProjectsPendingPaintFirst) {
    makePanorama(32);
    makeView(32, 32, 90, 90);
    paintRect(8, 8, 24, 24);
    TempDir dir;
    panorama->fileName = dir.file("pano_FR.tga");
    panorama->layout = 0;  // "3DStudio, Targa"
    EXPECT_EQ(panorama->write(), 0);
    EXPECT_FALSE(panorama->view.paintPending());
    EXPECT_TRUE(facePixelIs(face(Front), 16, 15, red));
}

}  // namespace
