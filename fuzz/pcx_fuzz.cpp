#include "fuzz_image.h"
#include "image/pcx_read.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzImageReader(LoadPCX, data, size);
}
