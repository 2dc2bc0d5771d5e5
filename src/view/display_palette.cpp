#include "view/display_palette.h"

namespace {
constexpr std::uint8_t ramp3[8] = {0, 36, 73, 109, 146, 182, 219, 255};
// Not the even 0, 85, 170, 255: these levels line up with the 3-bit ramps.
constexpr std::uint8_t ramp2[4] = {0, 73, 182, 255};

std::uint8_t component(int index, int bits, int shift, const std::uint8_t* ramp, int rampSize) {
    if (bits <= 0 || bits > 30 || shift < 0 || shift > 30) return 0;
    const int level = (index >> shift) & ((1 << bits) - 1);
    return level < rampSize ? ramp[level] : ramp[rampSize - 1];
}

struct SystemColour {
    int entry;
    std::uint8_t red, green, blue;
};
// The colours the windowing system keeps for itself.
constexpr SystemColour systemColours[] = {
    {0, 0, 0, 0},         {3, 128, 0, 0},       {24, 0, 128, 0},      {27, 128, 128, 0},
    {64, 0, 0, 128},      {67, 128, 0, 128},    {88, 0, 128, 128},    {173, 192, 192, 192},
    {181, 192, 220, 192}, {236, 166, 202, 240}, {247, 255, 251, 240}, {164, 160, 160, 164},
    {91, 128, 128, 128},
};
}  // namespace

std::vector<PaletteEntry> buildDisplayPalette(const PaletteFormat& format) {
    if (format.colourBits <= 0 || format.colourBits > 16) return {};
    std::vector<PaletteEntry> palette(std::size_t{1} << format.colourBits);
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const int index = static_cast<int>(i);
        palette[i].red = component(index, format.redBits, format.redShift, ramp3, 8);
        palette[i].green = component(index, format.greenBits, format.greenShift, ramp3, 8);
        palette[i].blue = component(index, format.blueBits, format.blueShift, ramp2, 4);
    }
    for (const SystemColour& c : systemColours)
        if (static_cast<std::size_t>(c.entry) < palette.size()) palette[c.entry] = {c.red, c.green, c.blue, 0};
    return palette;
}
