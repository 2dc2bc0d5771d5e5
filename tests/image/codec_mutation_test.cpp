// Damaged copies of valid files: every load either succeeds with a sane size or throws
// ioException reading. Under the sanitizer build this also shows that no damaged header
// makes a reader touch memory outside the file, the mapping or the destination.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "image/little_endian.h"
#include "image/tga.h"
#include "platform/io_exception.h"
#include "support/image_files.h"
#include "support/message_recorder.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes join(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

BmpFile bmpSeed(int bitCount, std::int32_t width, std::int32_t height, std::uint32_t coloursUsed,
                std::optional<std::uint32_t> gap) {
    const std::size_t entries = bitCount == 24 ? 0 : coloursUsed != 0 ? coloursUsed : bitCount == 4 ? 16 : 256;
    BmpFile file{bitCount, width, height, coloursUsed, {}, gap, {}};
    for (std::size_t i = 0; i < entries; ++i)
        file.palette.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(3 * i), 7});
    for (std::int32_t i = 0; i < width * height; ++i)
        file.values.push_back(bitCount == 24 ? static_cast<std::uint32_t>(i * 0x030507) : i % entries);
    return file;
}

std::vector<Bytes> bmpSeeds() {
    std::vector<Bytes> seeds = {bmpSeed(4, 5, 3, 0, std::nullopt).bytes(), bmpSeed(8, 7, 4, 9, 4u).bytes(),
                                bmpSeed(24, 5, 4, 0, std::nullopt).bytes()};
    // Run-length streams, bit fields, the OS/2 core header and top-down rows, as written.
    for (const char* name : {"gimp-rle8-no-colour-space", "gimp-rle4-no-colour-space", "py-rle4-delta",
                             "im-argb32", "py-alphabitfields-1555", "im-core8", "py-top-down-565", "im-pal1"})
        seeds.push_back(readBytes(std::string(DOMECAST_TEST_DATA) + "/bmp/" + name + ".bmp"));
    return seeds;
}

