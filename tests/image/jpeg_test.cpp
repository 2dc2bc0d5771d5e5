#include "image/jpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "image/bgr_image.h"
#include "platform/io_exception.h"
#include "support/hostile_input.h"
#include "support/image_files.h"
#include "support/io_exception_expect.h"
#include "support/jpeg_files.h"
#include "support/message_recorder.h"
#include "support/ppm_pictures.h"
#include "support/temp_dir.h"

namespace {

// An independent decode with libjpeg itself: the file's scanlines top first, RGB.
struct Decoded {
    int width = 0, height = 0, components = 0;
    std::vector<std::vector<std::uint8_t>> scanlines;
};

Decoded decodeDirectly(const std::string& path) {
    Decoded d;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return d;
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    d.width = static_cast<int>(info.output_width);
    d.height = static_cast<int>(info.output_height);
    d.components = info.output_components;
    while (info.output_scanline < info.output_height) {
        std::vector<std::uint8_t> line(static_cast<std::size_t>(d.width * d.components));
        JSAMPROW row = line.data();
        jpeg_read_scanlines(&info, &row, 1);
        d.scanlines.push_back(std::move(line));
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return d;
}

// A greyscale JPEG written by libjpeg itself: grey value 8 x + 4 y.
void writeGreyDirectly(const std::string& path, int width, int height) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> line(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) line[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>((8 * x + 4 * y) & 0xFF);
        JSAMPROW row = line.data();
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

// Bottom half red, top half blue (halves on 8-row block boundaries, so the colours do not
// bleed into each other's first and last rows).
void fillRedBottomBlueTop(RawImage& image) {
    const int width = image.width, height = image.height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.row(y) + 3 * x;
            const bool top = y >= height / 2;
            p[0] = top ? 255 : 0;
            p[1] = 0;
            p[2] = top ? 0 : 255;
        }
}

TEST(SaveJPEG, WritesTheTopRowFirstInRGBAndLeavesTheBufferAlone) {
    TempDir dir;
    const std::string path = dir.file("face.jpg");
    RawImage image(Size{21, 16});  // odd width: rows are padded
    fillRedBottomBlueTop(image);
    const std::vector<std::uint8_t> before(image.pixels, image.pixels + image.stride * image.height);
    SaveJPEG(path.c_str(), image.size(), image.stride, 3, image.pixels);
    EXPECT_EQ(std::vector<std::uint8_t>(image.pixels, image.pixels + image.stride * image.height), before);

    const Decoded d = decodeDirectly(path);
    ASSERT_EQ(d.width, 21);
    ASSERT_EQ(d.height, 16);
    ASSERT_EQ(d.components, 3);
    const std::uint8_t* first = d.scanlines.front().data();
    EXPECT_LT(first[0], 40);   // red
    EXPECT_GT(first[2], 200);  // blue
    const std::uint8_t* last = d.scanlines.back().data();
    EXPECT_GT(last[0], 200);
    EXPECT_LT(last[2], 40);
}

TEST(LoadJPEG, ReadsBackRowZeroAsRed) {
    TempDir dir;
    const std::string path = dir.file("face.jpg");
    RawImage image(Size{16, 16});
    fillRedBottomBlueTop(image);
    SaveJPEG(path.c_str(), image.size(), image.stride, 3, image.pixels);

    RawImage back(Size{0, 0});
    LoadJPEG(path.c_str(), RawImage::sink, &back);
    ASSERT_EQ(back.size(), (Size{16, 16}));
    for (int x : {0, 7, 15}) {
        const std::uint8_t* bottom = back.row(0) + 3 * x;
        EXPECT_LT(bottom[0], 40);
        EXPECT_GT(bottom[2], 200);
        const std::uint8_t* top = back.row(15) + 3 * x;
        EXPECT_GT(top[0], 200);
        EXPECT_LT(top[2], 40);
    }
}

TEST(LoadJPEG, GreyscaleReadsAsEqualTriplets) {
    TempDir dir;
    const std::string path = dir.file("grey.jpg");
    writeGreyDirectly(path, 13, 9);
    const Decoded d = decodeDirectly(path);
    ASSERT_EQ(d.components, 1);

    RawImage image(Size{0, 0});
    LoadJPEG(path.c_str(), RawImage::sink, &image);
    ASSERT_EQ(image.size(), (Size{13, 9}));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x) {
            const std::uint8_t* p = image.row(y) + 3 * x;
            const std::uint8_t grey = d.scanlines[static_cast<std::size_t>(8 - y)][static_cast<std::size_t>(x)];
            ASSERT_EQ(p[0], grey) << x << "," << y;
            ASSERT_EQ(p[1], grey);
            ASSERT_EQ(p[2], grey);
        }
}

TEST(JPEG, FilesThatCannotBeOpened) {
    TempDir dir;
    RawImage image(Size{4, 4});
    const std::string missing = dir.file("missing.jpg");
    ASSERT_IO_EXCEPTION(LoadJPEG(missing.c_str(), RawImage::sink, &image), ioException::opening, missing,
                        "cannot open the file");
    const std::string noFolder = dir.file("no/such/folder.jpg");
    ASSERT_IO_EXCEPTION(SaveJPEG(noFolder.c_str(), image.size(), image.stride, 3, image.pixels), ioException::opening,
                        noFolder, "cannot create the file");
}

TEST(LoadJPEG, TruncatedHeaderThrowsReadingWithLibjpegsMessageAsTheReason) {
    TempDir dir;
    const std::string path = dir.file("cut.jpg");
    RawImage image(Size{16, 16});
    fillRedBottomBlueTop(image);
    SaveJPEG(path.c_str(), image.size(), image.stride, 3, image.pixels);
    auto bytes = readBytes(path);
    bytes.resize(100);  // inside the quantisation tables
    writeBytes(path, bytes);

    MessageRecorder recorder;
    RawImage back(Size{0, 0});
    ASSERT_IO_EXCEPTION(LoadJPEG(path.c_str(), RawImage::sink, &back), ioException::reading, path,
                        "JPEG datastream contains no image");
    EXPECT_TRUE(recorder.messages().empty());  // nothing of libjpeg's printed before the error
}

TEST(LoadJPEG, TruncatedDataIsAWarningAndTheImageStillLoads) {
    TempDir dir;
    const std::string path = dir.file("short.jpg");
    RawImage image(Size{64, 64});
    fillRedBottomBlueTop(image);
    SaveJPEG(path.c_str(), image.size(), image.stride, 3, image.pixels);
    auto bytes = readBytes(path);
    bytes.resize(bytes.size() - 40);
    writeBytes(path, bytes);

    MessageRecorder recorder;
    RawImage back(Size{0, 0});
    LoadJPEG(path.c_str(), RawImage::sink, &back);
    EXPECT_EQ(back.size(), (Size{64, 64}));
    // One message in the program's words after the read, with libjpeg's first warning.
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"Warning: the picture " + path +
                                                         " is damaged; what could be read is shown.\n"
                                                         "Reason: Premature end of JPEG file"});
}

