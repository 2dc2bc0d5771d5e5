// The logical palette for palette-based displays.
#include <gtest/gtest.h>

#include "view/display_palette.h"

TEST(DisplayPalette, EightBitPaletteHasRampsAndSystemColours) {
    const std::vector<PaletteEntry> palette = buildDisplayPalette(PaletteFormat{});
    ASSERT_EQ(palette.size(), 256u);
    struct Case {
        int entry, red, green, blue;
    } cases[] = {
        {0, 0, 0, 0},          {173, 192, 192, 192}, {3, 128, 0, 0},       {91, 128, 128, 128},
        {247, 255, 251, 240},  {255, 255, 255, 255},  // ramps at their ends
        {7, 255, 0, 0},        {56, 0, 255, 0},       {192, 0, 0, 255},
        {128, 0, 0, 182},      // blue level 2 is 182, not 170
        {1 + (2 << 3), 36, 73, 0},
    };
    for (const Case& c : cases) {
        const PaletteEntry& e = palette[c.entry];
        EXPECT_EQ((std::array<int, 4>{e.red, e.green, e.blue, e.flags}), (std::array<int, 4>{c.red, c.green, c.blue, 0}))
            << "entry " << c.entry;
    }
}

TEST(DisplayPalette, SmallerFormatsKeepOnlyTheirEntries) {
    PaletteFormat format;
    format.colourBits = 4;
    format.redBits = 1, format.redShift = 0;
    format.greenBits = 2, format.greenShift = 1;
    format.blueBits = 1, format.blueShift = 3;
    const std::vector<PaletteEntry> palette = buildDisplayPalette(format);
    ASSERT_EQ(palette.size(), 16u);
    EXPECT_EQ(palette[3].red, 128);  // a system colour inside the range
    EXPECT_EQ(palette[15].green, 109);
    EXPECT_EQ(palette[15].blue, 73);
    EXPECT_TRUE(buildDisplayPalette(PaletteFormat{.colourBits = 0}).empty());
}
