#pragma once
#include <array>
#include <memory>

#include "image/bgr_image.h"
#include "panel/widget.h"

// A shaded frame of four strips drawn over what the window already shows.
class BevelWidget : public Widget {
public:
    BevelWidget(int thickX, int thickY, int sunken);
    ~BevelWidget() override;
    void draw(Size windowSize, int force) override;
    // A frame never takes the mouse.
    int contains(Size windowSize, Point point) const override;

    int thickX = 0;
    int thickY = 0;
    int sunken = 0;
    // Bottom, top, right, left: the shaded window pixels, R, G, B.
    std::array<std::unique_ptr<RawImage>, 4> strips;
};
