#include "view/painted_six_image.h"

PaintedSixImage::PaintedSixImage(Size sideSize, Size capSize) : SixImage(sideSize, capSize) {}

PaintedSixImage::PaintedSixImage() = default;

PaintedSixImage::~PaintedSixImage() { viewPixels.reset(); }

int PaintedSixImage::write() {
    applyPaint();
    return SixImage::write();
}

int PaintedSixImage::save(DocumentQuestions& questions) {
    applyPaint();
    return SixImage::save(questions);
}
