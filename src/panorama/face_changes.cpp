#include "panorama/face_changes.h"

#include <algorithm>
#include <cstring>

namespace {

std::size_t bitIndex(Size size, std::int32_t column, std::int32_t row) {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(size.width) + static_cast<std::size_t>(column);
}

}  // namespace

void FaceChanges::start(const std::array<Size, faces>& sizes) {
    sizes_ = sizes;
    for (int i = 0; i < faces; ++i) {
        const std::size_t count = static_cast<std::size_t>(std::max(0, sizes[i].width)) *
                                  static_cast<std::size_t>(std::max(0, sizes[i].height));
        bits_[i].assign((count + 63) / 64, 0);
    }
    tracking_ = true;
}

void FaceChanges::markAll() {
    tracking_ = false;
    for (auto& bits : bits_) {
        bits.clear();
        bits.shrink_to_fit();
    }
}

void FaceChanges::mark(int face, std::int32_t column, std::int32_t row) {
    if (!tracking_ || face < 0 || face >= faces) return;
    const Size size = sizes_[face];
    if (column < 0 || row < 0 || column >= size.width || row >= size.height) return;
    const std::size_t i = bitIndex(size, column, row);
    bits_[face][i / 64] |= std::uint64_t{1} << (i % 64);
}

void FaceChanges::markDifferences(int face, const BGRImage& before, const BGRImage& after) {
    if (!tracking_ || face < 0 || face >= faces) return;
    if (before.size() != sizes_[face] || after.size() != sizes_[face] || before.pixels == nullptr ||
        after.pixels == nullptr) {
        markAll();
        return;
    }
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(sizes_[face].width);
    for (std::int32_t row = 0; row < sizes_[face].height; ++row) {
        const std::uint8_t* a = before.row(row);
        const std::uint8_t* b = after.row(row);
        if (std::memcmp(a, b, rowBytes) == 0) continue;
        for (std::int32_t column = 0; column < sizes_[face].width; ++column)
            if (std::memcmp(a + 3 * column, b + 3 * column, 3) != 0) mark(face, column, row);
    }
}

bool FaceChanges::changed(int face, std::int32_t column, std::int32_t row) const {
    if (!tracking_ || face < 0 || face >= faces) return true;
    const Size size = sizes_[face];
    if (column < 0 || row < 0 || column >= size.width || row >= size.height) return true;
    const std::size_t i = bitIndex(size, column, row);
    return (bits_[face][i / 64] >> (i % 64)) & 1;
}

namespace {
bool inside(Size face, Point origin, Size size) {
    return origin.x >= 0 && origin.y >= 0 && size.width >= 0 && size.height >= 0 && origin.x <= face.width - size.width &&
           origin.y <= face.height - size.height;
}
}  // namespace

std::vector<bool> FaceChanges::marksIn(int face, Point origin, Size size) const {
    std::vector<bool> marks;
    if (!tracking_ || face < 0 || face >= faces || !inside(sizes_[face], origin, size)) return marks;
    marks.reserve(static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height));
    for (std::int32_t y = 0; y < size.height; ++y)
        for (std::int32_t x = 0; x < size.width; ++x) marks.push_back(changed(face, origin.x + x, origin.y + y));
    return marks;
}

bool FaceChanges::exchangeMarks(int face, Point origin, Size size, std::vector<bool>& marks) {
    if (!tracking_ || face < 0 || face >= faces || !inside(sizes_[face], origin, size) ||
        marks.size() != static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height))
        return false;
    std::size_t k = 0;
    for (std::int32_t y = 0; y < size.height; ++y)
        for (std::int32_t x = 0; x < size.width; ++x, ++k) {
            const std::size_t i = bitIndex(sizes_[face], origin.x + x, origin.y + y);
            std::uint64_t& word = bits_[face][i / 64];
            const std::uint64_t bit = std::uint64_t{1} << (i % 64);
            const bool was = (word & bit) != 0;
            word = marks[k] ? (word | bit) : (word & ~bit);
            marks[k] = was;
        }
    return true;
}

bool FaceChanges::anyChanged() const {
    if (!tracking_) return true;
    for (const auto& bits : bits_)
        if (std::any_of(bits.begin(), bits.end(), [](std::uint64_t word) { return word != 0; })) return true;
    return false;
}

bool FaceChanges::anyChangedIn(int face, std::int32_t left, std::int32_t bottom, std::int32_t right,
                               std::int32_t top) const {
    if (!tracking_ || face < 0 || face >= faces) return true;
    const Size size = sizes_[face];
    left = std::max(left, 0);
    bottom = std::max(bottom, 0);
    right = std::min(right, size.width);
    top = std::min(top, size.height);
    const std::vector<std::uint64_t>& bits = bits_[face];
    for (std::int32_t row = bottom; row < top; ++row) {
        // Whole words at a time: the run's first and last words masked.
        const std::size_t first = bitIndex(size, left, row), end = bitIndex(size, right, row);
        for (std::size_t i = first; i < end;) {
            const std::size_t word = i / 64, from = i % 64;
            const std::size_t to = std::min<std::size_t>(64, from + (end - i));
            const std::uint64_t mask = (to - from == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << (to - from)) - 1)) << from;
            if (bits[word] & mask) return true;
            i += to - from;
        }
    }
    return false;
}
