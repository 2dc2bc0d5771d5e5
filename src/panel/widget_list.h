#pragma once
#include <list>

#include "panel/widget.h"

// The panel's widgets in drawing order. Later widgets are drawn over earlier ones; hit
// testing prefers earlier ones. The list does not own the widgets.
class WidgetList {
public:
    // Appends the widget unless it is in the list already.
    void add(Widget* widget);
    void remove(Widget* widget);
    void removeAll();
    // The first widget containing the point, or null.
    Widget* widgetAt(Size windowSize, Point point) const;
    // Draws the dirty widgets, or all of them when force is non-zero, passing widgetForce
    // on; then every widget is clean.
    void drawAll(int force, Size windowSize, int widgetForce);

    bool empty() const { return widgets_.empty(); }
    // Whether a widget other than first and second waits to be drawn.
    bool dirtyBesides(const Widget* first, const Widget* second) const;

private:
    std::list<Widget*> widgets_;
};
