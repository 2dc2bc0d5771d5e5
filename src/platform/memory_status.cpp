#include "platform/memory_status.h"

#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <utility>

namespace {
MemoryStatusSource& installedSource() {
    static MemoryStatusSource source;
    return source;
}

// The kB figure after "name:" on a line of its own, in bytes; 0 when absent or garbled.
std::uint64_t field(std::string_view text, std::string_view name) {
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.size() <= name.size() || line.substr(0, name.size()) != name || line[name.size()] != ':')
            continue;
        std::size_t i = name.size() + 1;
        while (i < line.size() && line[i] == ' ') ++i;
        std::uint64_t kilobytes = 0;
        bool digits = false;
        constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max() / 1024;
        for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
            digits = true;
            const unsigned digit = static_cast<unsigned>(line[i] - '0');
            if (kilobytes > (most - digit) / 10) return 0;  // beyond any real memory
            kilobytes = kilobytes * 10 + digit;
        }
        return digits ? kilobytes * 1024 : 0;
    }
    return 0;
}
}  // namespace

MemoryStatus parseMeminfo(std::string_view text) {
    return {field(text, "MemAvailable"), field(text, "SwapFree")};
}

MemoryStatus memoryStatus() {
    if (installedSource()) return installedSource()();
    std::ifstream file("/proc/meminfo");
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return parseMeminfo(text);
}

MemoryStatusSource setMemoryStatusSource(MemoryStatusSource source) {
    return std::exchange(installedSource(), std::move(source));
}
