#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "image/bgr_image.h"

// A rectangle of one face and the pixels it holds on the other side of an edit: before the
// edit while the edit is done, after it once the edit is undone. Exchanging a patch with its
// face undoes the edit, and exchanging it again redoes it.
struct FacePatch {
    int face = 0;
    std::int32_t column = 0;  // the rectangle's first column and row (rows as the face stores them)
    std::int32_t row = 0;
    Size size;
    std::vector<std::uint8_t> pixels;  // 3 bytes a pixel, rows packed
    // The faces' change marks under the rectangle on the same side (a photo's own pixels are
    // written back where unmarked); empty when the faces were not tracked.
    std::vector<bool> marks;

    std::size_t bytes() const { return pixels.size() + marks.size() / 8; }
};

// The smallest rectangle holding every pixel where after differs from before (two pictures
// of the same size) and before's pixels there; nothing when they are equal or their sizes
// differ.
std::optional<FacePatch> differencePatch(int face, const BGRImage& before, const BGRImage& after);

// Swaps the patch's pixels with those of image under it; false (and nothing swapped) when
// the rectangle does not lie inside image.
bool exchangePatch(FacePatch& patch, BGRImage& image);

class SixImage;  // panorama/six_image.h
// Exchanges each patch with its face of panorama, pixels and change marks: undoes the edit
// the patches were made of, or redoes it when they were exchanged before.
void exchangePatches(SixImage& panorama, std::vector<FacePatch>& patches);
