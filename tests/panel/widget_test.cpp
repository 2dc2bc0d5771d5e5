// Positions, hit tests and the drawing order of the panel's widgets, without a display.
#include <gtest/gtest.h>

#include <vector>

#include "panel/bevel_widget.h"
#include "panel/tick_widget.h"
#include "panel/widget_list.h"

namespace {
// Records its draws instead of touching OpenGL.
class ProbeWidget : public Widget {
public:
    ProbeWidget(Point pos, Size size, std::vector<int>* log, int id) : log_(log), id_(id) {
        setPosition(pos);
        setExtent(size);
    }
    void draw(Size, int force) override { log_->push_back(force ? -id_ : id_); }

private:
    std::vector<int>* log_;
    int id_;
};

constexpr Size window{640, 480};
}  // namespace

TEST(Widget, NegativeCoordinatesCountFromTheFarEdge) {
    struct Case {
        Point position, resolved;
    } cases[] = {
        {{-1, -1}, {638, 478}}, {{10, 20}, {10, 20}}, {{-50, 5}, {589, 5}}, {{0, -100}, {0, 379}},
    };
    std::vector<int> log;
    for (const Case& c : cases) {
        ProbeWidget widget(c.position, {4, 4}, &log, 1);
        Point p;
        widget.resolvePosition(window, p);
        EXPECT_EQ(p, c.resolved) << c.position.x << "," << c.position.y;
    }
}

TEST(Widget, ContainsIsHalfOpenAtTheResolvedPosition) {
    std::vector<int> log;
    ProbeWidget widget({-41, 10}, {40, 30}, &log, 1);  // x resolves to 598: columns 598..637
    struct Case {
        Point point;
        int inside;
    } cases[] = {
        {{598, 10}, 1}, {{637, 39}, 1}, {{638, 10}, 0}, {{598, 40}, 0}, {{597, 20}, 0}, {{600, 9}, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(widget.contains(window, c.point), c.inside) << c.point.x << "," << c.point.y;
}

TEST(Widget, BevelNeverTakesTheMouse) {
    BevelWidget frame(6, 6, 0);
    frame.setExtent(window);
    EXPECT_EQ(frame.contains(window, {1, 1}), 0);
    EXPECT_EQ(frame.contains(window, {320, 240}), 0);
}

TEST(WidgetList, HitTestingPrefersEarlierWidgetsAndAddIsIdempotent) {
    std::vector<int> log;
    ProbeWidget below({0, 0}, {100, 100}, &log, 1), above({50, 50}, {100, 100}, &log, 2);
    WidgetList list;
    list.add(&below);
    list.add(&above);
    list.add(&below);
    EXPECT_EQ(list.widgetAt(window, {60, 60}), &below);
    EXPECT_EQ(list.widgetAt(window, {120, 120}), &above);
    EXPECT_EQ(list.widgetAt(window, {300, 300}), nullptr);
    list.remove(&below);
    EXPECT_EQ(list.widgetAt(window, {60, 60}), &above);
    list.removeAll();
    EXPECT_TRUE(list.empty());
}

TEST(WidgetList, DrawAllDrawsDirtyOnesInOrderThenCleansAll) {
    std::vector<int> log;
    ProbeWidget a({0, 0}, {1, 1}, &log, 1), b({0, 0}, {1, 1}, &log, 2), c({0, 0}, {1, 1}, &log, 3);
    WidgetList list;
    list.add(&a);
    list.add(&b);
    list.add(&c);
    list.drawAll(0, window, 0);  // all dirty after construction
    EXPECT_EQ(log, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(a.isDirty() + b.isDirty() + c.isDirty(), 0);

    log.clear();
    c.setDirty(1);
    a.setDirty(1);
    list.drawAll(0, window, 0);
    EXPECT_EQ(log, (std::vector<int>{1, 3}));

    log.clear();
    list.drawAll(1, window, 1);  // forced: every widget, told to read the window again
    EXPECT_EQ(log, (std::vector<int>{-1, -2, -3}));
    EXPECT_EQ(c.isDirty(), 0);
}

TEST(TickWidget, TicksOutsideTheRangeDrawNothing) {
    for (const auto& [x, y] : {std::pair{1.5f, 0.0f}, {0.0f, -1.01f}, {-2.0f, 3.0f}})
        EXPECT_FALSE(tickTriangles({200, 100}, x, y)) << x << "," << y;
    EXPECT_TRUE(tickTriangles({200, 100}, 1.0f, -1.0f));
}

TEST(TickWidget, TicksSitHalfATickInFromTheEnds) {
    const Size extent{200, 100};
    const auto low = tickTriangles(extent, -1.0f, -1.0f);
    const auto high = tickTriangles(extent, 1.0f, 1.0f);
    const auto centre = tickTriangles(extent, 0.0f, 0.0f);
    ASSERT_TRUE(low && high && centre);
    // Tips: the bottom tick's first vertex, the right tick's first vertex.
    EXPECT_FLOAT_EQ((*low)[0][0].x, 6.5f);
    EXPECT_FLOAT_EQ((*high)[0][0].x, 193.5f);
    EXPECT_FLOAT_EQ((*centre)[0][0].x, 100.0f);
    EXPECT_FLOAT_EQ((*low)[1][0].y, 6.5f);
    EXPECT_FLOAT_EQ((*high)[1][0].y, 93.5f);
    EXPECT_FLOAT_EQ((*high)[1][0].x, 200.0f);
    // The white tick lies inside the black one, sharing its tip.
    EXPECT_FLOAT_EQ((*centre)[2][1].y, 11.0f);
    EXPECT_FLOAT_EQ((*centre)[0][1].y, 13.0f);
    EXPECT_FLOAT_EQ((*centre)[3][1].x, 189.0f);
}
