#pragma once
#include <cstdint>
#include <functional>
#include <string_view>

// What the system can still give: available physical memory and available page file, in
// bytes.
struct MemoryStatus {
    std::uint64_t availablePhysical = 0;
    std::uint64_t availablePageFile = 0;
};

// The figures of /proc/meminfo text: MemAvailable and SwapFree (given in kB). A missing
// or unreadable line counts as 0.
MemoryStatus parseMeminfo(std::string_view text);

// The current status, from /proc/meminfo unless a test installed a source.
MemoryStatus memoryStatus();

using MemoryStatusSource = std::function<MemoryStatus()>;
// Replaces where memoryStatus() comes from (tests use a small fake figure); an empty
// source restores /proc/meminfo. Returns the previous source.
MemoryStatusSource setMemoryStatusSource(MemoryStatusSource source);
