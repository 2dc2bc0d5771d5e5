// image: one picture through Domecast's own readers and writers.
#include <memory>

#include "commands.h"
#include "image/bgr_image.h"
#include "image/bgra_image.h"
#include "image/codecs.h"
#include "image/pcx_options.h"
#include "image/pcx_write.h"
#include "image/png.h"
#include "image/tga.h"
#include "panorama_io.h"
#include "platform/save_set.h"
#include "platform/io_exception.h"

namespace {

// The picture as read: 3 bytes per pixel, or 4 when the file carries alpha and the
// output keeps it.
struct Picture {
    bool keepAlpha = false;
    std::unique_ptr<RawImage> colour;
    std::unique_ptr<BGRAImage> withAlpha;
};

void pictureSink(Size size, int bytesPerPixelHint, void* userData, std::uint32_t& stride, int& bytesPerPixel,
                 std::uint8_t*& pixels) {
    auto* picture = static_cast<Picture*>(userData);
    if (picture->keepAlpha && bytesPerPixelHint == 4) {
        picture->withAlpha = std::make_unique<BGRAImage>(Size{0, 0});
        BGRAImage::sink(size, bytesPerPixelHint, picture->withAlpha.get(), stride, bytesPerPixel, pixels);
    } else {
        picture->colour = std::make_unique<RawImage>(Size{0, 0});
        RawImage::sink(size, bytesPerPixelHint, picture->colour.get(), stride, bytesPerPixel, pixels);
    }
}

}  // namespace

int runImage(const CliOptions& options) {
    if (options.positional.size() != 2) throw UsageError("expected IN and OUT");
    const std::string& in = options.positional[0];
    const std::string& out = options.positional[1];
    checkWritablePath(out, false);
    const ImageReader reader = readerFor(extensionOf(in));
    const ImageWriter writer = writerFor(extensionOf(out));
    if (reader == nullptr) throw UsageError("cannot read '" + in + "': use .bmp, .tga, .pcx, .jpg, .jpeg or .png");
    if (writer == nullptr) throw UsageError("cannot write '" + out + "': use .bmp, .tga, .pcx, .jpg, .jpeg or .png");
    checkWritablePath(out);

    Picture picture;
    picture.keepAlpha = writer == SaveTGA || writer == SavePNG;
    progress("Reading the picture...");
    reader(in.c_str(), pictureSink, &picture);

    if (!picture.colour && !picture.withAlpha) throw ioException{in, ioException::reading, "no picture read"};
    const Size size = picture.withAlpha ? Size{picture.withAlpha->width, picture.withAlpha->height} : picture.colour->size();
    if (size.width <= 0 || size.height <= 0) throw ioException{in, ioException::reading, "the picture is empty"};
    PCXWriteOptions pcx = readPCXWriteOptions();
    if (options.dither) pcx.dither = static_cast<std::uint32_t>(*options.dither);
    if (options.resize) pcx.resize = static_cast<std::uint32_t>(*options.resize);
    if (options.colormap) pcx.colormap = *options.colormap;

    progress("Writing the picture...");
    writeOutput(out, options, [&](const std::string& staged) {
        if (writer == SavePCX && picture.colour) {
            writePCX(staged.c_str(), picture.colour->size(), picture.colour->stride, picture.colour->pixels, pcx);
        } else if (picture.withAlpha) {
            writer(staged.c_str(), {picture.withAlpha->width, picture.withAlpha->height}, picture.withAlpha->stride, 4,
                   picture.withAlpha->pixels);
        } else {
            writer(staged.c_str(), picture.colour->size(), picture.colour->stride, 3, picture.colour->pixels);
        }
    });
    return 0;
}
