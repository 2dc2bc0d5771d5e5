#include "image/pcx_tga.h"

#include <string>

#include "image/pcx_read.h"
#include "image/pcx_write.h"
#include "image/tga.h"
#include "platform/io_exception.h"

void SavePCXAndTGA(const char* path, Size size, std::uint32_t stride, int bytesPerPixel,
                   const std::uint8_t* pixels) {
    std::string name = path;
    // Only a dot in the file name marks the extension; one in a folder name does not.
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        throw ioException{path, ioException::opening};
    name.resize(dot);
    // The PCX first: when it fails, no Targa is written.
    SavePCX((name + ".pcx").c_str(), size, stride, bytesPerPixel, pixels);
    SaveTGA((name + ".tga").c_str(), size, stride, bytesPerPixel, pixels);
}

void LoadPCXOrTGA(const char* path, PixelSink sink, void* userData) {
    const std::string name = path;
    const bool pcx = name.size() >= 4 && name[name.size() - 4] == '.' &&
                     (name[name.size() - 3] | 0x20) == 'p' && (name[name.size() - 2] | 0x20) == 'c' &&
                     (name[name.size() - 1] | 0x20) == 'x';
    if (pcx)
        LoadPCX(path, sink, userData);
    else
        LoadTGA(path, sink, userData);
}
