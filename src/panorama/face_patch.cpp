#include "panorama/face_patch.h"

#include <algorithm>
#include <cstring>

#include "panorama/six_image.h"

std::optional<FacePatch> differencePatch(int face, const BGRImage& before, const BGRImage& after) {
    if (before.size() != after.size() || before.pixels == nullptr || after.pixels == nullptr) return std::nullopt;
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(before.width);
    std::int32_t firstRow = -1, lastRow = -1, firstColumn = before.width, lastColumn = -1;
    for (std::int32_t y = 0; y < before.height; ++y) {
        const std::uint8_t* a = before.row(y);
        const std::uint8_t* b = after.row(y);
        if (std::memcmp(a, b, rowBytes) == 0) continue;
        if (firstRow < 0) firstRow = y;
        lastRow = y;
        // Only the columns outside the rectangle found so far need looking at.
        std::int32_t x = 0;
        while (x < firstColumn && std::memcmp(a + 3 * x, b + 3 * x, 3) == 0) ++x;
        firstColumn = std::min(firstColumn, x);
        std::int32_t z = before.width - 1;
        while (z > lastColumn && std::memcmp(a + 3 * z, b + 3 * z, 3) == 0) --z;
        lastColumn = std::max(lastColumn, z);
    }
    if (firstRow < 0) return std::nullopt;
    FacePatch patch;
    patch.face = face;
    patch.column = firstColumn;
    patch.row = firstRow;
    patch.size = {lastColumn - firstColumn + 1, lastRow - firstRow + 1};
    const std::size_t patchRow = 3 * static_cast<std::size_t>(patch.size.width);
    patch.pixels.resize(patchRow * static_cast<std::size_t>(patch.size.height));
    for (std::int32_t y = 0; y < patch.size.height; ++y)
        std::memcpy(patch.pixels.data() + patchRow * static_cast<std::size_t>(y), before.row(firstRow + y) + 3 * firstColumn,
                    patchRow);
    return patch;
}

bool exchangePatch(FacePatch& patch, BGRImage& image) {
    const Size s = patch.size;
    if (image.pixels == nullptr || patch.column < 0 || patch.row < 0 || s.width <= 0 || s.height <= 0 ||
        patch.column > image.width - s.width || patch.row > image.height - s.height ||
        patch.pixels.size() != 3 * static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height))
        return false;
    const std::size_t patchRow = 3 * static_cast<std::size_t>(s.width);
    for (std::int32_t y = 0; y < s.height; ++y)
        std::swap_ranges(patch.pixels.data() + patchRow * static_cast<std::size_t>(y),
                         patch.pixels.data() + patchRow * static_cast<std::size_t>(y + 1),
                         image.row(patch.row + y) + 3 * patch.column);
    return true;
}

void exchangePatches(SixImage& panorama, std::vector<FacePatch>& patches) {
    for (FacePatch& patch : patches) {
        if (patch.face < 0 || patch.face >= faceCount || !panorama.faces[patch.face]) continue;
        if (!exchangePatch(patch, *panorama.faces[patch.face])) continue;
        if (!patch.marks.empty())
            panorama.faceChanges.exchangeMarks(patch.face, {patch.column, patch.row}, patch.size, patch.marks);
    }
}
