#pragma once
#include <memory>

#include "image/bgr_image.h"

// The pictures the live view is rendered into: one of the view area's size and a
// half-size one ((width + 1) / 2 x (height + 1) / 2) over the start of the same pixels,
// used while the view turns continuously.
class DisplayImages {
public:
    explicit DisplayImages(Size size);

    RawImage& full() { return *full_; }
    RawImage& half() { return *half_; }
    Size size() const { return full_->size(); }

private:
    std::unique_ptr<RawImage> full_;
    std::unique_ptr<RawImage> half_;
};

// The half-size size for a full size.
Size halfSizeOf(Size size);

// Enlarges the half-size picture at the start of full's pixels (rows halfStride bytes
// apart) to full's size, each pixel a 2 x 2 block, working backwards so that no source
// pixel is overwritten before it is read.
void expandHalfInPlace(BGRImage& full, std::uint32_t halfStride);
