#include "panel/widget.h"

Point resolveWidgetPosition(Point pos, Size windowSize) {
    return {pos.x < 0 ? pos.x + windowSize.width - 1 : pos.x,
            pos.y < 0 ? pos.y + windowSize.height - 1 : pos.y};
}

Widget::~Widget() = default;

int Widget::contains(Size windowSize, Point point) const {
    Point p;
    resolvePosition(windowSize, p);
    return point.x >= p.x && point.x < p.x + extent.width && point.y >= p.y &&
                   point.y < p.y + extent.height
               ? 1
               : 0;
}

void Widget::setExtent(Size size) { extent = size; }
const Size* Widget::getExtent() const { return &extent; }
void Widget::setPosition(Point pos) { position = pos; }
void Widget::resolvePosition(Size windowSize, Point& out) const {
    out = resolveWidgetPosition(position, windowSize);
}
void Widget::setDirty(int flag) { dirty = flag; }
int Widget::isDirty() const { return dirty; }