std::vector<Bytes> tgaSeeds() {
    Bytes map;
    for (int i = 0; i < 6; ++i) map.insert(map.end(), {static_cast<std::uint8_t>(i), 2, 3});
    return {
        // Run-length, colour-mapped with a first index, origin at the top.
        join(targaHeader(9, 1, 2, 6, 24, 4, 3, 8, 0x20), join(map, {0x85, 3, 0x03, 2, 4, 5, 6, 0x81, 7})),
        // Uncompressed 32-bit with an image ID.
        join(targaHeader(2, 0, 0, 0, 0, 3, 2, 32, 0x08, 2), Bytes(2 + 3 * 2 * 4, 0x40)),
        // Greyscale, interleave factor 2.
        join(targaHeader(3, 0, 0, 0, 0, 3, 4, 8, 0x40), Bytes(12, 0x80)),
        // Run-length 16-bit true colour.
        join(targaHeader(10, 0, 0, 0, 0, 5, 2, 16), {0x84, 0xFF, 0x7F, 0x04, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
    };
}

// Overwrites, flips and truncates; positions lean towards the headers, where the lengths are.
Bytes mutate(Bytes bytes, std::mt19937& random) {
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
        const std::size_t limit = random() % 2 == 0 ? std::min<std::size_t>(bytes.size(), 60) : bytes.size();
        const std::size_t at = random() % limit;
        switch (random() % 4) {
        case 0: bytes[at] = static_cast<std::uint8_t>(random()); break;
        case 1: bytes[at] ^= static_cast<std::uint8_t>(1u << (random() % 8)); break;
        case 2: {
            const std::uint8_t extremes[] = {0x00, 0xFF, 0x7F, 0x80, 0x01};
            bytes[at] = extremes[random() % sizeof extremes];
            break;
        }
        default: bytes.resize(random() % (bytes.size() + 1)); break;
        }
    }
    return bytes;
}

struct Tally {
    int accepted = 0;
    int refused = 0;
};

// Runs one load; a failure must be a read failure of that file, a success a sane size.
template <typename Load>
void expectSaneOutcome(Load load, const std::string& path, const SinkPicture& picture, Tally& tally, int round) {
    try {
        load();
        ++tally.accepted;
        ASSERT_GE(picture.size.width, 0) << "round " << round;
        ASSERT_LE(picture.size.width, 32767) << "round " << round;
        ASSERT_GE(picture.size.height, 0) << "round " << round;
        ASSERT_LE(picture.size.height, 32767) << "round " << round;
    } catch (const ioException& e) {
        ++tally.refused;
        ASSERT_EQ(e.kind, ioException::reading) << "round " << round;
        ASSERT_EQ(e.path, path) << "round " << round;
    }
}

// Large enough for every seed; damaged sizes above it get no pixels, which the readers
// must refuse rather than decode millions of pixels of nothing.
constexpr std::int64_t pixelLimit = 1 << 16;
constexpr int rounds = 3000;

TEST(CodecMutation, DamagedBmpFilesLoadOrFailCleanly) {
    TempDir dir;
    const std::string path = dir.file("damaged.bmp");
    const std::vector<Bytes> seeds = bmpSeeds();
    std::mt19937 random(20261210);
    MessageRecorder recorder;  // run-length pixels past the picture are reported and left out
    Tally file, memory;
    for (int round = 0; round < rounds; ++round) {
        const Bytes bytes = mutate(seeds[round % seeds.size()], random);
        writeBytes(path, bytes);
        SinkPicture picture;
        picture.maxPixels = pixelLimit;
        expectSaneOutcome([&] { LoadBMP(path.c_str(), SinkPicture::sink, &picture); }, path, picture, file, round);

        // The in-memory decoder on a block exactly as long as the damaged file, into a
        // destination exactly as large as the header's picture.
        if (bytes.size() < 26) continue;
        const bool core = getLE32(bytes.data() + 14) == 12;  // 16-bit sizes
        const std::int64_t width = core ? getLE16(bytes.data() + 18) : static_cast<std::int32_t>(getLE32(bytes.data() + 18));
        std::int64_t height = core ? getLE16(bytes.data() + 20) : static_cast<std::int32_t>(getLE32(bytes.data() + 22));
        height = std::abs(height);  // negative: top-down rows
        if (width < 0 || width > 32767 || height > 32767 || width * height > pixelLimit) continue;
        std::vector<std::uint8_t> destination(static_cast<std::size_t>(BGRImage::strideFor(width)) * height);
        const Bytes block(bytes.begin() + 14, bytes.end());
        if (DecodeBMPPixels(block.data(), nullptr, destination.data(), block.size()))
            ++memory.accepted;
        else
            ++memory.refused;
    }
    EXPECT_GT(file.accepted, 0);
    EXPECT_GT(file.refused, 0);
    EXPECT_GT(memory.accepted, 0);
    EXPECT_GT(memory.refused, 0);
}

TEST(CodecMutation, DamagedTargaFilesLoadOrFailCleanly) {
    TempDir dir;
    const std::string path = dir.file("damaged.tga");
    const std::vector<Bytes> seeds = tgaSeeds();
    std::mt19937 random(121020261);
    Tally file, memory;
    const TargaByteSource fileSource = setTargaByteSource(targaFileSource);
    for (int round = 0; round < rounds; ++round) {
        const Bytes bytes = mutate(seeds[round % seeds.size()], random);
        writeBytes(path, bytes);
        SinkPicture picture;
        picture.bytesPerPixel = round % 2 == 0 ? 3 : 4;
        picture.maxPixels = pixelLimit;
        expectSaneOutcome([&] { LoadTGA(path.c_str(), SinkPicture::sink, &picture); }, path, picture, file, round);

        // The memory source reads the block and not a byte beyond it.
        const Bytes copy = bytes;
        setTargaByteSource(targaMemorySource);
        setTargaMemory(copy.data(), copy.size());
        SinkPicture fromMemory;
        fromMemory.maxPixels = pixelLimit;
        expectSaneOutcome([&] { DecodeTGA(path.c_str(), nullptr, SinkPicture::sink, &fromMemory); }, path,
                          fromMemory, memory, round);
        setTargaMemory(nullptr, 0);
        setTargaByteSource(fileSource);
    }
    EXPECT_GT(file.accepted, 0);
    EXPECT_GT(file.refused, 0);
    EXPECT_EQ(file.accepted, memory.accepted) << "file and memory sources decode alike";
}

}  // namespace
