#include "panel/control_panel.h"

PushButton* ControlPanel::buttonOf(const Widget* widget) const {
    if (widget == nullptr) return nullptr;
    for (const auto* button : {&fileButton, &paintButton, &helpButton, &turnLeftButton, &turnRightButton,
                               &compassButton, &tiltUpButton, &tiltButton, &tiltDownButton, &logoButton})
        if (button->get() == widget) return button->get();
    return nullptr;
}

bool ControlPanel::isArrowButton(const Widget* widget) const {
    return widget != nullptr && (widget == turnLeftButton.get() || widget == turnRightButton.get() ||
                                 widget == tiltUpButton.get() || widget == tiltDownButton.get());
}

namespace {
std::unique_ptr<PushButton> button(ControlPanel& panel, const char* name) {
    auto made = std::make_unique<PushButton>("TARGA32", name);
    panel.widgets.add(made.get());
    return made;
}

int widthOf(const Widget& widget) { return widget.getExtent()->width; }
int heightOf(const Widget& widget) { return widget.getExtent()->height; }
}  // namespace

void ControlPanel::build(Size screenSize) {
    release();
    ControlPanel& panel = *this;
    panel.maxTrackSize = screenSize;
    // The frames and the rows around the view; each picture adds its own size below.
    Size minimum{panel.leftMargin, panel.topMargin + panel.rowGap + 6 + 6 + 12};

    panel.windowFrame = std::make_unique<BevelWidget>(6, 6, 0);
    panel.widgets.add(panel.windowFrame.get());

    panel.fileButton = button(panel, "BUTTON_FILE");
    panel.commandRowHeight = heightOf(*panel.fileButton);
    minimum.width += widthOf(*panel.fileButton);
    minimum.height += heightOf(*panel.fileButton);
    const int commandY = -(panel.topMargin + panel.commandRowHeight);
    panel.fileButton->setPosition({panel.leftMargin, commandY});

    panel.paintButton = button(panel, "BUTTON_PAINT");
    minimum.width += widthOf(*panel.paintButton);
    panel.paintButton->setPosition({panel.leftMargin + widthOf(*panel.fileButton), commandY});

    panel.helpButton = button(panel, "BUTTON_HELP");
    minimum.width += widthOf(*panel.helpButton);
    panel.helpButton->setPosition(
        {panel.leftMargin + widthOf(*panel.fileButton) + widthOf(*panel.paintButton), commandY});

    panel.turnLeftButton = button(panel, "BUTTON_ARROWLEFT");
    panel.turnRowHeight = heightOf(*panel.turnLeftButton) + 14;
    minimum.height += heightOf(*panel.turnLeftButton);
    panel.turnRightButton = button(panel, "BUTTON_ARROWRIGHT");
    panel.compassButton = button(panel, "BUTTON_ARROWFLBR");

    panel.tiltUpButton = button(panel, "BUTTON_ARROWUP");
    panel.tiltColumnWidth = widthOf(*panel.tiltUpButton) + 14;
    panel.tiltButton = button(panel, "BUTTON_ARROWUHD");
    panel.tiltDownButton = button(panel, "BUTTON_ARROWDOWN");

    panel.logoButton = button(panel, "BUTTON_LOGO");
    panel.logoButton->invertHover = 1;
    minimum.width += widthOf(*panel.logoButton) + panel.tiltColumnWidth;
    panel.logoButton->setPosition({-(widthOf(*panel.logoButton) + panel.tiltColumnWidth), commandY});

    panel.viewFrame = std::make_unique<BevelWidget>(6, 6, 1);
    panel.widgets.add(panel.viewFrame.get());
    panel.viewFrame->setPosition({panel.leftMargin - 6, panel.turnRowHeight - 6});
    panel.viewArea = std::make_unique<ImageWidget>();
    panel.widgets.add(panel.viewArea.get());
    panel.viewArea->setPosition({panel.leftMargin, panel.turnRowHeight});
    panel.indicator = std::make_unique<TickWidget>();
    panel.widgets.add(panel.indicator.get());
    panel.indicator->setPosition({panel.leftMargin, panel.turnRowHeight});

    panel.minTrackSize = minimum;
    panel.background = std::make_unique<RawImage>("BACKGROUND", "BITMAP24");
    if (panel.background->pixels == nullptr) panel.background.reset();
}

void ControlPanel::layout(Size windowSize) {
    ControlPanel& panel = *this;
    if (!panel.built()) return;
    const int W = windowSize.width, H = windowSize.height;
    panel.windowFrame->setExtent(windowSize);
    const Size m = panel.margins();
    panel.viewAreaSize = {W - m.width, H - m.height};
    // The display replaces the view picture with one of this size before the next frame;
    // until then the mouse already meets the new area.
    panel.viewArea->setExtent(panel.viewAreaSize);
    panel.indicator->setExtent(panel.viewAreaSize);
    panel.viewFrame->setExtent({panel.viewAreaSize.width + 12, panel.viewAreaSize.height + 12});

    const PushButton& left = *panel.turnLeftButton;
    const PushButton& compass = *panel.compassButton;
    const PushButton& right = *panel.turnRightButton;
    const int x0 = panel.viewAreaSize.width / 2 + panel.leftMargin - widthOf(compass) / 2 - widthOf(left);
    const int top = heightOf(left) + 7;  // the three tops are level
    panel.turnLeftButton->setPosition({x0, 7});
    panel.compassButton->setPosition({x0 + widthOf(left), top - heightOf(compass)});
    panel.turnRightButton->setPosition({x0 + widthOf(left) + widthOf(compass), top - heightOf(right)});

    const int x1 = W - widthOf(*panel.tiltUpButton) - 7;
    const int downY =
        panel.viewAreaSize.height / 2 + panel.turnRowHeight - heightOf(*panel.tiltButton) / 2 - heightOf(*panel.tiltDownButton);
    panel.tiltDownButton->setPosition({x1, downY});
    panel.tiltButton->setPosition({x1, downY + heightOf(*panel.tiltDownButton)});
    panel.tiltUpButton->setPosition({x1, downY + heightOf(*panel.tiltDownButton) + heightOf(*panel.tiltButton)});
}

void ControlPanel::draw(int force, Size windowSize) {
    // A forced draw follows a repaint of the background, so every cache is read afresh.
    widgets.drawAll(force, windowSize, force);
}

void ControlPanel::release() {
    ControlPanel& panel = *this;
    panel.widgets.removeAll();
    for (auto* button : {&panel.fileButton, &panel.paintButton, &panel.helpButton, &panel.turnLeftButton,
                         &panel.turnRightButton, &panel.compassButton, &panel.tiltUpButton, &panel.tiltButton,
                         &panel.tiltDownButton, &panel.logoButton})
        button->reset();
    panel.windowFrame.reset();
    panel.viewFrame.reset();
    panel.viewArea.reset();
    panel.indicator.reset();
    panel.background.reset();
    panel.continuousTurn = 0;
}

Quarter quarterOf(const Widget& widget, Size windowSize, Point point) {
    Point p;
    widget.resolvePosition(windowSize, p);
    const Size* extent = widget.getExtent();
    const int dx = point.x - (p.x + extent->width / 2);
    const int dy = point.y - (p.y + extent->height / 2);
    if (dx > dy) return dx > -dy ? Quarter::right : Quarter::bottom;
    return dx <= -dy ? Quarter::left : Quarter::top;
}
