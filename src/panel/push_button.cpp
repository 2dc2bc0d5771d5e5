#include "panel/push_button.h"

#include <GL/gl.h>

PushButton::PushButton(const char* resourceType, const char* resourceName) : face(resourceName, resourceType) {
    setExtent({face.width, face.height});
}

PushButton::~PushButton() = default;

void PushButton::compose(int force, Point p) {
    const int w = extent.width, h = extent.height;
    if (!under) {
        // Four pixels of R, G, B are 12 bytes, so these rows need no padding.
        under = std::make_unique<RawImage>(Size{(w + 3) / 4 * 4, h});
        force = 1;
    }
    if (force != 0) {
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(p.x, p.y, under->width, under->height, GL_RGB, GL_UNSIGNED_BYTE, under->pixels);
    }
    if (!shown) shown = std::make_unique<RawImage>(Size{w, h});
    composeButton(face, under->pixels, under->stride, state, invertHover, *shown);
    shownState = state;
}

void PushButton::draw(Size windowSize, int force) {
    if (face.pixels == nullptr || extent.width <= 0 || extent.height <= 0) return;
    Point p;
    resolvePosition(windowSize, p);
    if (force == 1 || !shown || shownState != state) compose(force, p);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glRasterPos2i(p.x, p.y);
    glDrawPixels(shown->width, shown->height, GL_BGR_EXT, GL_UNSIGNED_BYTE, shown->pixels);
}
