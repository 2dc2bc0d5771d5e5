// Hostile PCX, JPEG and PNG files: fixtures named for their defect, and deterministic
// mutations of valid files. Each must either load with a sane size or throw ioException;
// the sanitizer build catches any read or write out of bounds.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "image/jpeg.h"
#include "image/pcx_read.h"
#include "image/pcx_write.h"
#include "image/png.h"
#include "image/tga.h"
#include "platform/io_exception.h"
#include "support/hostile_input.h"
#include "support/image_files.h"
#include "support/io_exception_expect.h"
#include "support/message_recorder.h"
#include "support/temp_dir.h"

namespace {

constexpr std::int64_t pixelLimit = 1 << 22;

const std::string crashers = std::string(DOMECAST_TEST_DATA) + "/crashers/";

TEST(HostileFiles, CrasherFixturesAreRefusedForTheDefectTheirNameTells) {
    struct Case { const char* file; ImageReader reader; int kind; const char* reason; };
    const Case cases[] = {
        {"rle-overrun.pcx", LoadPCX, ioException::reading, "run past the end of the picture"},
        {"short-bytes-per-line.pcx", LoadPCX, ioException::reading, "bytes per line shorter than the width"},
        {"negative-bytes-per-line.pcx", LoadPCX, ioException::reading, "window larger than the file could hold"},
        {"xmax-below-xmin.pcx", LoadPCX, ioException::reading, "window maximum below its minimum"},
        {"huge-window.pcx", LoadPCX, ioException::reading, "window larger than the file could hold"},
        {"no-palette-marker.pcx", LoadPCX, ioException::reading, "256-colour palette marker missing"},
        {"bad-header-crc.png", LoadPNG, ioException::opening, "chunk CRC mismatch"},
        {"truncated-data.png", LoadPNG, ioException::opening, "file ends inside a chunk"},
        {"short-rows.png", LoadPNG, ioException::opening, "image data shorter than the rows"},
    };
    MessageRecorder recorder;
    for (const Case& c : cases) {
        const std::string path = crashers + c.file;
        RawImage image(Size{0, 0});
        EXPECT_IO_EXCEPTION(c.reader(path.c_str(), RawImage::sink, &image), c.kind, path, c.reason);
    }
    // 40000 x 1, over the 32767 the PNG reader once refused: within the budget, it reads.
    RawImage wide(Size{0, 0});
    ASSERT_NO_THROW(LoadPNG((crashers + "huge-width.png").c_str(), RawImage::sink, &wide));
    EXPECT_EQ(wide.size(), (Size{40000, 1}));
}

// A pipe would block the open or the first read; a device never ends.
TEST(HostileFiles, EveryReaderRefusesAPipeOrADeviceAtOnce) {
    TempDir dir;
    const std::string pipe = dir.file("face.tga");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const ImageReader readers[] = {LoadBMP, LoadTGA, LoadPCX, LoadJPEG, LoadPNG};
    MessageRecorder recorder;
    for (const std::string& path : {pipe, std::string("/dev/zero")})
        for (std::size_t i = 0; i < std::size(readers); ++i) {
            RawImage image(Size{0, 0});
            EXPECT_IO_EXCEPTION(readers[i](path.c_str(), RawImage::sink, &image), ioException::opening, path,
                                anyReason)
                << "reader " << i;
        }
}

TEST(HostileFiles, JpegWithAZeroWidthFrame) {
    TempDir dir;
    const std::string path = dir.file("zero.jpg");
    RawImage image(Size{8, 8});
    SaveJPEG(path.c_str(), image.size(), image.stride, 3, image.pixels);
    auto bytes = readBytes(path);
    for (std::size_t i = 0; i + 8 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            bytes[i + 7] = bytes[i + 8] = 0;  // SOF0 width
            break;
        }
    writeBytes(path, bytes);
    MessageRecorder recorder;
    const ReadOutcome outcome = readWithLimit(LoadJPEG, path, pixelLimit);
    EXPECT_TRUE(outcome.threwIoException);
    EXPECT_TRUE(recorder.messages().empty());  // libjpeg's message is the exception's reason
}

// A small picture with some structure, so the encoders produce varied streams.
void fillPattern(RawImage& image) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            std::uint8_t* p = image.row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x * 9);
            p[1] = static_cast<std::uint8_t>(y * 13);
            p[2] = static_cast<std::uint8_t>((x / 4 + y / 4) % 2 ? 250 : 10);
        }
}

// Every variant either loads with a positive size within the limit, or throws
// ioException, or asks the sink for a size the test refuses (a lying header that the
// format itself allows).
void mutate(ImageReader reader, const std::vector<std::uint8_t>& original, std::uint32_t seed, const char* name) {
    TempDir dir;
    const std::string path = dir.file(name);
    MessageRecorder recorder;  // libjpeg and libpng warnings
    int loaded = 0, thrown = 0;
    for (const auto& variant : mutatedVariants(original, 2000, seed)) {
        writeBytes(path, variant);
        const ReadOutcome outcome = readWithLimit(reader, path, pixelLimit);
        if (outcome.loaded) {
            ++loaded;
            ASSERT_GT(outcome.size.width, 0);
            ASSERT_GT(outcome.size.height, 0);
            ASSERT_LE(std::int64_t{outcome.size.width} * outcome.size.height, pixelLimit);
        } else if (outcome.threwIoException) {
            ++thrown;
        } else {
            ASSERT_TRUE(outcome.sinkRefused);
            ASSERT_GT(outcome.size.width, 0);
            ASSERT_GT(outcome.size.height, 0);
        }
    }
    // Both outcomes occur, so the variants reach past the first check.
    EXPECT_GT(loaded, 0) << name;
    EXPECT_GT(thrown, 0) << name;
}

TEST(HostileFiles, MutatedPcx) {
    TempDir dir;
    RawImage image(Size{40, 30});
    fillPattern(image);
    const std::string path = dir.file("valid.pcx");
    writePCX(path.c_str(), image.size(), image.stride, image.pixels, {"", 160, 0});
    mutate(LoadPCX, readBytes(path), 1, "eight-bit.pcx");

    // A 24-bit file of 3 planes of 8 bits, with runs crossing the planes.
    std::vector<std::uint8_t> planar(128, 0);
    planar[0] = 0x0A, planar[1] = 5, planar[2] = 1, planar[3] = 8;
    planar[8] = 19, planar[10] = 9, planar[65] = 3, planar[66] = 20;
    for (int i = 0; i < 20; ++i) planar.insert(planar.end(), {0xC9, static_cast<std::uint8_t>(i * 12), 0x05, 0x06, 0xC1, 0xF0});
    mutate(LoadPCX, planar, 2, "planar.pcx");
}

TEST(HostileFiles, MutatedJpegAndPng) {
    struct Case { const char* name; ImageWriter writer; ImageReader reader; std::uint32_t seed; };
    for (const Case& c : {Case{"mutant.jpg", SaveJPEG, LoadJPEG, 3}, Case{"mutant.png", SavePNG, LoadPNG, 4}}) {
        TempDir dir;
        RawImage image(Size{24, 20});
        fillPattern(image);
        const std::string path = dir.file(c.name);
        c.writer(path.c_str(), image.size(), image.stride, 3, image.pixels);
        mutate(c.reader, readBytes(path), c.seed, c.name);
    }
}

}  // namespace
