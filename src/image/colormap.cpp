#include "image/colormap.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>
#include <string>

#include "image/fast_math.h"
#include "platform/file_io.h"
#include "platform/io_exception.h"
#include "platform/resources.h"
#include "platform/stdio_file.h"

namespace {

std::int64_t builtCount = 0;

// A colour with its chroma centred on 127 and the chroma's magnitude to 7 mantissa bits.
struct ChromaPoint {
    std::int32_t y, u, v;  // u, v centred on 127
    float magnitude;
};

ChromaPoint chromaPoint(std::int32_t y, std::int32_t u, std::int32_t v) {
    const std::int32_t cu = u - 127;
    const std::int32_t cv = v - 127;
    return {y, cu, cv, fastSqrt(static_cast<float>(cu * cu + cv * cv))};
}

// The distance between a cell centre and an entry: luma difference, chroma magnitude
// difference and chroma direction difference (me mp (1 - cos theta)).
std::int64_t distance(const ChromaPoint& p, const ChromaPoint& e) {
    // The product of two 8-bit-mantissa floats is exact in double, as is the integer sum.
    const auto s = static_cast<std::int64_t>(static_cast<double>(e.magnitude) * static_cast<double>(p.magnitude) -
                                             static_cast<double>(e.u * p.u + e.v * p.v));
    const auto d = static_cast<std::int64_t>(e.magnitude - p.magnitude);
    const std::int64_t dy = p.y - e.y;
    const std::int64_t halfS = s / 2;
    return dy * dy + d * d + 2 * halfS * halfS;
}

// The Quake II palette from the program's resource: 256 lines "R G B", as blue, green, red.
std::array<std::uint8_t, 768> builtinBlueGreenRed() {
    std::array<std::uint8_t, 768> result{};
    const auto text = findResource("QUAKE2", "PALETTE");
    const char* at = reinterpret_cast<const char*>(text.data());
    const char* end = at + text.size();
    for (std::size_t i = 0; i < 768 && at < end; ++i) {
        while (at < end && (*at < '0' || *at > '9')) ++at;
        int value = 0;
        at = std::from_chars(at, end, value).ptr;
        // Stored red, green, blue; kept blue, green, red.
        result[i - i % 3 + (2 - i % 3)] = static_cast<std::uint8_t>(value);
    }
    return result;
}

[[noreturn]] void refuseColormap(const std::string& path, std::int32_t kind, const char* reason) {
    throw ioException{path, kind, reason,
                      "Cannot use the colormap " + path + " (\"PCXColormap\"): " + reason + "."};
}

// A palette named but not readable is an error: writing with another palette than the
// one chosen would give the user pictures they did not ask for.
std::unique_ptr<Colormap> chooseColormap(const std::string& setting) {
    if (setting.empty()) return BuiltinColormap();
    const bool act = setting.ends_with(".act");
    if (!act && !setting.ends_with(".pal"))
        refuseColormap(setting, ioException::opening, "palette neither .act nor .pal");
    if (!openFileForReading(setting.c_str()))
        refuseColormap(setting, ioException::opening, "palette file cannot be opened");
    std::unique_ptr<Colormap> chosen = act ? ReadACT(setting.c_str()) : ReadPAL(setting.c_str());
    if (!chosen)
        refuseColormap(setting, ioException::reading,
                       act ? "palette holds no whole colour" : "palette not a count followed by that many colours");
    return chosen;
}

}  // namespace

