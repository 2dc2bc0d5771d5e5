#pragma once
// A fuzz target for one image reader: the input is the whole file.
#include "fuzz_input.h"
#include "platform/io_exception.h"

inline int fuzzImageReader(ImageReader reader, const std::uint8_t* data, std::size_t size) {
    static const bool prepared = prepareFuzzing();
    static InputFile file;
    static_cast<void>(prepared);
    FuzzPicture picture;
    try {
        reader(file.write(data, size), FuzzPicture::sink, &picture);
    } catch (const ioException&) {
        // A refusal is a correct answer to a hostile file.
    }
    return 0;
}
