#pragma once
#include "platform/image_types.h"

// A piece of the control panel drawn with OpenGL into the main window. Coordinates are
// window pixels, origin bottom-left, y upwards; a negative position counts from the far
// edge of the window.
class Widget {
public:
    Widget() = default;
    virtual ~Widget();
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;

    virtual void draw(Size windowSize, int force) = 0;
    // 1 when point lies in the half-open rectangle at the resolved position.
    virtual int contains(Size windowSize, Point point) const;
    virtual void setExtent(Size size);
    virtual const Size* getExtent() const;
    virtual void setPosition(Point pos);
    virtual void resolvePosition(Size windowSize, Point& out) const;
    virtual void setDirty(int flag);
    virtual int isDirty() const;

protected:
    Point position;
    Size extent;
    int dirty = 1;
};

// The resolved position of pos in a window: x + width - 1 when x < 0, likewise y.
Point resolveWidgetPosition(Point pos, Size windowSize);
