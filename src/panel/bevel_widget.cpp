#include "panel/bevel_widget.h"

#include <GL/gl.h>

#include "panel/bevel_shade.h"

namespace {
enum Strip { bottom = 0, top = 1, right = 2, left = 3 };

constexpr StripShade darkest{0, 0.7}, dark{0, 0.4}, darkish{0, 0.2}, light{1, 0.2};

// Raised: lit from the top left. Sunken: the other way round.
constexpr StripShade raisedShades[4] = {darkest, light, dark, darkish};
constexpr StripShade sunkenShades[4] = {light, darkest, darkish, dark};
}  // namespace

BevelWidget::BevelWidget(int thicknessX, int thicknessY, int isSunken)
    : thickX(thicknessX), thickY(thicknessY), sunken(isSunken) {}

BevelWidget::~BevelWidget() = default;

int BevelWidget::contains(Size, Point) const { return 0; }

void BevelWidget::draw(Size windowSize, int force) {
    Point p;
    resolvePosition(windowSize, p);
    const int w = extent.width, h = extent.height;
    const Point origins[4] = {{p.x, p.y}, {p.x, p.y + h - thickY}, {p.x + w - thickX, p.y + thickY}, {p.x, p.y + thickY}};
    const Size sizes[4] = {{w, thickY}, {w, thickY}, {thickX, h - 2 * thickY}, {thickX, h - 2 * thickY}};
    const StripShade* shades = sunken != 0 ? sunkenShades : raisedShades;
    const StripCorners corners[4] = {StripCorners::bottom, StripCorners::top, StripCorners::none, StripCorners::none};

    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    for (int s = bottom; s <= left; ++s) {
        std::unique_ptr<RawImage>& cache = strips[s];
        if (sizes[s].width <= 0 || sizes[s].height <= 0) {
            cache.reset();
            continue;
        }
        if (!cache || force != 0 || cache->size() != sizes[s]) {
            cache = std::make_unique<RawImage>(sizes[s]);
            glReadPixels(origins[s].x, origins[s].y, sizes[s].width, sizes[s].height, GL_RGB, GL_UNSIGNED_BYTE,
                         cache->pixels);
            shadeStrip(*cache, shades[s], corners[s], thickX, shades[left], shades[right]);
        }
        glRasterPos2i(origins[s].x, origins[s].y);
        glDrawPixels(cache->width, cache->height, GL_RGB, GL_UNSIGNED_BYTE, cache->pixels);
    }
}
