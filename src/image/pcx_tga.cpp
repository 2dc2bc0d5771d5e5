#include "image/pcx_tga.h"

#include <string>

#include "image/codecs.h"
#include "image/pcx_read.h"
#include "image/pcx_write.h"
#include "image/tga.h"
#include "platform/ascii.h"
#include "platform/io_exception.h"
#include "platform/progress.h"

void SavePCXAndTGA(const char* path, Size size, std::uint32_t stride, int bytesPerPixel,
                   const std::uint8_t* pixels) {
    std::string name = path;
    const std::string extension = extensionOf(name);
    if (extension.empty()) throw ioException{path, ioException::opening, "file name without an extension"};
    name.resize(name.size() - extension.size());
    // The PCX first: when it fails, no Targa is written. Each is half of the progress.
    ProgressParts parts(2);
    SavePCX((name + ".pcx").c_str(), size, stride, bytesPerPixel, pixels);
    parts.start(1);
    SaveTGA((name + ".tga").c_str(), size, stride, bytesPerPixel, pixels);
}

void LoadPCXOrTGA(const char* path, PixelSink sink, void* userData) {
    if (equalIgnoringAsciiCase(extensionOf(path), ".pcx"))
        LoadPCX(path, sink, userData);
    else
        LoadTGA(path, sink, userData);
}
