#pragma once
#include <cstdint>
#include <vector>

// What a palette-based pixel format says about its colour bits.
struct PaletteFormat {
    int colourBits = 8;
    int redBits = 3, redShift = 0;
    int greenBits = 3, greenShift = 3;
    int blueBits = 2, blueShift = 6;
};

struct PaletteEntry {
    std::uint8_t red = 0, green = 0, blue = 0, flags = 0;
};

// The logical palette of 2^colourBits entries for the window on a palette-based display:
// colour ramps by the format's bit fields, then the 13 fixed system colours.
std::vector<PaletteEntry> buildDisplayPalette(const PaletteFormat& format);
