#pragma once
#include <memory>

#include "image/bgr_image.h"
#include "panel/bevel_widget.h"
#include "panel/image_widget.h"
#include "panel/push_button.h"
#include "panel/tick_widget.h"
#include "panel/widget_list.h"

// The control panel around the live view: the command row and the logo along the top,
// the turn row under the view, the tilt column to its right, a raised frame around the
// window, a sunken one around the view, and the heading and pitch indicator.
struct ControlPanel {
    int leftMargin = 47;  // 6 + 6 + 35: x of the view area and of the File button
    int topMargin = 11;   // 6 + 5
    int rowGap = 11;      // 6 + 5: between the command row and the view frame
    int commandRowHeight = 0;
    int turnRowHeight = 0;
    int tiltColumnWidth = 0;

    WidgetList widgets;
    std::unique_ptr<BevelWidget> windowFrame;
    std::unique_ptr<PushButton> fileButton, paintButton, helpButton;
    std::unique_ptr<PushButton> turnLeftButton, turnRightButton, compassButton;
    std::unique_ptr<PushButton> tiltUpButton, tiltButton, tiltDownButton;
    std::unique_ptr<PushButton> logoButton;
    std::unique_ptr<BevelWidget> viewFrame;
    std::unique_ptr<ImageWidget> viewArea;
    std::unique_ptr<TickWidget> indicator;
    std::unique_ptr<RawImage> background;
    Size viewAreaSize;
    int continuousTurn = 0;
    // Client-area limits for sizing the window; replaced by build.
    Size minTrackSize{500, 400};
    Size maxTrackSize{600, 500};

    bool built() const { return viewArea != nullptr; }
    // Horizontal and vertical space the panel takes from the client area.
    Size margins() const {
        return {leftMargin + tiltColumnWidth, topMargin + commandRowHeight + rowGap + turnRowHeight};
    }
    // The button at a widget, or null when it is none of the panel's buttons.
    PushButton* buttonOf(const Widget* widget) const;
    bool isArrowButton(const Widget* widget) const;

    ControlPanel() = default;
    ~ControlPanel() { release(); }
    // The widget list holds the widgets by address.
    ControlPanel(const ControlPanel&) = delete;
    ControlPanel& operator=(const ControlPanel&) = delete;

    // Creates the widgets and loads the background; screenSize is the largest client area.
    void build(Size screenSize);
    // Positions and sizes the widgets for a client size.
    void layout(Size windowSize);
    // Draws the panel's widgets: all when force is non-zero, else only the dirty ones.
    void draw(int force, Size windowSize);
    // Releases the widgets and the background.
    void release();
};

// The quarter of a widget a point lies in, split by its diagonals through the centre.
enum class Quarter { right, bottom, left, top };
Quarter quarterOf(const Widget& widget, Size windowSize, Point point);
