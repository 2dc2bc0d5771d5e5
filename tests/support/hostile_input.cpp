#include "support/hostile_input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "image/bgr_image.h"
#include "platform/io_exception.h"
#include "support/image_files.h"
#include "support/io_exception_expect.h"
#include "support/message_recorder.h"

std::vector<std::vector<std::uint8_t>> mutatedVariants(const std::vector<std::uint8_t>& original, int count,
                                                       std::uint32_t seed) {
    std::mt19937 random(seed);
    auto below = [&random](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    std::vector<std::vector<std::uint8_t>> variants;
    const std::size_t headerBytes = std::min<std::size_t>(original.size(), 160);
    for (int i = 0; i < count && !original.empty(); ++i) {
        std::vector<std::uint8_t> v = original;
        switch (i % 4) {
            case 0:  // one bit flipped in the header
                v[below(headerBytes)] ^= static_cast<std::uint8_t>(1u << below(8));
                break;
            case 1:  // a few bytes anywhere set to random values
                for (std::size_t k = 1 + below(4); k-- > 0;) v[below(v.size())] = static_cast<std::uint8_t>(below(256));
                break;
            case 2:  // truncated
                v.resize(below(v.size()));
                break;
            default:  // a header byte set to an extreme, then maybe truncated
                v[below(headerBytes)] = below(2) ? 0xFF : 0x00;
                if (below(2)) v.resize(below(v.size()) + 1);
                break;
        }
        variants.push_back(std::move(v));
    }
    return variants;
}

namespace {

struct LimitedSink {
    std::int64_t maxPixels;
    Size asked;
    bool refused = false;
    RawImage image{Size{0, 0}};
};

struct Refused {};

void limitedSink(Size size, int hint, void* userData, std::uint32_t& stride, int& bytesPerPixel,
                 std::uint8_t*& pixels) {
    auto* sink = static_cast<LimitedSink*>(userData);
    sink->asked = size;
    if (size.width <= 0 || size.height <= 0 ||
        static_cast<std::int64_t>(size.width) * size.height > sink->maxPixels) {
        sink->refused = true;
        throw Refused{};
    }
    RawImage::sink(size, hint, &sink->image, stride, bytesPerPixel, pixels);
}

}  // namespace

ReadOutcome readWithLimit(ImageReader reader, const std::string& path, std::int64_t maxPixels) {
    LimitedSink sink{maxPixels, {}};
    ReadOutcome outcome;
    try {
        reader(path.c_str(), limitedSink, &sink);
        outcome.loaded = true;
        outcome.size = sink.image.size();
    } catch (const ioException&) {
        outcome.threwIoException = true;
    } catch (const Refused&) {
        outcome.sinkRefused = true;
        outcome.size = sink.asked;
    }
    return outcome;
}

void expectCrashersRefused(const std::string& extension, ImageReader reader,
                           const std::map<std::string, const char*>& reasons) {
    const std::filesystem::path folder = std::filesystem::path(DOMECAST_TEST_DATA) / "crashers";
    std::size_t seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != "." + extension) continue;
        ++seen;
        const std::string path = entry.path().string();
        const auto reason = reasons.find(entry.path().filename().string());
        if (reason == reasons.end()) {
            ADD_FAILURE() << path << " has no expected reason";
            continue;
        }
        SinkPicture picture;
        MessageRecorder recorder;
        EXPECT_IO_EXCEPTION(reader(path.c_str(), SinkPicture::sink, &picture), ioException::reading, path,
                            reason->second);
        EXPECT_TRUE(recorder.texts().empty()) << path;
    }
    EXPECT_EQ(seen, reasons.size()) << extension << " fixtures missing from " << folder;
}
