#include "view/painted_six_image.h"

#include "view/paint_back.h"

PaintedSixImage::PaintedSixImage(Size sideSize, Size capSize) : SixImage(sideSize, capSize) {}

PaintedSixImage::PaintedSixImage() = default;

PaintedSixImage::~PaintedSixImage() = default;

void PaintedSixImage::applyPaint() {
    if (!view.paintPending()) return;
    paintBack(*this, view.camera(), view);
    view.clearPaintPending();
}

int PaintedSixImage::write() {
    applyPaint();
    return SixImage::write();
}

int PaintedSixImage::save(DocumentQuestions& questions) {
    applyPaint();
    return SixImage::save(questions);
}
