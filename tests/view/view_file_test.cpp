#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "panorama/six_image.h"
#include "support/patterned_panorama.h"
#include "platform/io_exception.h"
#include "support/io_exception_expect.h"
#include "support/message_recorder.h"
#include "support/patterned_panorama.h"
#include "support/temp_dir.h"
#include "view/painted_six_image.h"

namespace {

// An odd width, so that file rows carry padding.
constexpr Size viewSize{23, 17};

class ViewFile : public ::testing::Test {
protected:
    void SetUp() override {
        panorama = patternedPanorama(32);
        panorama->setFOV(panorama->calculateNominalFOV(viewSize));
        panorama->refreshView(viewSize);
        path = dir.file("view.bmp");
    }

    std::unique_ptr<RawImage> load() const {
        auto picture = std::make_unique<RawImage>(Size{0, 0});
        LoadBMP(path.c_str(), RawImage::sink, picture.get());
        return picture;
    }
    std::vector<std::uint8_t> view() const {
        return {panorama->viewPixels.get(),
                panorama->viewPixels.get() + static_cast<std::size_t>(panorama->viewWidth) * panorama->viewHeight * 4};
    }
    static bool isCorner(int x, int y, Size size) {
        return (x == 0 || x == size.width - 1) && (y == 0 || y == size.height - 1);
    }

    TempDir dir;
    std::string path;
    std::unique_ptr<PaintedSixImage> panorama;
};

TEST_F(ViewFile, HoldsTheViewBottomUpWithTheMarkerInItsCorners) {
    panorama->saveViewFile(path.c_str());
    const auto loaded = load();
    const RawImage& picture = *loaded;
    ASSERT_EQ(picture.size(), viewSize);
    for (int y = 0; y < viewSize.height; ++y)
        for (int x = 0; x < viewSize.width; ++x) {
            const std::uint8_t* file = picture.row(viewSize.height - 1 - y) + 3 * x;
            const std::uint8_t* pixel = &panorama->viewPixels[(y * viewSize.width + x) * 4];
            const std::vector<int> got(file, file + 3);
            if (isCorner(x, y, viewSize))
                EXPECT_EQ(got, (std::vector<int>{0x67, 0xC2, 0x72})) << x << "," << y;
            else
                ASSERT_EQ(got, (std::vector<int>{pixel[2], pixel[1], pixel[0]})) << x << "," << y;
        }
}

TEST_F(ViewFile, WithoutAViewNothingIsWritten) {
    PaintedSixImage empty;
    ASSERT_IO_EXCEPTION(empty.saveViewFile(path.c_str()), ioException::writing, path, "no view to write")
        << "no view buffer, no file";
}

TEST_F(ViewFile, AnUnchangedPaintedFileChangesNothing) {
    panorama->saveViewFile(path.c_str());
    panorama->acceptPaintedFile(path.c_str());
    EXPECT_EQ(panorama->modified, 0);
    EXPECT_EQ(panorama->paintPending, 0);
    for (int i = 0; i < viewSize.width * viewSize.height; ++i) ASSERT_EQ(panorama->viewPixels[4 * i + 3], 0) << i;
}

TEST_F(ViewFile, AChangedPixelIsTakenButNotTheMarkers) {
    panorama->saveViewFile(path.c_str());
    const auto loaded = load();
    RawImage& painted = *loaded;
    std::uint8_t* file = painted.row(viewSize.height - 1 - 5) + 3 * 7;  // view pixel (7, 5)
    file[0] = 1;
    file[1] = 2;
    file[2] = 3;
    SaveBMP(path.c_str(), painted.size(), painted.stride, 3, painted.pixels);
    const std::vector<std::uint8_t> before = view();

    panorama->acceptPaintedFile(path.c_str());
    EXPECT_EQ(panorama->modified, 1);
    EXPECT_EQ(panorama->paintPending, 0) << "accepted paint is projected at once";
    for (int y = 0; y < viewSize.height; ++y)
        for (int x = 0; x < viewSize.width; ++x) {
            const std::uint8_t* pixel = &panorama->viewPixels[(y * viewSize.width + x) * 4];
            if (x == 7 && y == 5) {
                EXPECT_EQ(std::vector<int>(pixel, pixel + 4), (std::vector<int>{3, 2, 1, 255}));
            } else {
                ASSERT_EQ(pixel[3], 0) << x << "," << y;
                ASSERT_EQ(std::memcmp(pixel, &before[(y * viewSize.width + x) * 4], 3), 0) << x << "," << y;
            }
        }
}

TEST_F(ViewFile, APaintedFileOfAnotherSizeIsComparedWithAViewRenderedAtItsSize) {
    const Size other{30, 12};
    auto reference = patternedPanorama(32);
    reference->setFOV(panorama->getFOV());
    reference->refreshView(other);
    reference->saveViewFile(path.c_str());

    panorama->acceptPaintedFile(path.c_str());
    EXPECT_EQ(panorama->viewWidth, other.width);
    EXPECT_EQ(panorama->viewHeight, other.height);
    EXPECT_EQ(panorama->modified, 0) << "the file is the view at that size";
}

TEST_F(ViewFile, AnUnreadablePaintedFileIsIgnoredSilently) {
    {
        std::ofstream garbage(dir.file("garbage.bmp"), std::ios::binary);
        garbage << "BM not really a picture";
    }
    const std::vector<std::uint8_t> before = view();
    MessageRecorder recorder;
    for (const std::string& name : {dir.file("missing.bmp"), dir.file("garbage.bmp")}) {
        panorama->acceptPaintedFile(name.c_str());
        EXPECT_EQ(view(), before) << name;
        EXPECT_EQ(panorama->modified, 0);
    }
    EXPECT_TRUE(recorder.texts().empty());
}

}  // namespace
