#include "panel/widget_list.h"

#include <algorithm>

void WidgetList::add(Widget* widget) {
    if (std::find(widgets_.begin(), widgets_.end(), widget) == widgets_.end()) widgets_.push_back(widget);
}

void WidgetList::remove(Widget* widget) {
    const auto node = std::find(widgets_.begin(), widgets_.end(), widget);
    if (node != widgets_.end()) widgets_.erase(node);
}

void WidgetList::removeAll() { widgets_.clear(); }

Widget* WidgetList::widgetAt(Size windowSize, Point point) const {
    for (Widget* widget : widgets_)
        if (widget->contains(windowSize, point) == 1) return widget;
    return nullptr;
}

void WidgetList::drawAll(int force, Size windowSize, int widgetForce) {
    for (Widget* widget : widgets_)
        if (force != 0 || widget->isDirty() == 1) widget->draw(windowSize, widgetForce);
    for (Widget* widget : widgets_) widget->setDirty(0);
}

bool WidgetList::dirtyBesides(const Widget* first, const Widget* second) const {
    for (const Widget* widget : widgets_)
        if (widget != first && widget != second && widget->isDirty() == 1) return true;
    return false;
}
