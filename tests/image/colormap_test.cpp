#include "image/colormap.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>


#include "platform/io_exception.h"
#include "support/io_exception_expect.h"
#include "support/temp_dir.h"

namespace {

TEST(MatchingColour, FormulasAtTheCornersOfTheCube) {
    struct Case { std::uint8_t b, g, r, y, u, v; };
    for (Case c : {Case{0, 0, 0, 0, 127, 127}, {255, 255, 255, 255, 127, 127}, {255, 0, 0, 28, 254, 107},
                   {0, 0, 255, 76, 84, 255}, {0, 255, 0, 149, 43, 20}}) {
        const MatchingColour m = matchingColour(c.b, c.g, c.r);
        EXPECT_EQ(m.y, c.y) << int(c.b) << "," << int(c.g) << "," << int(c.r);
        EXPECT_EQ(m.u, c.u);
        EXPECT_EQ(m.v, c.v);
    }
}

TEST(BuiltinColormap, IsTheQuakeTwoPaletteInBlueGreenRed) {
    const auto map = BuiltinColormap();
    ASSERT_EQ(map->count, 256);
    const int ramp[16] = {0, 15, 31, 47, 63, 75, 91, 107, 123, 139, 155, 171, 187, 203, 219, 235};
    for (int i = 0; i < 16; ++i)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(map->entry(i)[c], ramp[i]) << i;
    struct Row { int index, r, g, b; };
    for (Row row : {Row{16, 99, 75, 35}, {17, 91, 67, 31}, {31, 15, 11, 7}, {32, 95, 95, 111}, {48, 143, 119, 83},
                    {64, 167, 59, 43}, {128, 139, 87, 87}, {208, 0, 255, 0}, {224, 255, 171, 7}, {240, 239, 0, 0},
                    {254, 135, 107, 87}, {255, 159, 91, 83}}) {
        EXPECT_EQ(map->entry(row.index)[0], row.b) << row.index;
        EXPECT_EQ(map->entry(row.index)[1], row.g) << row.index;
        EXPECT_EQ(map->entry(row.index)[2], row.r) << row.index;
    }
}

TEST(Colormap, PicksTheClosestEntryAndTheFirstOfEqualOnes) {
    // Black, white, black again, pure red: the second black never wins.
    const std::uint8_t bgr[] = {0, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0, 255};
    const Colormap map(4, bgr);
    const std::uint8_t dark[] = {10, 12, 9}, light[] = {240, 250, 245}, red[] = {20, 10, 230}, black[] = {0, 0, 0};
    EXPECT_EQ(map.nearestIndex(dark), 0);
    EXPECT_EQ(map.nearestIndex(black), 0);
    EXPECT_EQ(map.nearestIndex(light), 1);
    EXPECT_EQ(map.nearestIndex(red), 3);
    for (std::uint8_t index : map.inverseMap) ASSERT_NE(index, 2);
}

TEST(Colormap, WithoutEntriesEveryCellHoldsZero) {
    const Colormap map(0, nullptr);
    for (std::uint8_t index : map.inverseMap) ASSERT_EQ(index, 0);
}

TEST(Colormap, DitherIndexPassesTheErrorOfThePixelAsGivenUpToTheThreshold) {
    const std::uint8_t bgr[] = {0, 0, 0, 255, 255, 255};
    const Colormap map(2, bgr);
    const std::uint8_t grey[] = {100, 100, 100};
    const std::int32_t none[] = {0, 0, 0}, push[] = {100, 100, 100};
    std::int32_t out[3];
    // Matched to black, the pixel's own 100 is passed on.
    EXPECT_EQ(map.ditherIndex(grey, none, out, 255), 0);
    EXPECT_EQ(out[0], 100);
    EXPECT_EQ(out[2], 100);
    // The accumulated error moves it to white (adjusted luma 200): the error is the pixel
    // as given minus white, without the accumulated error.
    EXPECT_EQ(map.ditherIndex(grey, push, out, 255), 1);
    EXPECT_EQ(out[1], -155);
    // Adjusted luma 200 above the threshold 160: nothing passed on.
    EXPECT_EQ(map.ditherIndex(grey, push, out, 160), 1);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 0);
    // Clamped: a huge error cannot wrap.
    const std::int32_t huge[] = {100000, 100000, 100000};
    EXPECT_EQ(map.ditherIndex(grey, huge, out, 255), 1);
}

