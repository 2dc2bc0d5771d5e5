#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

// A colour's components in the colour matcher's own luma and chroma space, each a byte.
struct MatchingColour {
    std::uint8_t y, u, v;
};
MatchingColour matchingColour(std::uint8_t blue, std::uint8_t green, std::uint8_t red);

// A palette of up to 256 colours with its 32 x 32 x 32 inverse colour map, so that
// matching a pixel is one table lookup.
class Colormap {
public:
    static constexpr std::int32_t maxEntries = 256;

    // count blue-green-red triples; a count above 256 keeps the first 256.
    Colormap(std::int32_t count, const std::uint8_t* blueGreenRed);

    // The inverse-map cell of the pixel's colour (pixel: blue, green, red).
    std::uint8_t nearestIndex(const std::uint8_t* pixel) const;
    // The pixel plus the accumulated error (blue, green, red), clamped, matched; outError
    // is the pixel as given minus the chosen entry, or 0 when the adjusted luma is above
    // the threshold.
    std::uint8_t ditherIndex(const std::uint8_t* pixel, const std::int32_t* error, std::int32_t* outError,
                             std::int32_t threshold) const;
    // Blue, green, red of an entry; entries past count are black.
    const std::uint8_t* entry(int index) const { return &entries[3 * static_cast<std::size_t>(index & 0xFF)]; }

    // How many inverse maps this process has built.
    static std::int64_t mapsBuilt();

    std::int32_t count = 0;
    std::array<std::uint8_t, 3 * maxEntries> entries{};
    std::array<std::uint8_t, 3 * maxEntries> converted{};  // each entry's Y, U, V
    std::array<std::uint8_t, 32768> inverseMap{};          // cell (Y>>3, U>>3, V>>3)

private:
    static std::size_t cell(MatchingColour c) {
        return (static_cast<std::size_t>(c.y >> 3) << 10) | (static_cast<std::size_t>(c.u >> 3) << 5) | (c.v >> 3);
    }
};

// A ".act" file: up to 768 bytes of red, green, blue. None when the file cannot be
// opened or holds no whole entry.
std::unique_ptr<Colormap> ReadACT(const char* path);
// A ".pal" text file: two words, an entry count (above 256 taken as 256), then the
// entries as "red green blue". None when it cannot be opened, its count is below 1 or
// it holds fewer entries than it says.
std::unique_ptr<Colormap> ReadPAL(const char* path);
// The built-in Quake II palette.
std::unique_ptr<Colormap> BuiltinColormap();

// The process-wide cached colormap for a "PCXColormap" value: built-in for short or
// unknown names and for files that cannot be read, else the ".act" or ".pal" file.
// Rebuilt only when the value changes.
const Colormap& colormapForSetting(const std::string& setting);
