// The open's limits on a picture of the whole panorama: none but the pixel budget. The
// picture's buffer takes whatever size the reader accepted from the header, and the faces
// made from a sphere or cylinder are held to the budget as the picture was.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "image/bgr_image.h"
#include "image/pixel_budget.h"
#include "image/png.h"
#include "panorama/six_image.h"
#include "platform/io_exception.h"
#include "support/io_exception_expect.h"
#include "support/layout_rows.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"

namespace {

// Sizes just over the buffer's old walls, 1 GiB of pixels and sides of 65535, get their
// pixels.
TEST(PictureWalls, ThePictureBufferTakesAnySizeTheReaderAccepted) {
    for (const Size size : {Size{16384, 21846}, Size{70000, 2}, Size{2, 70000}}) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        std::unique_ptr<RawImage> picture;
        std::uint32_t stride = 0;
        int bytesPerPixel = 0;
        std::uint8_t* pixels = nullptr;
        SixImage::rawSink(size, 3, &picture, stride, bytesPerPixel, pixels);
        ASSERT_NE(pixels, nullptr);
        EXPECT_EQ(stride, BGRImage::strideFor(size.width));
        EXPECT_EQ(bytesPerPixel, 3);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->size(), size);
    }
}

// A sphere 4096 x 2: 8192 pixels, whose six faces of 1024 are 6.3 megapixels.
TEST(PictureWalls, FacesOverTheBudgetAreRefusedWithTheirSize) {
    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    MessageRecorder messages;
    ScriptedQuestions questions;
    const std::string path = dir.file("low.png");
    RawImage picture(Size{4096, 2});
    SavePNG(path.c_str(), picture.size(), picture.stride, 3, picture.pixels);

    setMaxImageMegapixels(6);
    SixImage refused;
    try {
        refused.load(questions, openRows::photoPng, path);
        ADD_FAILURE() << "opened";
    } catch (const ioException& e) {
        EXPECT_EQ(std::string(e.reason), "faces too large");
        EXPECT_TRUE(e.message.starts_with("The faces made from " + path + " are too large: 6 x 1024 x 1024 pixels, "
                                          "6.3 megapixels, needing 38 MB of memory; the limit is 6 megapixels "
                                          "(\"MaxImageMegapixels\")"))
            << e.message;
    }

    setMaxImageMegapixels(7);
    SixImage opened;
    ASSERT_NO_THROW(opened.load(questions, openRows::photoPng, path));
    EXPECT_EQ(opened.faces[0]->size(), (Size{1024, 1024}));
    setMaxImageMegapixels(std::nullopt);
}

}  // namespace
