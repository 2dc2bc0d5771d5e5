#include "view/view_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "image/bgr_image.h"
#include "support/patterned_panorama.h"
#include "view/render_view.h"

namespace {

constexpr int viewSize = 24;
constexpr Size full{viewSize, viewSize};

// A 24 x 24 view at heading 0, pitch 0 rendered from patterned faces, and the R, G, B
// picture the paint link handed out for it.
class AcceptPaint : public ::testing::Test {
protected:
    void SetUp() override {
        panorama = patternedPanorama(32);
        camera = nominalCamera(*panorama, 0, 0, full);
        render(*panorama, camera, view);
        picture.clear();
        for (int i = 0; i < viewSize * viewSize; ++i)
            picture.insert(picture.end(), view.pixels() + 4 * i, view.pixels() + 4 * i + 3);
    }

    std::vector<std::uint8_t> viewBytes() const { return {view.pixels(), view.pixels() + viewSize * viewSize * 4}; }
    std::uint8_t* viewPixel(int x, int y) { return view.row(y) + 4 * x; }
    std::uint8_t* picturePixel(int x, int y) { return &picture[(y * viewSize + x) * 3]; }
    bool acceptWhole() { return view.acceptRect({0, 0}, full, 3, picture.data()); }

    std::unique_ptr<PaintedSixImage> panorama;
    Camera camera;
    ViewBuffer view;
    std::vector<std::uint8_t> picture;
};

TEST_F(AcceptPaint, AnUnchangedPictureMarksEveryPixelUnchanged) {
    EXPECT_FALSE(acceptWhole());
    EXPECT_FALSE(view.paintPending());
    for (int i = 0; i < viewSize * viewSize; ++i) ASSERT_EQ(view.pixels()[4 * i + 3], 0) << i;
}

TEST_F(AcceptPaint, AChangedPixelIsTakenAndMarked) {
    const std::uint8_t paint[3] = {250, 3, 7};
    std::memcpy(picturePixel(5, 9), paint, 3);
    EXPECT_TRUE(acceptWhole());
    EXPECT_TRUE(view.paintPending());
    EXPECT_EQ(std::memcmp(viewPixel(5, 9), paint, 3), 0);
    EXPECT_EQ(viewPixel(5, 9)[3], 255);
    EXPECT_EQ(viewPixel(6, 9)[3], 0);
    EXPECT_EQ(viewPixel(5, 8)[3], 0);

    // The same picture again takes nothing more; the paint taken before is still pending.
    EXPECT_FALSE(acceptWhole());
    EXPECT_TRUE(view.paintPending());
    view.clearPaintPending();
    EXPECT_FALSE(view.paintPending());
}

TEST_F(AcceptPaint, MaskedPixelsAreNeverAccepted) {
    struct Case {
        void (ViewBuffer::*mask)();
        std::vector<Point> masked;
    };
    const Case cases[] = {
        {&ViewBuffer::maskFirstRow, {{0, 0}, {7, 0}, {viewSize - 1, 0}}},
        {&ViewBuffer::maskCorners, {{0, 0}, {viewSize - 1, 0}, {0, viewSize - 1}, {viewSize - 1, viewSize - 1}}},
    };
    for (const Case& c : cases) {
        SetUp();
        (view.*c.mask)();
        for (const Point p : c.masked) ASSERT_EQ(viewPixel(p.x, p.y)[3], 0);
        EXPECT_EQ(viewPixel(1, 1)[3], 255) << "the mask leaves other pixels eligible";
        const std::vector<std::uint8_t> before = viewBytes();
        for (const Point p : c.masked) picturePixel(p.x, p.y)[0] ^= 0xFF;
        EXPECT_FALSE(acceptWhole());
        for (const Point p : c.masked) {
            EXPECT_EQ(std::memcmp(viewPixel(p.x, p.y), &before[(p.y * viewSize + p.x) * 4], 4), 0);
        }
        EXPECT_FALSE(view.paintPending());
    }
}

TEST_F(AcceptPaint, OpeningTheMaskComparesTheNextPictureWithTheViewAsPainted) {
    picturePixel(2, 2)[1] ^= 0x22;
    ASSERT_TRUE(acceptWhole());
    view.clearPaintPending();
    view.openMask();
    for (int i = 0; i < viewSize * viewSize; ++i) ASSERT_EQ(view.pixels()[4 * i + 3], 255) << i;
    // The same picture a second time: nothing changed since, nothing is taken.
    EXPECT_FALSE(acceptWhole());
    EXPECT_FALSE(view.paintPending());
    EXPECT_EQ(viewPixel(2, 2)[1], picturePixel(2, 2)[1]);
}

TEST_F(AcceptPaint, OnlyTheRectangleIsCompared) {
    const Point origin{4, 6};
    const Size size{5, 3};
    std::vector<std::uint8_t> tile;
    for (int i = 0; i < size.height; ++i)
        tile.insert(tile.end(), picturePixel(origin.x, origin.y + i), picturePixel(origin.x + size.width, origin.y + i));
    tile[3 * (1 * size.width + 2) + 1] ^= 0x40;  // tile pixel (2, 1): view pixel (6, 7)
    EXPECT_TRUE(view.acceptRect(origin, size, 3, tile.data()));
    for (int y = 0; y < viewSize; ++y)
        for (int x = 0; x < viewSize; ++x) {
            const bool inside = x >= origin.x && x < origin.x + size.width && y >= origin.y && y < origin.y + size.height;
            const int expected = (x == 6 && y == 7) || !inside ? 255 : 0;
            ASSERT_EQ(viewPixel(x, y)[3], expected) << x << "," << y;
        }
    EXPECT_EQ(viewPixel(6, 7)[1], tile[3 * (1 * size.width + 2) + 1]);
    EXPECT_TRUE(view.paintPending());
}

TEST_F(AcceptPaint, FourByteRectanglesReadTheFirstThreeBytes) {
    std::vector<std::uint8_t> tile(2 * 4);
    std::memcpy(&tile[0], picturePixel(0, 3), 3);
    std::memcpy(&tile[4], picturePixel(1, 3), 3);
    tile[3] = 17;  // the fourth byte is not a colour
    tile[4] ^= 1;
    EXPECT_TRUE(view.acceptRect({0, 3}, {2, 1}, 4, tile.data()));
    EXPECT_EQ(viewPixel(0, 3)[3], 0);
    EXPECT_EQ(viewPixel(1, 3)[3], 255);
    EXPECT_EQ(viewPixel(1, 3)[0], tile[4]);
}

TEST_F(AcceptPaint, ABadRectangleIsRefusedWhole) {
    struct Case {
        Point origin;
        Size size;
        int bpp;
    };
    const Case cases[] = {
        {{20, 0}, {8, 2}, 3},  {{0, 23}, {2, 2}, 3},  {{-1, 0}, {2, 2}, 3},         {{0, -1}, {2, 2}, 3},
        {{0, 0}, {-2, 2}, 3},  {{0, 0}, {2, -2}, 3},  {{0, 0}, {2, 2}, 2},          {{0, 0}, {2, 2}, 5},
        {{0, 0}, {25, 1}, 3},  {{0, 0}, {1, 25}, 3},  {{2147483647, 0}, {2, 2}, 3},
    };
    const std::vector<std::uint8_t> paint(25 * 4, 0x5A);  // as big as the largest rectangle's pixels
    const std::vector<std::uint8_t> before = viewBytes();
    for (const Case& c : cases) {
        EXPECT_FALSE(view.acceptRect(c.origin, c.size, c.bpp, paint.data()));
        ASSERT_EQ(viewBytes(), before) << c.origin.x << "," << c.origin.y << " " << c.size.width << "x" << c.size.height;
        EXPECT_EQ(view.size(), full);
    }
    EXPECT_FALSE(view.acceptRect({0, 0}, {2, 2}, 3, nullptr));
    EXPECT_EQ(viewBytes(), before);
    EXPECT_FALSE(view.paintPending());
}

TEST_F(AcceptPaint, ARectangleOfALargerViewIsRefusedUntilTheViewIsRenderedAtItsCamera) {
    ViewBuffer small;
    Camera smallCamera = camera;
    smallCamera.size = {8, 8};
    small.allocate(smallCamera);
    const std::vector<std::uint8_t> white(8 * 8 * 4, 255);
    picturePixel(3, 3)[2] ^= 0x10;
    EXPECT_FALSE(small.acceptRect({0, 0}, full, 3, picture.data()));
    EXPECT_EQ(small.size(), (Size{8, 8}));
    EXPECT_EQ(std::vector<std::uint8_t>(small.pixels(), small.pixels() + white.size()), white);
    EXPECT_FALSE(small.paintPending());

    // Rendered afresh at the camera the picture was handed out for, the view compares equal
    // but for the painted pixel.
    render(*panorama, camera, small);
    EXPECT_TRUE(small.acceptRect({0, 0}, full, 3, picture.data()));
    EXPECT_EQ(small.size(), full);
    EXPECT_TRUE(small.paintPending());
    EXPECT_EQ(small.row(3)[3 * 4 + 3], 255);
    EXPECT_EQ(small.row(3)[4 * 4 + 3], 0);
}

// The view file's picture: blue, green, red, row 0 the bottom.
std::unique_ptr<RawImage> filePicture(const std::vector<std::uint8_t>& rgb, Size size) {
    auto picture = std::make_unique<RawImage>(size);
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            const std::uint8_t* from = &rgb[(static_cast<std::size_t>(y) * size.width + x) * 3];
            std::uint8_t* to = picture->row(size.height - 1 - y) + 3 * x;
            to[0] = from[2], to[1] = from[1], to[2] = from[0];
        }
    return picture;
}

