// The colormap files a user names for PCX faces: the same bytes as ".act" and as ".pal".
#include "fuzz_input.h"
#include "image/colormap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static InputFile file;
    const char* path = file.write(data, size);
    const std::unique_ptr<Colormap> act = ReadACT(path);
    const std::unique_ptr<Colormap> pal = ReadPAL(path);
    // A match through what was built reads its inverse map and an entry.
    const std::uint8_t pixel[3] = {size > 0 ? data[0] : std::uint8_t{0}, 128, 7};
    volatile std::uint8_t matched = 0;
    if (act) matched = act->entry(act->nearestIndex(pixel))[0];
    if (pal) matched = pal->entry(pal->nearestIndex(pixel))[0];
    static_cast<void>(matched);
    return 0;
}
