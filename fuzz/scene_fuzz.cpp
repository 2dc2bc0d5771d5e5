// Scene files as VRML and LivePicture viewers write them, read for the panorama they name.
#include "fuzz_input.h"
#include "panorama/scene_files.h"
#include "platform/io_exception.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static NamedInputFile wrl("scene.wrl");
    static NamedInputFile ivr("scene.ivr");
    for (NamedInputFile* file : {&wrl, &ivr}) {
        try {
            readSceneFile(file->write(data, size));
        } catch (const ioException&) {
        }
    }
    return 0;
}