Colormap::Colormap(std::int32_t entryCount, const std::uint8_t* blueGreenRed)
    : count(std::clamp(entryCount, 0, maxEntries)) {
    std::array<ChromaPoint, maxEntries> points{};
    for (std::int32_t i = 0; i < count; ++i) {
        std::copy_n(blueGreenRed + 3 * i, 3, &entries[3 * static_cast<std::size_t>(i)]);
        const MatchingColour c = matchingColour(blueGreenRed[3 * i], blueGreenRed[3 * i + 1], blueGreenRed[3 * i + 2]);
        converted[3 * static_cast<std::size_t>(i)] = c.y;
        converted[3 * static_cast<std::size_t>(i) + 1] = c.u;
        converted[3 * static_cast<std::size_t>(i) + 2] = c.v;
        points[static_cast<std::size_t>(i)] = chromaPoint(c.y, c.u, c.v);
    }
    std::size_t cellIndex = 0;
    for (std::int32_t a = 0; a < 32; ++a)
        for (std::int32_t b = 0; b < 32; ++b)
            for (std::int32_t c = 0; c < 32; ++c, ++cellIndex) {
                const ChromaPoint centre = chromaPoint(8 * a + 4, 8 * b + 4, 8 * c + 4);
                std::int32_t best = 0;
                std::int64_t bestDistance = 0;
                for (std::int32_t i = 0; i < count; ++i) {
                    const std::int64_t d = distance(centre, points[static_cast<std::size_t>(i)]);
                    if (i == 0 || d < bestDistance) {
                        best = i;
                        bestDistance = d;
                    }
                }
                inverseMap[cellIndex] = static_cast<std::uint8_t>(best);
            }
    ++builtCount;
}

std::int64_t Colormap::mapsBuilt() { return builtCount; }

std::optional<PaletteEntries> ReadACTEntries(const char* path) {
    StdioFile file = openStreamForReading(path);
    if (!file) return std::nullopt;
    PaletteEntries palette;
    std::array<std::uint8_t, 768>& bytes = palette.blueGreenRed;
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    palette.count = static_cast<std::int32_t>(got / 3);
    if (palette.count < 1) return std::nullopt;
    for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) std::swap(bytes[i], bytes[i + 2]);
    return palette;
}

std::unique_ptr<Colormap> ReadACT(const char* path) {
    const std::optional<PaletteEntries> palette = ReadACTEntries(path);
    return palette ? std::make_unique<Colormap>(palette->count, palette->blueGreenRed.data()) : nullptr;
}

std::unique_ptr<Colormap> ReadPAL(const char* path) {
    const std::optional<PaletteEntries> palette = ReadPALEntries(path);
    return palette ? std::make_unique<Colormap>(palette->count, palette->blueGreenRed.data()) : nullptr;
}

std::optional<PaletteEntries> ReadPALEntries(const char* path) {
    StdioFile file = openStreamForReading(path);
    if (!file) return std::nullopt;
    // Three header lines and at most 256 entry lines of bounded length: a longer file
    // cannot hold more entries, so its tail is never read.
    constexpr std::size_t lineLimit = 256;
    std::string text((3 + Colormap::maxEntries) * lineLimit, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file.get()));
    std::istringstream in(text);
    std::string signature, version;
    long long entryCount = 0;
    if (!(in >> signature >> version >> entryCount) || entryCount < 1) return std::nullopt;
    entryCount = std::min<long long>(entryCount, Colormap::maxEntries);
    PaletteEntries palette;
    std::array<std::uint8_t, 768>& bytes = palette.blueGreenRed;
    for (long long i = 0; i < entryCount; ++i) {
        int red, green, blue;
        if (!(in >> red >> green >> blue)) return std::nullopt;
        // Each value keeps its low 8 bits.
        bytes[static_cast<std::size_t>(3 * i)] = static_cast<std::uint8_t>(blue);
        bytes[static_cast<std::size_t>(3 * i + 1)] = static_cast<std::uint8_t>(green);
        bytes[static_cast<std::size_t>(3 * i + 2)] = static_cast<std::uint8_t>(red);
    }
    palette.count = static_cast<std::int32_t>(entryCount);
    return palette;
}

std::unique_ptr<Colormap> BuiltinColormap() {
    static const std::array<std::uint8_t, 768> palette = builtinBlueGreenRed();
    return std::make_unique<Colormap>(Colormap::maxEntries, palette.data());
}

const Colormap& colormapForSetting(const std::string& setting) {
    static std::unique_ptr<Colormap> cached;
    static std::string cachedFor;
    if (!cached || cachedFor != setting) {
        cached.reset();
        cachedFor.clear();
        cached = chooseColormap(setting);
        cachedFor = setting;
    }
    return *cached;
}
