#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <vector>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "platform/io_exception.h"
#include "support/io_exception_expect.h"
#include "support/message_recorder.h"
#include "support/patterned_panorama.h"
#include "support/temp_dir.h"
#include "panorama/geometry.h"
#include "view/render_view.h"
#include "view/view_file.h"

namespace {

// An odd width, so that file rows carry padding.
constexpr Size viewSize{23, 17};

class ViewFile : public ::testing::Test {
protected:
    void SetUp() override {
        panorama = patternedPanorama(32);
        camera = nominalCamera(*panorama, 0, 0, viewSize);
        render(*panorama, camera, panorama->view);
        path = dir.file("view.bmp");
    }

    // What the editor does with a painted view file: the view rendered at the picture's
    // size, the marker's corners left out, the changed pixels taken and projected.
    // Returns whether any pixel was taken.
    bool acceptPaintedFile(const std::string& file) {
        const std::unique_ptr<RawImage> picture = readPaintedFile(file.c_str());
        Camera seen = camera;
        seen.size = picture->size();
        render(*panorama, seen, panorama->view);
        panorama->view.maskCorners();
        const bool taken = panorama->view.acceptPicture(*picture);
        panorama->applyPaint();
        return taken;
    }

    std::unique_ptr<RawImage> load() const {
        auto picture = std::make_unique<RawImage>(Size{0, 0});
        LoadBMP(path.c_str(), RawImage::sink, picture.get());
        return picture;
    }
    std::vector<std::uint8_t> view() const {
        const ViewBuffer& buffer = panorama->view;
        return {buffer.pixels(), buffer.pixels() + buffer.stride() * static_cast<std::size_t>(buffer.size().height)};
    }
    static bool isCorner(int x, int y, Size size) {
        return (x == 0 || x == size.width - 1) && (y == 0 || y == size.height - 1);
    }

