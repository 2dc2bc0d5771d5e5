#pragma once
#include <array>
#include <optional>

#include "platform/image_types.h"
#include "panel/widget.h"

// Two triangular tick marks, one on the bottom edge and one on the right edge of the
// widget's rectangle, showing two values from -1 to +1 (heading and pitch).
class TickWidget : public Widget {
public:
    ~TickWidget() override;
    void draw(Size windowSize, int force) override;
    virtual void setTicks(float x, float y);

    float tickX = 0;
    float tickY = 0;
};

struct TickVertex {
    float x = 0, y = 0;
};
// Outer (black) and inner (white) triangles of both ticks, relative to the widget's
// corner: bottom outer, right outer, bottom inner, right inner.
using TickTriangles = std::array<std::array<TickVertex, 3>, 4>;

// The triangles for an extent and tick values; nothing when a value lies outside [-1, 1].
std::optional<TickTriangles> tickTriangles(Size extent, float tickX, float tickY);

// Paints the ticks for tick values into rows the size of the widget's extent, as draw
// puts them on the screen: a pixel takes a triangle's shade when the point the window's
// projection samples for it (a pixel centre less the 0.375 shift of the drawing
// origin) lies inside, later triangles over earlier ones.
void paintTicks(const PixelRows& rows, float tickX, float tickY);
