// A JPEG's blocks read and written back: blocks encoded anew from the pixels come out as
// the file's own encoder made them, within rounding; hostile coefficients are refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "image/jpeg.h"
#include "image/jpeg_blocks.h"
#include "image/photo_metadata.h"
#include "platform/io_exception.h"
#include "support/jpeg_files.h"
#include "support/temp_dir.h"

namespace {

std::shared_ptr<std::vector<std::uint8_t>> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::make_shared<std::vector<std::uint8_t>>(std::istreambuf_iterator<char>(in),
                                                       std::istreambuf_iterator<char>());
}

// A picture with detail in every block.
std::unique_ptr<RawImage> busyPicture() {
    auto picture = std::make_unique<RawImage>(Size{100, 60});  // edges cut MCUs
    for (int y = 0; y < picture->height; ++y)
        for (int x = 0; x < picture->width; ++x) {
            std::uint8_t* p = picture->row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x * 5 + y);
            p[1] = static_cast<std::uint8_t>((x / 4 + y / 3) % 2 ? 200 : 60);
            p[2] = static_cast<std::uint8_t>(y * 4);
        }
    return picture;
}

// The source's own decoded pixels, bottom-up BGR, as the panorama keeps them.
std::unique_ptr<RawImage> loaded(const std::string& path) {
    auto picture = std::make_unique<RawImage>(Size{0, 0});
    LoadJPEG(path.c_str(), RawImage::sink, picture.get());
    return picture;
}

TEST(JpegBlocks, EveryBlockEncodedAnewFromTheDecodedPixelsComesBackAlike) {
    const TempDir dir;
    // The mean step of the pixels: under a level at full colour; subsampled colour loses
    // its detail again (cjpeg re-encoding djpeg's output of this picture steps 8.3).
    const struct {
        const char* options;
        double meanStep;
    } cases[] = {{"-quality 90 -sample 1x1", 1.0}, {"-quality 75 -sample 2x2", 9.0}, {"-quality 95 -grayscale", 1.0}};
    for (const auto& [options, meanStep] : cases) {
        const std::string in = dir.file("in.jpg"), out = dir.file("out.jpg");
        cjpegFrom(*busyPicture(), dir.file("in.ppm"), in, options);
        std::unique_ptr<JpegBlocks> blocks = ReadJPEGBlocks(fileBytes(in));
        ASSERT_TRUE(blocks) << options;
        EXPECT_EQ(blocks->cellColumns(), 13) << options;
        EXPECT_EQ(blocks->cellRows(), 8) << options;
        const std::unique_ptr<RawImage> pixels = loaded(in);
        const std::vector<std::uint8_t> all(13 * 8, 1);
        SaveJPEGBlocks(out.c_str(), *blocks, pixels->pixels, pixels->pixels, pixels->stride, all, PhotoMetadata{});
        // Re-encoding decoded pixels with the same tables moves coefficients by rounding
        // only: most stay, none moves far.
        const JpegDump before = dumpJpeg(in), after = dumpJpeg(out);
        ASSERT_TRUE(before.ok && after.ok) << options;
        std::size_t same = 0, total = 0;
        int largest = 0;
        for (std::size_t c = 0; c < before.components.size(); ++c)
            for (std::size_t k = 0; k < before.components[c].coefficients.size(); ++k) {
                const int d = std::abs(before.components[c].coefficients[k] - after.components[c].coefficients[k]);
                same += d == 0;
                largest = std::max(largest, d);
                ++total;
            }
        EXPECT_GT(same, total * 9 / 10) << options;
        const std::vector<std::uint8_t> a = decodeJpeg(in), b = decodeJpeg(out);
        ASSERT_EQ(a.size(), b.size()) << options;
        double steps = 0;
        for (std::size_t i = 0; i < a.size(); ++i) steps += std::abs(a[i] - b[i]);
        EXPECT_LT(steps / static_cast<double>(a.size()), meanStep) << options << ", largest coefficient step " << largest;
        // The source was left as read: a second write without touched blocks is the source.
        SaveJPEGBlocks(out.c_str(), *blocks, pixels->pixels, pixels->pixels, pixels->stride, std::vector<std::uint8_t>(13 * 8, 0),
                       PhotoMetadata{});
        const JpegDump again = dumpJpeg(out);
        for (std::size_t c = 0; c < before.components.size(); ++c)
            EXPECT_TRUE(again.components[c].coefficients == before.components[c].coefficients) << options;
    }
}