    TempDir dir;
    std::string path;
    Camera camera;
    std::unique_ptr<PaintedSixImage> panorama;
};

TEST_F(ViewFile, HoldsTheViewBottomUpWithTheMarkerInItsCorners) {
    writeViewFile(panorama->view, path.c_str());
    const auto loaded = load();
    const RawImage& picture = *loaded;
    ASSERT_EQ(picture.size(), viewSize);
    for (int y = 0; y < viewSize.height; ++y)
        for (int x = 0; x < viewSize.width; ++x) {
            const std::uint8_t* file = picture.row(viewSize.height - 1 - y) + 3 * x;
            const std::uint8_t* pixel = panorama->view.row(y) + 4 * x;
            const std::vector<int> got(file, file + 3);
            if (isCorner(x, y, viewSize))
                EXPECT_EQ(got, (std::vector<int>{0x67, 0xC2, 0x72})) << x << "," << y;
            else
                ASSERT_EQ(got, (std::vector<int>{pixel[2], pixel[1], pixel[0]})) << x << "," << y;
        }
}

TEST_F(ViewFile, WithoutAViewNothingIsWritten) {
    const ViewBuffer empty;
    ASSERT_IO_EXCEPTION(writeViewFile(empty, path.c_str()), ioException::writing, path, "no view to write")
        << "no view buffer, no file";
}

TEST_F(ViewFile, AnUnchangedPaintedFileChangesNothing) {
    writeViewFile(panorama->view, path.c_str());
    EXPECT_FALSE(acceptPaintedFile(path));
    EXPECT_FALSE(panorama->view.paintPending());
    for (int i = 0; i < viewSize.width * viewSize.height; ++i) ASSERT_EQ(panorama->view.pixels()[4 * i + 3], 0) << i;
}

TEST_F(ViewFile, AChangedPixelIsTakenButNotTheMarkers) {
    writeViewFile(panorama->view, path.c_str());
    const auto loaded = load();
    RawImage& painted = *loaded;
    std::uint8_t* file = painted.row(viewSize.height - 1 - 5) + 3 * 7;  // view pixel (7, 5)
    file[0] = 1;
    file[1] = 2;
    file[2] = 3;
    SaveBMP(path.c_str(), painted.size(), painted.stride, 3, painted.pixels);
    const std::vector<std::uint8_t> before = view();

    EXPECT_TRUE(acceptPaintedFile(path));
    EXPECT_FALSE(panorama->view.paintPending()) << "accepted paint is projected at once";
    for (int y = 0; y < viewSize.height; ++y)
        for (int x = 0; x < viewSize.width; ++x) {
            const std::uint8_t* pixel = panorama->view.row(y) + 4 * x;
            if (x == 7 && y == 5) {
                EXPECT_EQ(std::vector<int>(pixel, pixel + 4), (std::vector<int>{3, 2, 1, 255}));
            } else {
                ASSERT_EQ(pixel[3], 0) << x << "," << y;
                ASSERT_EQ(std::memcmp(pixel, &before[(y * viewSize.width + x) * 4], 3), 0) << x << "," << y;
            }
        }
}

// A picture that does not fit the view it was written for is named with the reason; the
// view's own file, or one whose corners were painted over, fits.
TEST_F(ViewFile, APaintedPictureThatDoesNotFitItsViewIsRefusedWithTheReason) {
    const auto fileOf = [&](float heading, float pitch, Size size) {
        ViewBuffer other;
        render(*patternedPanorama(32), {heading, pitch, camera.fov, size}, other);
        writeViewFile(other, path.c_str());
        return readPaintedFile(path.c_str());
    };
    const auto paintCorners = [](RawImage& picture, int corners) {
        const std::int32_t w = picture.width, h = picture.height;
        const Point at[] = {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}};
        for (int i = 0; i < corners; ++i) std::memset(picture.row(at[i].y) + 3 * at[i].x, 0x40, 3);
    };
    const float step = 3.14159274f / 128;  // one marker step
    struct Case {
        const char* name;
        std::function<std::unique_ptr<RawImage>()> picture;
        std::string reason;  // empty: it fits
    };
    const Case cases[] = {
        {"the view's own file", [&] { return fileOf(0, 0, viewSize); }, ""},
        {"cropped", [&] { return fileOf(0, 0, {20, 17}); },
         "The painted view is 20x17 but the view was 23x17: it may have been cropped."},
        {"another heading",
         [&] { return fileOf(-60 * degToRad, 0, viewSize); },
         "The painted view carries the marker of another view (h=60\u00b0 or 240\u00b0, v=0\u00b0) than the one it was "
         "made for (h=0\u00b0 v=0\u00b0): it may be an older view file saved over the new one."},
        {"another pitch, three corners painted over",
         [&] {
             auto picture = fileOf(0, -20 * degToRad, viewSize);
             paintCorners(*picture, 3);
             return picture;
         },
         ""},
        {"another pitch, two corners painted over",
         [&] {
             auto picture = fileOf(0, -20 * degToRad, viewSize);
             paintCorners(*picture, 2);
             return picture;
         },
         "The painted view carries the marker of another view (h=0\u00b0 or 180\u00b0, v=-20\u00b0) than the one it was "
         "made for (h=0\u00b0 v=0\u00b0): it may be an older view file saved over the new one."},
        {"a heading one marker step off (angles given in whole degrees)", [&] { return fileOf(step, 0, viewSize); }, ""},
        {"every corner painted over", [&] {
             auto picture = fileOf(-90 * degToRad, 0, viewSize);
             paintCorners(*picture, 4);
             return picture;
         },
         ""},
    };
    for (const Case& c : cases) EXPECT_EQ(paintedViewMismatch(*c.picture(), camera), c.reason) << c.name;
}

TEST_F(ViewFile, AnUnreadablePaintedFileThrowsItsReasonWithoutAMessage) {
    {
        std::ofstream garbage(dir.file("garbage.bmp"), std::ios::binary);
        garbage << "BM not really a picture";
    }
    MessageRecorder recorder;
    struct Case {
        std::string name;
        std::int32_t kind;
    };
    const Case cases[] = {{dir.file("missing.bmp"), ioException::opening}, {dir.file("garbage.bmp"), ioException::reading}};
    for (const Case& c : cases) EXPECT_IO_EXCEPTION(readPaintedFile(c.name.c_str()), c.kind, c.name, anyReason);
    EXPECT_TRUE(recorder.texts().empty()) << "the caller reports the reason";
}

}  // namespace
