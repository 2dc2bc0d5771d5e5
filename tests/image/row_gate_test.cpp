// The JPEG and PNG writers take a picture still being made: they read a row only after
// the gate of their thread said it was there, and their files are those of the picture
// made whole beforehand.
#include "image/row_gate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/bgr_image.h"
#include "image/jpeg.h"
#include "image/photo_metadata.h"
#include "image/png.h"
#include "support/temp_dir.h"

namespace {

std::vector<char> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void fillPicture(RawImage& picture) {
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < 3 * picture.width; ++x) picture.row(y)[x] = static_cast<std::uint8_t>(x * 7 + y * 13);
}

// Makes the rows of a picture only when a writer asks for them, top first; a row read
// before it was asked for still holds what the picture held before.
class RowsOnRequest : public RowGate {
public:
    RowsOnRequest(RawImage& target, const RawImage& finished) : target_(target), finished_(finished) {}

    void waitForRows(std::int32_t rowsFromTop) override {
        if (rowsFromTop <= made) return;
        if (failAt > 0 && rowsFromTop >= failAt) throw std::runtime_error("the making failed");
        for (std::int32_t i = made; i < rowsFromTop; ++i) {
            const std::int32_t row = target_.height - 1 - i;
            std::memcpy(target_.row(row), finished_.row(row), target_.stride);
        }
        made = rowsFromTop;
    }

    std::int32_t made = 0;
    std::int32_t failAt = 0;

private:
    RawImage& target_;
    const RawImage& finished_;
};

using Writer = void (*)(const std::string& path, const RawImage& picture);

struct WriterCase {
    const char* name;
    Writer write;
};

const WriterCase writers[] = {
    {"JPEG", [](const std::string& p, const RawImage& r) { SaveJPEG(p.c_str(), r.size(), r.stride, 3, r.pixels); }},
    {"JPEG photo",
     [](const std::string& p, const RawImage& r) { SaveJPEGPhoto(p.c_str(), r.size(), r.stride, r.pixels, 90, {}); }},
    {"PNG", [](const std::string& p, const RawImage& r) { SavePNG(p.c_str(), r.size(), r.stride, 3, r.pixels); }},
    {"PNG photo",
     [](const std::string& p, const RawImage& r) { SavePNGPhoto(p.c_str(), r.size(), r.stride, r.pixels, {}); }},
};

TEST(RowGate, WritersReadEachRowOnlyAfterAskingAndWriteTheWholePicturesFile) {
    const TempDir dir;
    RawImage finished(Size{37, 23});
    fillPicture(finished);
    for (const WriterCase& c : writers) {
        c.write(dir.file("whole"), finished);
        RawImage making(finished.size());  // black until a row is asked for
        RowsOnRequest gate(making, finished);
        {
            const ScopedRowGate open(gate);
            c.write(dir.file("made"), making);
        }
        EXPECT_EQ(gate.made, finished.height) << c.name;
        EXPECT_EQ(fileBytes(dir.file("made")), fileBytes(dir.file("whole"))) << c.name << ": a row was read early";
        EXPECT_EQ(RowGate::current(), nullptr);
    }
}

TEST(RowGate, AFailedMakingFailsTheWrite) {
    const TempDir dir;
    RawImage finished(Size{16, 40});
    fillPicture(finished);
    for (const WriterCase& c : writers) {
        RawImage making(finished.size());
        RowsOnRequest gate(making, finished);
        gate.failAt = 30;
        const ScopedRowGate open(gate);
        EXPECT_THROW(c.write(dir.file("made"), making), std::runtime_error) << c.name;
        EXPECT_LT(gate.made, 30) << c.name;
    }
}

}  // namespace
