#pragma once
#include <memory>

#include "image/bgr_image.h"
#include "panel/image_widget.h"
#include "panel/tick_widget.h"
#include "panel/widget_list.h"

// The control panel around the live view: for now the view area and its heading and
// pitch indicator over the tiled background; no margins, so the view fills the window.
struct ControlPanel {
    WidgetList widgets;
    std::unique_ptr<ImageWidget> viewArea;
    std::unique_ptr<TickWidget> indicator;
    std::unique_ptr<RawImage> background;
    Size viewAreaSize;
    int continuousTurn = 0;
    // Client-area limits for sizing the window; replaced by buildPanel.
    Size minTrackSize{500, 400};
    Size maxTrackSize{600, 500};

    bool built() const { return viewArea != nullptr; }
    // Horizontal and vertical space the panel takes from the client area.
    Size margins() const { return {0, 0}; }
};

// The one panel of the process.
ControlPanel& controlPanel();

// Creates the widgets and loads the background; screenSize is the largest client area.
void buildPanel(Size screenSize);
// Positions and sizes the widgets for a client size.
void layoutPanel(Size windowSize);
// Draws the panel's widgets: all when force is non-zero, else only the dirty ones.
void drawAll(int force, Size windowSize);
// Releases the widgets and the background.
void releasePanel();