class ColormapFiles : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& text) {
        const std::string path = dir.file(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    TempDir dir;
};

TEST_F(ColormapFiles, ActIsRedGreenBlueTriples) {
    const auto map = ReadACT(write("two.act", std::string("\x10\x20\x30\x40\x50\x60\x70", 7)).c_str());
    ASSERT_TRUE(map);
    EXPECT_EQ(map->count, 2);  // the odd byte is no entry
    EXPECT_EQ(map->entry(1)[0], 0x60);
    EXPECT_EQ(map->entry(1)[2], 0x40);
    EXPECT_EQ(map->entry(2)[0], 0);  // past the count: black
    EXPECT_FALSE(ReadACT(dir.file("missing.act").c_str()));
    EXPECT_FALSE(ReadACT(write("empty.act", "ab").c_str()));

    std::string full(800, '\x01');
    EXPECT_EQ(ReadACT(write("long.act", full).c_str())->count, 256);
}

TEST_F(ColormapFiles, PalCountsAndValues) {
    struct Case { const char* what; std::string text; int count; };
    const Case cases[] = {
        {"two entries", "JASC-PAL\n0100\n2\n1 2 3\n300 -1 7\n", 2},
        {"count above 256", "JASC-PAL 0100 999\n" + [] { std::string s; for (int i = 0; i < 256; ++i) s += "1 2 3\n"; return s; }(), 256},
        {"count 0", "JASC-PAL\n0100\n0\n1 2 3\n", 0},
        {"negative count", "JASC-PAL\n0100\n-4\n", 0},
        {"fewer entries than counted", "JASC-PAL\n0100\n3\n1 2 3\n4 5 6\n", 0},
        {"no count", "JASC-PAL\n0100\n", 0},
        {"a word for a value", "JASC-PAL\n0100\n1\n1 x 3\n", 0},
    };
    for (const Case& c : cases) {
        const auto map = ReadPAL(write("test.pal", c.text).c_str());
        if (c.count == 0) {
            EXPECT_FALSE(map) << c.what;
            continue;
        }
        ASSERT_TRUE(map) << c.what;
        EXPECT_EQ(map->count, c.count) << c.what;
    }
    const auto map = ReadPAL(write("low.pal", "JASC-PAL\n0100\n2\n1 2 3\n300 -1 7\n").c_str());
    // Blue, green, red; each value's low 8 bits.
    EXPECT_EQ(map->entry(0)[0], 3);
    EXPECT_EQ(map->entry(0)[2], 1);
    EXPECT_EQ(map->entry(1)[0], 7);
    EXPECT_EQ(map->entry(1)[1], 255);
    EXPECT_EQ(map->entry(1)[2], 44);
    EXPECT_FALSE(ReadPAL(dir.file("missing.pal").c_str()));
}

TEST_F(ColormapFiles, APipeOrADeviceIsNoColormap) {
    const std::string pipe = dir.file("pipe.pal");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {pipe, std::string("/dev/zero")}) {
        EXPECT_FALSE(ReadPAL(path.c_str())) << path;
        EXPECT_FALSE(ReadACT(path.c_str())) << path;
    }
}

TEST_F(ColormapFiles, AFullPalWithWideLinesAndALongTailStillReads) {
    std::string entries;
    for (int i = 0; i < 256; ++i) entries += "  255\t 128   " + std::to_string(i) + "  \r\n";
    const auto map = ReadPAL(
        write("tail.pal", "JASC-PAL\r\n0100\r\n256\r\n" + entries + std::string(1 << 20, 'x')).c_str());
    ASSERT_TRUE(map);
    EXPECT_EQ(map->count, 256);
    EXPECT_EQ(map->entry(255)[0], 255);  // blue of the last entry
}

// An empty setting is the built-in palette; a named palette that cannot be used is an
// error naming it, never a silent change to another palette.
TEST_F(ColormapFiles, CacheKeepsOneMapPerSettingAndRefusesPalettesItCannotRead) {
    const auto builtin = BuiltinColormap();
    const std::string act = write("cache.act", std::string("\xFF\x00\x00\x00\x00\xFF", 6));
    EXPECT_EQ(colormapForSetting("").entries, builtin->entries);
    EXPECT_EQ(colormapForSetting(act).count, 2);
    struct Refusal {
        std::string setting;
        std::int32_t kind;
        const char* reason;
    };
    const Refusal refusals[] = {
        {"a.b", ioException::opening, "palette neither .act nor .pal"},
        {act + "x", ioException::opening, "palette neither .act nor .pal"},
        {dir.file("missing.act"), ioException::opening, "palette file cannot be opened"},
        {dir.file("missing.pal"), ioException::opening, "palette file cannot be opened"},
        {dir.path().string() + "/.act", ioException::opening, "palette file cannot be opened"},
        {write("short.act", "ab"), ioException::reading, "palette holds no whole colour"},
        {write("short.pal", "JASC-PAL\n0100\n3\n1 2 3\n"), ioException::reading,
         "palette not a count followed by that many colours"},
    };
    for (const Refusal& r : refusals) {
        EXPECT_IO_EXCEPTION(colormapForSetting(r.setting), r.kind, r.setting, r.reason);
        try {
            colormapForSetting(r.setting);
        } catch (const ioException& e) {
            EXPECT_NE(e.message.find("colormap " + r.setting + " (\"PCXColormap\")"), std::string::npos) << e.message;
        }
    }
    // Nothing was cached for a refused name: the same name read again once it is fixed.
    const std::string late = dir.file("late.act");
    EXPECT_ANY_THROW(colormapForSetting(late));
    write("late.act", std::string("\x01\x02\x03", 3));
    EXPECT_EQ(colormapForSetting(late).count, 1);
    const std::int64_t before = Colormap::mapsBuilt();
    const Colormap* first = &colormapForSetting(act);
    EXPECT_EQ(Colormap::mapsBuilt(), before + 1);
    EXPECT_EQ(&colormapForSetting(act), first);
    EXPECT_EQ(Colormap::mapsBuilt(), before + 1);
    colormapForSetting("");
    EXPECT_EQ(Colormap::mapsBuilt(), before + 2);
}

}  // namespace
