#include "image/pixel_memory.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>
#include <utility>

namespace {
std::size_t limit = 0;

// The size of a transparent huge page on x86-64; smaller blocks gain nothing from one.
constexpr std::size_t hugePage = std::size_t{2} << 20;
}  // namespace

void PixelMemoryFree::operator()(std::uint8_t* pixels) const noexcept { std::free(pixels); }

PixelStorage allocatePixels(std::size_t bytes) {
    if (limit != 0 && bytes > limit) throw std::bad_alloc();
    if (bytes == 0) bytes = 1;  // a real block, so that an empty picture still has an address
    void* block = nullptr;
    if (bytes >= hugePage) {
        const std::size_t rounded = (bytes + hugePage - 1) / hugePage * hugePage;
        if (rounded < bytes) throw std::bad_alloc();
        block = std::aligned_alloc(hugePage, rounded);
        // Only advice: without huge pages the block works the same, page by page.
        if (block != nullptr) madvise(block, rounded, MADV_HUGEPAGE);
    } else {
        block = std::malloc(bytes);
    }
    if (block == nullptr) throw std::bad_alloc();
    return PixelStorage(static_cast<std::uint8_t*>(block));
}

std::size_t setPixelAllocationLimit(std::size_t bytes) { return std::exchange(limit, bytes); }
