// A photo opened, painted through the projection and saved back: its own pixels stay
// wherever nothing was painted.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "image/bgr_image.h"
#include "image/png.h"
#include "panorama/geometry.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"
#include "view/painted_six_image.h"

namespace {

constexpr int photoPngOpenRow = 14;
constexpr int photoPngSaveRow = 12;

// Neighbouring pixels unlike each other, so that any resampling shows.
std::unique_ptr<RawImage> noisyPicture(Size size) {
    auto picture = std::make_unique<RawImage>(size);
    std::uint32_t state = 12345;
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            std::uint8_t* p = picture->row(y) + 3 * x;
            for (int k = 0; k < 3; ++k) {
                state = state * 1664525u + 1013904223u;
                p[k] = static_cast<std::uint8_t>(state >> 24);
            }
        }
    return picture;
}

std::unique_ptr<RawImage> readPng(const std::string& path) {
    std::unique_ptr<RawImage> picture;
    LoadPNG(path.c_str(), SixImage::rawSink, &picture);
    return picture;
}

struct Difference {
    int pixels = 0;
    int lowestRow = 1 << 30;  // rows from the bottom
    int highestRow = -1;
};

Difference differences(const BGRImage& a, const BGRImage& b) {
    Difference d;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (std::memcmp(a.row(y) + 3 * x, b.row(y) + 3 * x, 3) != 0) {
                ++d.pixels;
                d.lowestRow = std::min(d.lowestRow, y);
                d.highestRow = std::max(d.highestRow, y);
            }
    return d;
}

class PhotoSaveBack : public ::testing::Test {
protected:
    void SetUp() override {
        const std::unique_ptr<RawImage> picture = noisyPicture(photoSize);
        SavePNG(source.c_str(), picture->size(), picture->stride, 3, picture->pixels);
        original = readPng(source);
        panorama = std::make_unique<PaintedSixImage>();
        ASSERT_EQ(panorama->load(questions, photoPngOpenRow, source), 0);
        panorama->layout = photoPngSaveRow;
    }

    std::unique_ptr<RawImage> saveAs(const std::string& name) {
        panorama->fileName = dir.file(name);
        panorama->write();
        return readPng(dir.file(name));
    }

    // A red stroke across the middle of a view looking almost straight down; with undo, the
    // patches that undo it.
    void paintNearTheNadir(std::vector<FacePatch>* undo = nullptr) {
        constexpr int side = 128;
        ViewBuffer& view = panorama->view;
        view.allocate({30 * degToRad, -75 * degToRad, {40 * degToRad, 40 * degToRad}, {side, side}});
        // Outside the stroke the picture came back unchanged.
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) view.row(y)[4 * x + 3] = y >= 56 && y < 72 && x >= 16 && x < 112 ? 255 : 0;
        const Size stroke{96, 16};
        std::vector<std::uint8_t> red;
        for (int i = 0; i < stroke.width * stroke.height; ++i) red.insert(red.end(), {255, 0, 0});
        ASSERT_TRUE(view.acceptRect({16, 56}, stroke, 3, red.data()));
        panorama->applyPaint(undo);
    }

    const Size photoSize{2048, 1024};
    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    MessageRecorder messages;
    ScriptedQuestions questions;
    const std::string source = dir.file("photo.png");
    std::unique_ptr<RawImage> original;
    std::unique_ptr<PaintedSixImage> panorama;
};

TEST_F(PhotoSaveBack, UnpaintedPhotoIsWrittenBackUnchanged) {
    const std::unique_ptr<RawImage> saved = saveAs("same.png");
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->size(), photoSize);
    EXPECT_EQ(differences(*saved, *original).pixels, 0);
}

TEST_F(PhotoSaveBack, OnlyThePaintedFootprintChangesAndASecondSaveChangesNothing) {
    paintNearTheNadir();
    const std::unique_ptr<RawImage> saved = saveAs("painted.png");
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->size(), photoSize);
    const Difference d = differences(*saved, *original);
    ASSERT_GT(d.pixels, 0);
    // The view spans pitch -95..-55 degrees: everything above latitude -50 is untouched.
    const int rowOfMinus50 = static_cast<int>((90.0 - 50.0) / 180.0 * photoSize.height);
    EXPECT_LT(d.highestRow, rowOfMinus50);
    // Where the view's centre looked (heading 30 left, latitude -75) the stroke is red.
    const int column = static_cast<int>((0.5 - 30.0 / 360.0) * photoSize.width);
    const int row = static_cast<int>((90.0 - 75.0) / 180.0 * photoSize.height);
    const std::uint8_t* centre = saved->row(row) + 3 * column;
    EXPECT_GT(centre[2], 200);
    EXPECT_LT(centre[1], 60);
    EXPECT_LT(centre[0], 60);
    // The footprint is a stroke, not the whole cap.
    EXPECT_LT(d.pixels, photoSize.width * photoSize.height / 50);

    const std::unique_ptr<RawImage> again = saveAs("again.png");
    ASSERT_TRUE(again);
    EXPECT_EQ(differences(*again, *saved).pixels, 0);
}

TEST_F(PhotoSaveBack, AnUndonePaintLeavesThePhotosOwnPixelsAndARedoBringsItBack) {
    std::vector<FacePatch> undo;
    paintNearTheNadir(&undo);
    ASSERT_FALSE(undo.empty());
    const std::unique_ptr<RawImage> painted = saveAs("painted.png");

    exchangePatches(*panorama, undo);
    const std::unique_ptr<RawImage> undone = saveAs("undone.png");
    ASSERT_TRUE(undone);
    EXPECT_EQ(differences(*undone, *original).pixels, 0);

    exchangePatches(*panorama, undo);
    const std::unique_ptr<RawImage> redone = saveAs("redone.png");
    ASSERT_TRUE(redone);
    EXPECT_EQ(differences(*redone, *painted).pixels, 0);
}

TEST_F(PhotoSaveBack, ResizedFacesAreAllRecomputed) {
    panorama->resizeFaces({256, 256});
    EXPECT_FALSE(panorama->faceChanges.tracking());
    const std::unique_ptr<RawImage> saved = saveAs("resized.png");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->size(), (Size{1024, 512}));
}

}  // namespace
