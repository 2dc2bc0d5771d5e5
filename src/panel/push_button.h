#pragma once
#include <memory>

#include "image/bgr_image.h"
#include "image/bgra_image.h"
#include "panel/button_blend.h"
#include "panel/widget.h"

// An image button with alpha, composed over the window pixels it covers.
class PushButton : public Widget {
public:
    // Loads the button picture from the program resource; the extent is its size.
    PushButton(const char* resourceType, const char* resourceName);
    ~PushButton() override;
    void draw(Size windowSize, int force) override;

    BGRAImage face;
    std::unique_ptr<RawImage> under;  // R, G, B; width rounded up to a multiple of 4
    std::unique_ptr<RawImage> shown;  // B, G, R; the button's size
    int state = buttonNormal;
    int shownState = buttonNormal;
    int invertHover = 0;

private:
    void compose(int force, Point p);
};
