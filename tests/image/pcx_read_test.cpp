#include "image/pcx_read.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "image/bgr_image.h"
#include "platform/io_exception.h"
#include "support/hostile_input.h"
#include "support/image_files.h"
#include "support/io_exception_expect.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A PCX header with the given fields; everything else as a plain writer leaves it.
struct PcxHeader {
    std::uint8_t manufacturer = 0x0A, version = 5, encoding = 1, bits = 8;
    std::int16_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    std::array<std::uint8_t, 48> palette{};
    std::uint8_t planes = 1;
    std::int16_t bytesPerLine = 1;

    Bytes bytes() const {
        Bytes b(128, 0);
        b[0] = manufacturer;
        b[1] = version;
        b[2] = encoding;
        b[3] = bits;
        auto put16 = [&b](std::size_t at, std::int16_t v) {
            b[at] = static_cast<std::uint8_t>(v & 0xFF);
            b[at + 1] = static_cast<std::uint8_t>((static_cast<std::uint16_t>(v) >> 8) & 0xFF);
        };
        put16(4, xMin);
        put16(6, yMin);
        put16(8, xMax);
        put16(10, yMax);
        std::copy(palette.begin(), palette.end(), b.begin() + 16);
        b[65] = planes;
        put16(66, bytesPerLine);
        return b;
    }
};

