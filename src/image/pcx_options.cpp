#include "image/pcx_options.h"

#include <algorithm>

#include "platform/settings.h"

PCXWriteOptions readPCXWriteOptions() {
    PCXWriteOptions options;
    readStringSetting(pcxColormapSetting, options.colormap, false, true);
    readNumberSetting(pcxDitherSetting, options.dither, false, true);
    if (bool resize = true; readBooleanSetting(pcxResizeSetting, resize, false, true)) options.resize = resize ? 1 : 0;
    options.dither = std::min<std::uint32_t>(options.dither, pcxDitherHighest);
    return options;
}

void SavePCX(const char* path, Size size, std::uint32_t stride, int, const std::uint8_t* pixels) {
    writePCX(path, size, stride, pixels, readPCXWriteOptions());
}