TEST(SaveJPEG, LibraryRefusalsBecomeWritingErrors) {
    TempDir dir;
    RawImage image(Size{4, 4});
    struct Case { Size size; int bytesPerPixel; const char* reason; };
    for (Case c : {Case{{0, 4}, 3, "Empty JPEG image (DNL not supported)"},
                   {{4, 0}, 3, "Empty JPEG image (DNL not supported)"}, {{4, 4}, 4, "Bogus input colorspace"}}) {
        const std::string path = dir.file("bad.jpg");
        MessageRecorder recorder;
        EXPECT_IO_EXCEPTION(SaveJPEG(path.c_str(), c.size, image.stride, c.bytesPerPixel, image.pixels),
                            ioException::writing, path, c.reason)
            << c.size.width << "x" << c.size.height << " " << c.bytesPerPixel;
        EXPECT_TRUE(recorder.messages().empty());
    }
}

// Sides over the reader's old wall of 32767 are read; over libjpeg's own limit of 65500
// they are refused from the header, no pixels asked for. The file holds the scan of an
// 8 x 8 picture: a larger one reads as damaged, the rest of it grey.
TEST(LoadJPEG, SidesUpToLibjpegsLimitAreReadAndLargerOnesRefusedFromTheHeader) {
    TempDir dir;
    const std::string path = dir.file("wide.jpg");
    writeGreyDirectly(path, 8, 8);
    const auto original = readBytes(path);
    // The frame header (SOF0, FF C0): length 2, precision 1, height 2, width 2.
    std::size_t sof = 0;
    for (std::size_t i = 0; i + 1 < original.size(); ++i)
        if (original[i] == 0xFF && original[i + 1] == 0xC0) { sof = i; break; }
    ASSERT_NE(sof, 0u);
    MessageRecorder recorder;  // the damage the larger sizes show
    for (const std::uint16_t width : {32768, 65500, 65501}) {
        SCOPED_TRACE(width);
        auto bytes = original;
        bytes[sof + 7] = static_cast<std::uint8_t>(width >> 8);
        bytes[sof + 8] = static_cast<std::uint8_t>(width);
        writeBytes(path, bytes);
        const ReadOutcome outcome = readWithLimit(LoadJPEG, path, 1 << 20);
        EXPECT_EQ(outcome.loaded, width <= 65500);
        EXPECT_EQ(outcome.threwIoException, width > 65500);
        EXPECT_FALSE(outcome.sinkRefused);
        if (width <= 65500) {
            EXPECT_EQ(outcome.size, (Size{width, 8}));
        }
    }
}

