#include "view/painted_six_image.h"

#include "view/paint_back.h"

PaintedSixImage::PaintedSixImage(Size sideSize, Size capSize) : SixImage(sideSize, capSize) {}

PaintedSixImage::PaintedSixImage() = default;

PaintedSixImage::~PaintedSixImage() = default;

bool PaintedSixImage::applyPaint(std::vector<FacePatch>* undo) {
    if (!view.paintPending()) return false;
    paintBack(*this, view.camera(), view, undo);
    view.clearPaintPending();
    return true;
}

int PaintedSixImage::write() {
    applyPaint();
    return SixImage::write();
}

int PaintedSixImage::save(DocumentQuestions& questions) {
    applyPaint();
    return SixImage::save(questions);
}