TEST_F(AcceptPaint, APictureIsReadBottomUpInBlueGreenRed) {
    const std::uint8_t paint[3] = {9, 120, 240};  // red, green, blue
    std::memcpy(picturePixel(2, 1), paint, 3);
    EXPECT_TRUE(view.acceptPicture(*filePicture(picture, full)));
    EXPECT_TRUE(view.paintPending());
    EXPECT_EQ(std::vector<int>(viewPixel(2, 1), viewPixel(2, 1) + 4), (std::vector<int>{9, 120, 240, 255}));
    for (int y = 0; y < viewSize; ++y)
        for (int x = 0; x < viewSize; ++x) {
            if (x == 2 && y == 1) continue;
            ASSERT_EQ(viewPixel(x, y)[3], 0) << x << "," << y;
        }
}

TEST_F(AcceptPaint, APictureOfAnotherSizeIsRefused) {
    const std::vector<std::uint8_t> before = viewBytes();
    for (const Size size : {Size{viewSize, viewSize - 1}, Size{viewSize + 1, viewSize}}) {
        const std::vector<std::uint8_t> rgb(static_cast<std::size_t>(size.width) * size.height * 3, 0x33);
        EXPECT_FALSE(view.acceptPicture(*filePicture(rgb, size))) << size.width << "x" << size.height;
        EXPECT_EQ(viewBytes(), before);
    }
    EXPECT_FALSE(view.paintPending());
}

