#include "image/codecs.h"

#include <array>

#include "image/bmp.h"
#include "image/jpeg.h"
#include "image/pcx_read.h"
#include "image/pcx_write.h"
#include "image/png.h"
#include "image/tga.h"
#include "platform/ascii.h"

namespace {

struct Codec {
    const char* extension;
    ImageReader reader;
    ImageWriter writer;
};

constexpr std::array<Codec, 6> codecs = {{
    {".bmp", LoadBMP, SaveBMP},
    {".tga", LoadTGA, SaveTGA},
    {".pcx", LoadPCX, SavePCX},
    {".jpg", LoadJPEG, SaveJPEG},
    {".jpeg", LoadJPEG, SaveJPEG},
    {".png", LoadPNG, SavePNG},
}};

const Codec* codecFor(std::string_view extension) {
    for (const Codec& codec : codecs)
        if (equalIgnoringAsciiCase(extension, codec.extension)) return &codec;
    return nullptr;
}

}  // namespace

std::string extensionOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

ImageReader readerFor(std::string_view extension) {
    const Codec* codec = codecFor(extension);
    return codec != nullptr ? codec->reader : nullptr;
}

ImageWriter writerFor(std::string_view extension) {
    const Codec* codec = codecFor(extension);
    return codec != nullptr ? codec->writer : nullptr;
}
