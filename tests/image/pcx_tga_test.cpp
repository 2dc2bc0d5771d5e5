#include "image/pcx_tga.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "image/bgr_image.h"
#include "image/tga.h"
#include "platform/io_exception.h"

#include "support/io_exception_expect.h"
#include "support/scoped_settings.h"
#include "support/temp_dir.h"

namespace {

// Keeps the settings of the PCX half inside the test's folder.
class PcxTgaTest : public ::testing::Test {
protected:
    PcxTgaTest() {
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                std::uint8_t* p = image.row(y) + 3 * x;
                p[0] = static_cast<std::uint8_t>(x * 20);
                p[1] = static_cast<std::uint8_t>(y * 20);
                p[2] = 7;
            }
    }
    TempDir dir;
    ScopedSettings settings{dir.path().string()};
    RawImage image{Size{256, 6}};
};

TEST_F(PcxTgaTest, WritesThePcxAndTheTargaUnderTheSameName) {
    const std::string path = dir.file("skyft.tga");
    SavePCXAndTGA(path.c_str(), image.size(), image.stride, 3, image.pixels);
    EXPECT_TRUE(std::filesystem::exists(dir.file("skyft.pcx")));
    RawImage targa(Size{0, 0});
    LoadPCXOrTGA(path.c_str(), RawImage::sink, &targa);
    ASSERT_EQ(targa.size(), image.size());
    for (int y = 0; y < image.height; ++y) EXPECT_EQ(std::memcmp(targa.row(y), image.row(y), 3 * 256), 0) << y;
}

TEST_F(PcxTgaTest, ThePcxReaderTakesNamesEndingInPcxInAnyCase) {
    SavePCXAndTGA(dir.file("a.tga").c_str(), image.size(), image.stride, 3, image.pixels);
    std::filesystem::rename(dir.file("a.pcx"), dir.file("A.PCX"));
    RawImage pcx(Size{0, 0});
    LoadPCXOrTGA(dir.file("A.PCX").c_str(), RawImage::sink, &pcx);
    EXPECT_EQ(pcx.size(), image.size());
    // A PCX file under a Targa name goes to the Targa reader, which refuses it.
    std::filesystem::copy_file(dir.file("A.PCX"), dir.file("b.tga"));
    EXPECT_THROW(LoadPCXOrTGA(dir.file("b.tga").c_str(), RawImage::sink, &pcx), ioException);
}

TEST_F(PcxTgaTest, NoExtensionOrAFailedPcxWritesNothing) {
    for (const std::string& path : {dir.file("noext"), dir.file("my.folder") + "/face"}) {
        EXPECT_IO_EXCEPTION(SavePCXAndTGA(path.c_str(), image.size(), image.stride, 3, image.pixels),
                            ioException::opening, path, "file name without an extension")
            << path;
    }
    // face.pcx is a folder: the PCX write fails and no Targa appears.
    std::filesystem::create_directory(dir.file("face.pcx"));
    EXPECT_THROW(SavePCXAndTGA(dir.file("face.tga").c_str(), image.size(), image.stride, 3, image.pixels), ioException);
    EXPECT_FALSE(std::filesystem::exists(dir.file("face.tga")));
}

}  // namespace
