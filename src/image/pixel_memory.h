#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

// Frees what allocatePixels gave.
struct PixelMemoryFree {
    void operator()(std::uint8_t* pixels) const noexcept;
};

using PixelStorage = std::unique_ptr<std::uint8_t[], PixelMemoryFree>;

// Storage for pixels, left uninitialised. Throws std::bad_alloc when the memory is not
// there, or when it is more than the limit below; the callers turn that into an error
// the user sees, never into an abort. Large blocks ask the kernel for huge pages: a
// picture's first touch then faults once per 2 MiB instead of once per 4 KiB, which is
// most of the cost of filling a fresh picture under a hypervisor.
PixelStorage allocatePixels(std::size_t bytes);

// Makes every pixel allocation above bytes fail, as if memory ran out (0 lifts the
// limit). Lets tests reach the failure paths in builds whose allocator never fails,
// such as under AddressSanitizer. Returns the previous limit.
std::size_t setPixelAllocationLimit(std::size_t bytes);