// How far two pictures of one size are apart, over every byte.
struct Difference {
    double mean = 255;
    int largest = 255;
};

Difference differenceOf(const BGRImage& a, const BGRImage& b) {
    Difference d;
    if (a.size() != b.size()) return d;
    long sum = 0;
    d.largest = 0;
    for (int y = 0; y < a.height; ++y)
        for (int i = 0; i < 3 * a.width; ++i) {
            const int step = std::abs(a.row(y)[i] - b.row(y)[i]);
            sum += step;
            d.largest = std::max(d.largest, step);
        }
    d.mean = static_cast<double>(sum) / (3.0 * a.width * a.height);
    return d;
}

// Smooth colours, dark in one corner (much black ink), pale in the other.
std::unique_ptr<RawImage> inkedPicture() {
    auto picture = std::make_unique<RawImage>(Size{64, 48});
    for (int y = 0; y < picture->height; ++y)
        for (int x = 0; x < picture->width; ++x) {
            std::uint8_t* p = picture->row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(std::clamp(220 - 2 * x - y, 0, 255));
            p[1] = static_cast<std::uint8_t>(5 * y);
            p[2] = static_cast<std::uint8_t>(4 * x);
        }
    return picture;
}

TEST(LoadJPEG, CmykAndYcckReadAsRgbWithAdobesInvertedInks) {
    TempDir dir;
    const std::unique_ptr<RawImage> source = inkedPicture();
    const struct {
        const char* what;
        std::optional<CmykStorage> storage;  // none: ImageMagick's
        // ImageMagick reads every four-colour JPEG as Adobe's inverted inks.
        bool imageMagickReadsIt;
    } cases[] = {
        {"ImageMagick's CMYK (YCCK, APP14)", std::nullopt, true},
        {"CMYK, APP14", CmykStorage::adobeCmyk, true},
        {"YCCK, APP14", CmykStorage::adobeYcck, true},
        {"CMYK without APP14", CmykStorage::plainCmyk, false},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file("cmyk.jpg");
        if (c.storage)
            writeCmykJpeg(*source, path, *c.storage);
        else
            imageMagickCmykFrom(*source, dir.file("source.ppm"), path);
        MessageRecorder recorder;
        RawImage read(Size{0, 0});
        ASSERT_NO_THROW(LoadJPEG(path.c_str(), RawImage::sink, &read)) << c.what;
        EXPECT_TRUE(recorder.messages().empty()) << c.what;
        // The colours encoded, within the loss of a quality 95 JPEG.
        const Difference fromSource = differenceOf(read, *source);
        EXPECT_LT(fromSource.mean, 1.0) << c.what;
        EXPECT_LE(fromSource.largest, 8) << c.what;
        if (!c.imageMagickReadsIt) continue;
        // ImageMagick's own reading of the file, within rounding.
        const std::string decoded = dir.file("decoded.ppm");
        const std::string command = "convert '" + path + "' -colorspace sRGB -depth 8 '" + decoded + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        int width = 0, height = 0;
        const std::vector<std::uint8_t> rgb = ppmPixels(decoded, width, height);
        const Difference fromImageMagick = differenceOf(read, *pictureFromRgb(rgb, width, height));
        EXPECT_LT(fromImageMagick.mean, 0.5) << c.what;
        EXPECT_LE(fromImageMagick.largest, 2) << c.what;
    }
}

}  // namespace
