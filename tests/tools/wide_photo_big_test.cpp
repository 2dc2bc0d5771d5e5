// A 32768 x 16384 photo, the stitched output of common 360-degree cameras, converted to
// six faces of 8192 by domecast-cli under a pixel budget raised to fit. Labelled "big":
// it writes and reads gigabytes (the figures of time and memory are in
// bench/wide_photo_bench).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "image/bgr_image.h"
#include "image/jpeg.h"
#include "support/measured_run.h"
#include "support/programs.h"
#include "support/striped_jpeg.h"
#include "support/temp_dir.h"

namespace {

TEST(WidePhoto, A32768By16384PhotoConvertsToFacesUnderARaisedBudget) {
    TempDir dir;
    const std::string photo = dir.file("camera.jpg");
    ASSERT_TRUE(writeStripedJpeg(photo, 32768, 16384));
    const char* suffixes[] = {"ft", "bk", "lf", "rt", "up", "dn"};

    // Over the default budget: refused from the header, before its pixels are allocated.
    const MeasuredRun refused = runMeasured({programPath("domecast-cli"), "convert", photo, dir.file("no_ft.jpg")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_LT(refused.peakKilobytes, 200 * 1024) << "refused before the pixels were allocated";

    const MeasuredRun run = runMeasured(
        {programPath("domecast-cli"), "convert", photo, dir.file("sky_ft.jpg"), "--max-megapixels", "600"});
    ASSERT_EQ(run.status, 0);
    std::printf("convert of 32768 x 16384: %.1f s (%.1f s of processor), peak resident %.2f GiB\n", run.seconds,
                run.cpuSeconds, static_cast<double>(run.peakKilobytes) / (1 << 20));
    for (const char* suffix : suffixes) {
        const auto [width, height] = jpegHeaderSize(dir.file(std::string("sky_") + suffix + ".jpg"));
        EXPECT_EQ(width, 8192u) << suffix;
        EXPECT_EQ(height, 8192u) << suffix;
    }

    // The faces hold the photo: a quarter of the way out from a side face's centre (14
    // degrees) on either side lie two neighbouring stripes (the centre is on the edge
    // between them).
    RawImage face(Size{0, 0});
    LoadJPEG(dir.file("sky_rt.jpg").c_str(), RawImage::sink, &face);
    ASSERT_EQ(face.size(), (Size{8192, 8192}));
    const auto stripeOf = [&](std::int32_t x) {
        const std::uint8_t* p = face.row(4096) + 3 * static_cast<std::size_t>(x);
        for (int i = 0; i < 8; ++i) {
            const auto colour = stripeColour(i);
            if (std::abs(p[2] - colour[0]) < 24 && std::abs(p[1] - colour[1]) < 24 && std::abs(p[0] - colour[2]) < 24)
                return i;
        }
        ADD_FAILURE() << "no stripe's colour: " << int{p[2]} << " " << int{p[1]} << " " << int{p[0]};
        return -1;
    };
    const int left = stripeOf(3072);
    const int right = stripeOf(5120);
    EXPECT_TRUE((left + 1) % 8 == right || (right + 1) % 8 == left) << left << " " << right;
}

}  // namespace
