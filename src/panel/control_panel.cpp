#include "panel/control_panel.h"

ControlPanel& controlPanel() {
    static ControlPanel panel;
    return panel;
}

void buildPanel(Size screenSize) {
    ControlPanel& panel = controlPanel();
    // The smallest view that still shows the indicator's ticks and a useful picture.
    panel.minTrackSize = {128, 128};
    panel.maxTrackSize = screenSize;
    panel.viewArea = std::make_unique<ImageWidget>();
    panel.indicator = std::make_unique<TickWidget>();
    panel.viewArea->setPosition({0, 0});
    panel.indicator->setPosition({0, 0});
    panel.widgets.add(panel.viewArea.get());
    panel.widgets.add(panel.indicator.get());
    panel.background = std::make_unique<RawImage>("BACKGROUND", "BITMAP24");
    if (panel.background->pixels == nullptr) panel.background.reset();
}

void layoutPanel(Size windowSize) {
    ControlPanel& panel = controlPanel();
    const Size m = panel.margins();
    panel.viewAreaSize = {windowSize.width - m.width, windowSize.height - m.height};
    if (panel.indicator) panel.indicator->setExtent(panel.viewAreaSize);
}

void drawAll(int force, Size windowSize) {
    // A forced draw follows a repaint of the background, so every cache is read afresh.
    controlPanel().widgets.drawAll(force, windowSize, force);
}

void releasePanel() {
    ControlPanel& panel = controlPanel();
    panel.widgets.removeAll();
    panel.viewArea.reset();
    panel.indicator.reset();
    panel.background.reset();
}