TEST(JpegBlocks, AWrongSizedTouchedMapIsAnError) {
    const TempDir dir;
    const std::string in = dir.file("in.jpg");
    cjpegFrom(*busyPicture(), dir.file("in.ppm"), in, "-sample 1x1");
    std::unique_ptr<JpegBlocks> blocks = ReadJPEGBlocks(fileBytes(in));
    ASSERT_TRUE(blocks);
    const std::unique_ptr<RawImage> pixels = loaded(in);
    EXPECT_THROW(SaveJPEGBlocks(dir.file("out.jpg").c_str(), *blocks, pixels->pixels, pixels->pixels, pixels->stride,
                                std::vector<std::uint8_t>(5, 0), PhotoMetadata{}),
                 ioException);
}

// An 8 x 8 grey baseline JPEG whose one block has the DC value given in 15 bits: far
// beyond what any 8-bit encoder makes, as a fuzzed file may hold.
std::vector<std::uint8_t> hugeDcJpeg() {
    std::vector<std::uint8_t> b = {0xFF, 0xD8,                                       // SOI
                                   0xFF, 0xDB, 0x00, 0x43, 0x00};                    // DQT, table 0
    for (int i = 0; i < 64; ++i) b.push_back(1);
    const std::uint8_t rest[] = {
        0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01, 0x11, 0x00,  // SOF0 8x8 grey
        // DC table 0: one code of length 1 for category 15; AC table 0: one for EOB.
        0xFF, 0xC4, 0x00, 0x14, 0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 15,
        0xFF, 0xC4, 0x00, 0x14, 0x10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
        0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00,                     // SOS
        // DC code 0, +32767 in 15 bits, EOB code 0, padding ones; 0xFF stuffed.
        0x7F, 0xFF, 0x00, 0x7F, 0xFF, 0xD9};
    b.insert(b.end(), std::begin(rest), std::end(rest));
    return b;
}

TEST(JpegBlocks, HostileCoefficientsAreRefusedAndFuzzedFilesNeverCrash) {
    const TempDir dir;
    // Out of range: the pixels decode, the blocks are refused.
    const auto huge = std::make_shared<std::vector<std::uint8_t>>(hugeDcJpeg());
    EXPECT_FALSE(ReadJPEGBlocks(huge));
    const std::string hugePath = dir.file("huge.jpg");
    std::ofstream(hugePath, std::ios::binary)
        .write(reinterpret_cast<const char*>(huge->data()), static_cast<std::streamsize>(huge->size()));
    EXPECT_EQ(decodeJpeg(hugePath).size(), 8u * 8 * 3);

    // Bytes of a real file's scan changed: read or refused, and whatever is read writes
    // back into a file that decodes.
    const std::string in = dir.file("in.jpg");
    cjpegFrom(*busyPicture(), dir.file("in.ppm"), in, "-sample 2x2 -progressive");
    const std::shared_ptr<std::vector<std::uint8_t>> good = fileBytes(in);
    std::srand(29);
    int read = 0;
    for (int round = 0; round < 60; ++round) {
        auto bytes = std::make_shared<std::vector<std::uint8_t>>(*good);
        for (int n = 0; n < 4; ++n) (*bytes)[300 + static_cast<std::size_t>(std::rand()) % (bytes->size() - 300)] = static_cast<std::uint8_t>(std::rand());
        std::unique_ptr<JpegBlocks> blocks = ReadJPEGBlocks(bytes);
        if (!blocks) continue;
        ++read;
        RawImage pixels(blocks->size());
        const std::string out = dir.file("fuzzed.jpg");
        SaveJPEGBlocks(out.c_str(), *blocks, pixels.pixels, pixels.pixels, pixels.stride,
                       std::vector<std::uint8_t>(static_cast<std::size_t>(blocks->cellColumns() * blocks->cellRows()), 0),
                       PhotoMetadata{});
        EXPECT_EQ(decodeJpeg(out).size(), 100u * 60 * 3) << "round " << round;
    }
    EXPECT_GT(read, 0);  // libjpeg reads past most damage
}

}  // namespace
