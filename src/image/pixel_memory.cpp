#include "image/pixel_memory.h"

#include <new>
#include <utility>

namespace {
std::size_t limit = 0;
}  // namespace

std::unique_ptr<std::uint8_t[]> allocatePixels(std::size_t bytes) {
    if (limit != 0 && bytes > limit) throw std::bad_alloc();
    return std::make_unique_for_overwrite<std::uint8_t[]>(bytes);
}

std::size_t setPixelAllocationLimit(std::size_t bytes) { return std::exchange(limit, bytes); }
