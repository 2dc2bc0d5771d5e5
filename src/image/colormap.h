#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// A colour's components in the colour matcher's own luma and chroma space, each a byte.
struct MatchingColour {
    std::uint8_t y, u, v;
};
inline MatchingColour matchingColour(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    const std::int32_t y = (29 * blue + 150 * green + 77 * red) >> 8;
    const std::int32_t u = ((blue - y + 226) * 9) >> 4;
    const std::int32_t v = ((red - y + 178) * 183) >> 8;
    return {static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(v)};
}

// A palette of up to 256 colours with its 32 x 32 x 32 inverse colour map, so that
// matching a pixel is one table lookup.
class Colormap {
public:
    static constexpr std::int32_t maxEntries = 256;

    // count blue-green-red triples; a count above 256 keeps the first 256.
    Colormap(std::int32_t count, const std::uint8_t* blueGreenRed);

    // The inverse-map cell of the pixel's colour (pixel: blue, green, red).
    std::uint8_t nearestIndex(const std::uint8_t* pixel) const {
        return inverseMap[cell(matchingColour(pixel[0], pixel[1], pixel[2]))];
    }
    // The pixel plus the accumulated error (blue, green, red), clamped, matched; outError
    // is the pixel as given minus the chosen entry, or 0 when the adjusted luma is above
    // the threshold.
    std::uint8_t ditherIndex(const std::uint8_t* pixel, const std::int32_t* error, std::int32_t* outError,
                             std::int32_t threshold) const {
        const MatchingColour c = matchingColour(clampByte(pixel[0] + error[0]), clampByte(pixel[1] + error[1]),
                                                clampByte(pixel[2] + error[2]));
        const std::uint8_t index = inverseMap[cell(c)];
        if (c.y > threshold) {
            outError[0] = outError[1] = outError[2] = 0;
        } else {
            const std::uint8_t* chosen = entry(index);
            for (int k = 0; k < 3; ++k) outError[k] = pixel[k] - chosen[k];
        }
        return index;
    }
    // Blue, green, red of an entry; entries past count are black.
    const std::uint8_t* entry(int index) const { return &entries[3 * static_cast<std::size_t>(index & 0xFF)]; }

    // How many inverse maps this process has built.
    static std::int64_t mapsBuilt();

    std::int32_t count = 0;
    std::array<std::uint8_t, 3 * maxEntries> entries{};
    std::array<std::uint8_t, 3 * maxEntries> converted{};  // each entry's Y, U, V
    std::array<std::uint8_t, 32768> inverseMap{};          // cell (Y>>3, U>>3, V>>3)

private:
    static std::uint8_t clampByte(std::int32_t value) {
        return static_cast<std::uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
    }
    static std::size_t cell(MatchingColour c) {
        return (static_cast<std::size_t>(c.y >> 3) << 10) | (static_cast<std::size_t>(c.u >> 3) << 5) | (c.v >> 3);
    }
};

// A palette file's entries as blue, green, red, before any inverse map is built.
struct PaletteEntries {
    std::int32_t count = 0;
    std::array<std::uint8_t, 3 * Colormap::maxEntries> blueGreenRed{};
};
// The entries of a ".act" or ".pal" file as ReadACT and ReadPAL below read them; none on
// the same failures.
std::optional<PaletteEntries> ReadACTEntries(const char* path);
std::optional<PaletteEntries> ReadPALEntries(const char* path);

// A ".act" file: up to 768 bytes of red, green, blue. None when the file cannot be
// opened or holds no whole entry.
std::unique_ptr<Colormap> ReadACT(const char* path);
// A ".pal" text file: two words, an entry count (above 256 taken as 256), then the
// entries as "red green blue". None when it cannot be opened, its count is below 1 or
// it holds fewer entries than it says.
std::unique_ptr<Colormap> ReadPAL(const char* path);
// The built-in Quake II palette.
std::unique_ptr<Colormap> BuiltinColormap();

// The process-wide cached colormap for a "PCXColormap" value: built-in for an empty
// value, else the ".act" or ".pal" file. Rebuilt only when the value changes. Throws
// ioException (with a message naming the colormap) for any other name and for a file
// that cannot be opened or read; nothing is cached then.
const Colormap& colormapForSetting(const std::string& setting);
