// Targa through its memory byte source, as the paint link hands a Targa over, and through
// the file reader.
#include "fuzz_image.h"
#include "image/tga.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool prepared = prepareFuzzing();
    static_cast<void>(prepared);
    setTargaMemory(data, size);
    const TargaByteSource previous = setTargaByteSource(targaMemorySource);
    FuzzPicture picture;
    try {
        DecodeTGA("memory", nullptr, FuzzPicture::sink, &picture);
    } catch (const ioException&) {
    }
    setTargaByteSource(previous);
    setTargaMemory(nullptr, 0);
    return fuzzImageReader(LoadTGA, data, size);
}
