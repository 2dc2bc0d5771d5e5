#include "fuzz_image.h"
#include "image/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzImageReader(LoadBMP, data, size);
}
