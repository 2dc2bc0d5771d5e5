#include "panel/image_widget.h"

#include <GL/gl.h>

#include "image/bgr_image.h"

ImageWidget::~ImageWidget() = default;

void ImageWidget::setImage(BGRImage* picture) {
    image = picture;
    setExtent(picture != nullptr ? picture->size() : Size{});
}

void ImageWidget::draw(Size windowSize, int) {
    if (image == nullptr || image->pixels == nullptr) return;
    Point p;
    resolvePosition(windowSize, p);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glRasterPos2i(p.x, p.y);
    glDrawPixels(image->width, image->height, GL_BGR_EXT, GL_UNSIGNED_BYTE, image->pixels);
}