// Each decoded byte as its own item: bare below 0xC0, else a run of one.
Bytes literal(const Bytes& decoded) {
    Bytes out;
    for (std::uint8_t v : decoded) {
        if (v >= 0xC0) out.push_back(0xC1);
        out.push_back(v);
    }
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Header palette with entry i = (16 i, 16 i + 1, 16 i + 2) as red, green, blue.
std::array<std::uint8_t, 48> rampPalette() {
    std::array<std::uint8_t, 48> p{};
    for (int i = 0; i < 16; ++i)
        for (int c = 0; c < 3; ++c) p[static_cast<std::size_t>(3 * i + c)] = static_cast<std::uint8_t>(16 * i + c);
    return p;
}

// Blue, green, red of ramp entry i.
std::array<std::uint8_t, 3> rampBGR(int i) {
    return {static_cast<std::uint8_t>(16 * i + 2), static_cast<std::uint8_t>(16 * i + 1), static_cast<std::uint8_t>(16 * i)};
}

std::array<std::uint8_t, 3> pixel(const RawImage& image, int x, int y) {
    const std::uint8_t* p = image.row(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

class PcxReadTest : public ::testing::Test {
protected:
    // Writes the bytes as a file and reads it into image.
    void load(const Bytes& file) {
        writeBytes(path, file);
        LoadPCX(path.c_str(), RawImage::sink, &image);
    }
    TempDir dir;
    std::string path = dir.file("face.pcx");
    RawImage image{Size{0, 0}};
};

TEST_F(PcxReadTest, OneBitPixelsTakeTheHighBitFirst) {
    PcxHeader h;
    h.bits = 1;
    h.xMax = 7;
    h.palette = rampPalette();
    load(concat({h.bytes(), literal({0x80})}));
    ASSERT_EQ(image.size(), (Size{8, 1}));
    EXPECT_EQ(pixel(image, 0, 0), rampBGR(1));
    for (int x = 1; x < 8; ++x) EXPECT_EQ(pixel(image, x, 0), rampBGR(0)) << x;
}

TEST_F(PcxReadTest, TwoAndFourBitPixelsIndexTheHeaderPalette) {
    struct Case { std::uint8_t bits; std::int16_t width; std::uint8_t data; std::vector<int> entries; };
    for (const Case& c : {Case{4, 2, 0x12, {1, 2}}, Case{2, 4, 0x1B, {0, 1, 2, 3}}, Case{4, 1, 0xF0, {15}}}) {
        PcxHeader h;
        h.bits = c.bits;
        h.xMax = static_cast<std::int16_t>(c.width - 1);
        h.palette = rampPalette();
        load(concat({h.bytes(), literal({c.data})}));
        ASSERT_EQ(image.size(), (Size{c.width, 1}));
        for (int x = 0; x < c.width; ++x) EXPECT_EQ(pixel(image, x, 0), rampBGR(c.entries[static_cast<std::size_t>(x)])) << int(c.bits) << " bits, pixel " << x;
    }
}

TEST_F(PcxReadTest, EightBitUsesTheTrailingPaletteAndPutsTheTopLineLast) {
    PcxHeader h;
    h.xMax = 1;
    h.yMax = 1;
    h.bytesPerLine = 2;
    Bytes palette(768, 0);
    for (int i = 0; i < 256; ++i) {
        palette[static_cast<std::size_t>(3 * i)] = static_cast<std::uint8_t>(i);
        palette[static_cast<std::size_t>(3 * i + 1)] = static_cast<std::uint8_t>(255 - i);
        palette[static_cast<std::size_t>(3 * i + 2)] = 7;
    }
    load(concat({h.bytes(), literal({10, 200, 30, 40}), {0x0C}, palette}));
    ASSERT_EQ(image.size(), (Size{2, 2}));
    EXPECT_EQ(pixel(image, 0, 1), (std::array<std::uint8_t, 3>{7, 245, 10}));
    EXPECT_EQ(pixel(image, 1, 1), (std::array<std::uint8_t, 3>{7, 55, 200}));
    EXPECT_EQ(pixel(image, 0, 0), (std::array<std::uint8_t, 3>{7, 225, 30}));
    EXPECT_EQ(pixel(image, 1, 0), (std::array<std::uint8_t, 3>{7, 215, 40}));
}

TEST_F(PcxReadTest, ThreeAndFourPlanesReadAsRedGreenBlue) {
    for (std::uint8_t planes : {3, 4}) {
        PcxHeader h;
        h.planes = planes;
        h.xMax = 1;
        h.bytesPerLine = 2;
        // One line: red plane, green plane, blue plane, then a fourth that must be ignored.
        Bytes data = {10, 20, 30, 40, 250, 60};
        if (planes == 4) data.insert(data.end(), {99, 99});
        load(concat({h.bytes(), literal(data)}));
        ASSERT_EQ(image.size(), (Size{2, 1}));
        EXPECT_EQ(pixel(image, 0, 0), (std::array<std::uint8_t, 3>{250, 30, 10})) << int(planes);
        EXPECT_EQ(pixel(image, 1, 0), (std::array<std::uint8_t, 3>{60, 40, 20})) << int(planes);
    }
}

TEST_F(PcxReadTest, PlanarValuesOfFewerBitsAreScaledToIntensities) {
    struct Case { std::uint8_t bits; Bytes planes; std::array<std::uint8_t, 3> first; };
    // Pixel 0 of each plane: red, green, blue.
    for (const Case& c : {Case{1, {0x80, 0x00, 0x80}, {255, 0, 255}}, Case{2, {0x40, 0x80, 0xC0}, {255, 170, 85}},
                          Case{4, {0x10, 0xF0, 0x70}, {119, 255, 17}}}) {
        PcxHeader h;
        h.bits = c.bits;
        h.planes = 3;
        load(concat({h.bytes(), literal(c.planes)}));
        EXPECT_EQ(pixel(image, 0, 0), c.first) << int(c.bits) << " bits";
    }
}

TEST_F(PcxReadTest, WindowOffsetsGiveTheSize) {
    PcxHeader h;
    h.bits = 8;
    h.planes = 3;
    h.xMin = 10;
    h.yMin = 20;
    h.xMax = 19;
    h.yMax = 29;
    h.bytesPerLine = 10;
    // One run of 63 and one of 63 and one of 54 for the whole 300 bytes, across lines and planes.
    load(concat({h.bytes(), {0xFF, 0x11, 0xFF, 0x11, 0xFF, 0x11, 0xFF, 0x11, 0xC0 | 48, 0x11}}));
    ASSERT_EQ(image.size(), (Size{10, 10}));
    EXPECT_EQ(pixel(image, 9, 9), (std::array<std::uint8_t, 3>{0x11, 0x11, 0x11}));
}

TEST_F(PcxReadTest, AFileEndingEarlyReadsTheMissingBytesAs255) {
    // 63 pixels, 3 planes: only the red plane is there. Past the end, 0xFF reads as a run
    // of 63 bytes of 255, which fills the green and blue planes exactly.
    PcxHeader h;
    h.planes = 3;
    h.xMax = 62;
    h.bytesPerLine = 63;
    Bytes red;
    for (int i = 1; i <= 63; ++i) red.push_back(static_cast<std::uint8_t>(i));
    load(concat({h.bytes(), literal(red)}));
    EXPECT_EQ(pixel(image, 0, 0), (std::array<std::uint8_t, 3>{255, 255, 1}));
    EXPECT_EQ(pixel(image, 62, 0), (std::array<std::uint8_t, 3>{255, 255, 63}));

    // With 2 pixels a line the first run of 63 overflows the 4 bytes left.
    h.xMax = 1;
    h.bytesPerLine = 2;
    writeBytes(path, concat({h.bytes(), literal({1, 2})}));
    EXPECT_TRUE(readWithLimit(LoadPCX, path, 1 << 16).threwIoException);
}

TEST_F(PcxReadTest, RefusedFilesThrowReading) {
    struct Case { const char* what; PcxHeader header; Bytes data; const char* reason; };
    auto with = [](auto change) { PcxHeader h; h.xMax = 1; h.bytesPerLine = 2; change(h); return h; };
    const Bytes eightBitData = concat({{1, 2, 0x0C}, Bytes(768, 0)});
    const Case cases[] = {
        {"manufacturer", with([](PcxHeader& h) { h.manufacturer = 0x0B; }), eightBitData, "manufacturer byte not 0x0A"},
        {"version 6", with([](PcxHeader& h) { h.version = 6; }), eightBitData, "version unknown"},
        {"encoding 0", with([](PcxHeader& h) { h.encoding = 0; }), eightBitData, "encoding not run-length"},
        {"3 bits", with([](PcxHeader& h) { h.bits = 3; }), eightBitData, "bits per pixel unsupported"},
        {"2 planes", with([](PcxHeader& h) { h.planes = 2; }), eightBitData, "plane count unsupported"},
        // The window fields are unsigned: -1 is 65535, past the maximum.
        {"x minimum 0xFFFF", with([](PcxHeader& h) { h.xMin = -1; }), eightBitData, "window maximum below its minimum"},
        {"y minimum 0xFFFB", with([](PcxHeader& h) { h.yMin = -5; h.yMax = 0; }), eightBitData, "window maximum below its minimum"},
        {"x maximum below minimum", with([](PcxHeader& h) { h.xMin = 5; h.xMax = 4; }), eightBitData, "window maximum below its minimum"},
        {"y maximum below minimum", with([](PcxHeader& h) { h.yMin = 1; }), eightBitData, "window maximum below its minimum"},
        {"no bytes per line", with([](PcxHeader& h) { h.bytesPerLine = 0; }), eightBitData, "bytes per line zero"},
        {"bytes per line 0xFFFE", with([](PcxHeader& h) { h.bytesPerLine = -2; }), eightBitData, "window larger than the file could hold"},
        {"line shorter than the width", with([](PcxHeader& h) { h.bytesPerLine = 1; }), eightBitData, "bytes per line shorter than the width"},
        {"1-bit line shorter than the width", with([](PcxHeader& h) { h.bits = 1; h.xMax = 8; h.bytesPerLine = 1; }), {0, 0}, "bytes per line shorter than the width"},
        {"run past the end", with([](PcxHeader&) {}), concat({{0xC3, 9, 0x0C}, Bytes(768, 0)}), "run past the end of the picture"},
        {"no palette marker", with([](PcxHeader&) {}), concat({{1, 2, 0x0B}, Bytes(768, 0)}), "256-colour palette marker missing"},
        {"header only", with([](PcxHeader&) {}), {}, "window larger than the file could hold"},
        {"huge claim, small file", with([](PcxHeader& h) { h.xMax = 32000; h.yMax = 32000; h.bytesPerLine = 32001; h.planes = 4; }), eightBitData, "window larger than the file could hold"},
    };
    for (const Case& c : cases) {
        writeBytes(path, concat({c.header.bytes(), c.data}));
        const ReadOutcome outcome = readWithLimit(LoadPCX, path, 1 << 16);
        EXPECT_TRUE(outcome.threwIoException) << c.what;
        EXPECT_FALSE(outcome.sinkRefused) << c.what;
        EXPECT_IO_EXCEPTION(LoadPCX(path.c_str(), RawImage::sink, &image), ioException::reading, path, c.reason)
            << c.what;
    }
}

TEST_F(PcxReadTest, MissingFileThrowsOpening) {
    const std::string missing = dir.file("none.pcx");
    ASSERT_IO_EXCEPTION(LoadPCX(missing.c_str(), RawImage::sink, &image), ioException::opening, missing, "cannot open the file");
    // A folder opens but reads nothing.
    EXPECT_TRUE(readWithLimit(LoadPCX, dir.path().string(), 1 << 16).threwIoException);
}

}  // namespace
