// PNG as a photo: the pixels, the text chunks and the ICC profile kept for the save.
#include "fuzz_image.h"
#include "image/photo_metadata.h"
#include "image/png.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool prepared = prepareFuzzing();
    static InputFile file;
    static_cast<void>(prepared);
    FuzzPicture picture;
    PhotoMetadata metadata;
    try {
        LoadPNGPhoto(file.write(data, size), FuzzPicture::sink, &picture, metadata);
    } catch (const ioException&) {
    }
    return 0;
}
