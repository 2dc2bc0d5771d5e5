#pragma once
#include "panel/widget.h"

class BGRImage;

// Shows a borrowed 24-bit picture (the live view) at its own size.
class ImageWidget : public Widget {
public:
    ~ImageWidget() override;
    void draw(Size windowSize, int force) override;
    // Borrows the image and takes its size as the extent; null shows nothing.
    virtual void setImage(BGRImage* image);

    BGRImage* image = nullptr;
};
