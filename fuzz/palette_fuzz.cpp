// The colormap files a user names for PCX faces: the same bytes as ".act" and as ".pal",
// read into entries (the inverse map built from them is arithmetic on any 256 colours).
#include "fuzz_input.h"
#include "image/colormap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static InputFile file;
    const char* path = file.write(data, size);
    const std::optional<PaletteEntries> act = ReadACTEntries(path);
    const std::optional<PaletteEntries> pal = ReadPALEntries(path);
    if ((act && (act->count < 1 || act->count > Colormap::maxEntries)) ||
        (pal && (pal->count < 1 || pal->count > Colormap::maxEntries)))
        __builtin_trap();  // a count the map could not be built from
    return 0;
}