TEST(ViewBuffer, AllocateGivesAWhiteEligibleBufferForTheCamera) {
    ViewBuffer view;
    const Camera camera{0.5f, -0.25f, {1.0f, 0.75f}, {5, 3}};
    view.allocate(camera);
    ASSERT_FALSE(view.empty());
    EXPECT_EQ(view.camera(), camera);
    EXPECT_EQ(view.size(), (Size{5, 3}));
    EXPECT_EQ(view.stride(), 20u);
    EXPECT_EQ(view.row(2), view.pixels() + 40);
    for (int i = 0; i < 5 * 3 * 4; ++i) ASSERT_EQ(view.pixels()[i], 255) << i;
    EXPECT_FALSE(view.paintPending());

    view.reset();
    EXPECT_TRUE(view.empty());
    EXPECT_EQ(view.size(), (Size{0, 0}));
}

TEST(ViewBuffer, AnEmptySizeGivesNoBuffer) {
    ViewBuffer view;
    view.allocate({0, 0, {1, 1}, {4, 4}});
    for (const Size size : {Size{0, 8}, Size{8, 0}, Size{-3, 8}, Size{8, -1}, Size{0, 0}}) {
        view.allocate({0, 0, {1, 1}, size});
        EXPECT_TRUE(view.empty()) << size.width << "x" << size.height;
        EXPECT_EQ(view.pixels(), nullptr);
    }
}

TEST(ViewBuffer, WithoutPixelsMasksAndPaintDoNothing) {
    ViewBuffer view;
    view.maskFirstRow();
    view.maskCorners();
    view.openMask();
    const std::uint8_t paint[3] = {1, 2, 3};
    EXPECT_FALSE(view.acceptRect({0, 0}, {1, 1}, 3, paint));
    EXPECT_FALSE(view.acceptPicture(RawImage(Size{1, 1})));
    EXPECT_EQ(view.pixels(), nullptr);
    EXPECT_FALSE(view.paintPending());
}

}  // namespace
