#pragma once
#include <memory>

#include "platform/image_types.h"

class DocumentQuestions;
class PaintedSixImage;

// How the round trip leaves the main window.
enum class WindowState {
    shown,      // shown normally, raised and focused
    hidden,     // a tracked paint program or a plug-in has the view
    minimised,  // an untracked paint program has the view file
};

// What the paint round trip asks of the window around it: dialogs whose answers tests
// script, and the window's state.
class PaintHost {
public:
    virtual ~PaintHost() = default;
    // The size of the view area (the client area less the control panel).
    virtual Size viewAreaSize() = 0;
    // The Choose size dialog; false when cancelled. zoom is the view's horizontal field of
    // view when the user zoomed (radians), else 0.
    virtual bool chooseViewSize(Size faceSize, Size suggested, float zoom, Size& chosen) = 0;
    // The New Panorama dialog; null when cancelled.
    virtual std::unique_ptr<PaintedSixImage> newPanorama() = 0;
    // The save prompt and the template's messages.
    virtual DocumentQuestions& questions() = 0;
    // Sizes the window so that its view area has viewSize.
    virtual void sizeForView(Size viewSize) = 0;
    virtual void setWindowState(WindowState state) = 0;
    // The wait cursor around rendering.
    virtual void beginWait() {}
    virtual void endWait() {}
    // After "PaintApp" was reported missing: lets the user choose a paint program.
    virtual void choosePaintProgram() {}
};
