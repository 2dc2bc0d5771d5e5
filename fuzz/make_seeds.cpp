// Writes the seed corpora of the fuzz targets with the program's own writers: small
// pictures of every codec, scene files, palettes, a settings file and a tile stream.
// usage: make_seeds FOLDER   (FOLDER/<target>/<seed>)
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "image/jpeg.h"
#include "image/pcx_options.h"
#include "image/pcx_write.h"
#include "image/photo_metadata.h"
#include "image/png.h"
#include "image/tga.h"
#include "link/link_record.h"
#include "panorama/scene_files.h"
#include "platform/settings.h"

namespace fs = std::filesystem;

namespace {

std::unique_ptr<RawImage> pattern(Size size) {
    auto image = std::make_unique<RawImage>(size);
    for (std::int32_t y = 0; y < size.height; ++y)
        for (std::int32_t x = 0; x < size.width; ++x) {
            std::uint8_t* p = image->row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x * 37);
            p[1] = static_cast<std::uint8_t>(y * 53);
            p[2] = static_cast<std::uint8_t>((x ^ y) * 11);
        }
    return image;
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    const fs::path root = argv[1];
    for (const char* target : {"bmp", "tga", "pcx", "jpeg", "png", "palette", "scene", "photo_metadata", "settings",
                               "link_record"})
        fs::create_directories(root / target);

    for (const Size size : {Size{1, 1}, Size{7, 3}, Size{16, 16}}) {
        const std::unique_ptr<RawImage> picture = pattern(size);
        const RawImage& image = *picture;
        const std::string name = std::to_string(size.width) + "x" + std::to_string(size.height);
        SaveBMP((root / "bmp" / (name + ".bmp")).c_str(), size, image.stride, 3, image.pixels);
        SaveTGA((root / "tga" / (name + ".tga")).c_str(), size, image.stride, 3, image.pixels);
        SaveJPEG((root / "jpeg" / (name + ".jpg")).c_str(), size, image.stride, 3, image.pixels);
        SavePNG((root / "png" / (name + ".png")).c_str(), size, image.stride, 3, image.pixels);
        for (const std::uint32_t dither : {0u, 160u})
            writePCX((root / "pcx" / (name + "-" + std::to_string(dither) + ".pcx")).c_str(), size, image.stride,
                     image.pixels, PCXWriteOptions{"", dither, 0});
    }
    // Photos with the metadata a save keeps: XMP with the panorama's properties.
    {
        const std::unique_ptr<RawImage> picture = pattern({16, 8});
        const RawImage& image = *picture;
        PhotoMetadata metadata;
        addPanoramaXmp(metadata, image.size());
        SaveJPEGPhoto((root / "jpeg" / "photo.jpg").c_str(), image.size(), image.stride, image.pixels, 90, metadata);
        std::ofstream segments(root / "photo_metadata" / "xmp", std::ios::binary);
        for (const JpegSegment& segment : metadata.jpegSegments) {
            const std::size_t length = segment.data.size();
            segments.put(segment.marker == 0xE1 ? 0 : segment.marker == 0xE2 ? 1 : 2);
            segments.put(static_cast<char>(length & 0xFF));
            segments.put(static_cast<char>(length >> 8));
            segments.write(reinterpret_cast<const char*>(segment.data.data()), static_cast<std::streamsize>(length));
        }
        segments.put(0);
        segments.put(16);
        PhotoMetadata texts;
        texts.pngTexts.push_back({1, "Comment", "a panorama", "", ""});
        SavePNGPhoto((root / "png" / "photo.png").c_str(), image.size(), image.stride, image.pixels, texts);
    }
    writeBackgroundScene((root / "scene" / "background.wrl").string(), "sky", ".png");
    writeVistaScene((root / "scene" / "sphere.ivr").string(), "sky", ".bmp", "SPHERE");
    writeVistaScene((root / "scene" / "cube.ivr").string(), "sky", ".bmp", "CUBE");

    std::string act;
    for (int i = 0; i < 256; ++i) act += {static_cast<char>(i), static_cast<char>(255 - i), static_cast<char>(i / 2)};
    writeText(root / "palette" / "ramp.act", act);
    std::string pal = "JASC-PAL\r\n0100\r\n16\r\n";
    for (int i = 0; i < 16; ++i) pal += std::to_string(i * 16) + " " + std::to_string(255 - i) + " 7\r\n";
    writeText(root / "palette" / "sixteen.pal", pal);

    // The settings file as the program writes it.
    const fs::path home = root / "settings-home";
    fs::create_directories(home);
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    writeStringSetting("PaintApp", "/usr/bin/gimp \"quoted\" \\ path");
    writeNumberSetting("shiftAmount", 45);
    writeNumberSetting("MaxImageMegapixels", 300);
    writeStringSetting("PCXColormap", "");
    fs::copy_file(userSettingsPath(), root / "settings" / "domecast.conf", fs::copy_options::overwrite_existing);
    fs::remove_all(home);

    // A tile stream: the headers of every tile of a 300 x 300 picture, as a plug-in sends it.
    {
        std::ofstream stream(root / "link_record" / "tiles", std::ios::binary);
        auto record = std::make_unique<LinkRecord>();
        std::memset(record.get(), 0, sizeof(LinkRecord));
        record->version = LinkRecord::currentVersion;
        record->command = LinkCommand::applyImage;
        record->hasImage = 1;
        record->imageWidth = 300;
        record->imageHeight = 300;
        firstTile(300, 300, record->tileRect);
        do {
            stream.write(reinterpret_cast<const char*>(record.get()), offsetof(LinkRecord, tilePixels));
        } while (nextTile(300, 300, record->tileRect));
    }
    return 0;
}
