#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/image_types.h"
#include "view/display_images.h"
#include "shell/window_sizing.h"

class SixImage;
struct Camera;

// The live display: the window's drawing state and the pictures the view is rendered
// into. Every operation expects the window's OpenGL context to be current.
struct DisplayState {
    Size clientSize;
    std::unique_ptr<DisplayImages> images;
    int drawingSuspended = 0;
    bool surfaceStale = true;  // the projection still has to follow a size change
    bool contextReady = false;
    bool identified = false;   // the library was named (under run-time debugging)
    // The view reached the screen without OpenGL since the back buffer last had it.
    bool backBufferViewStale = false;
    std::string libraryText;
};

DisplayState& displayState();

// State set once in a fresh context: no dithering, white clear colour.
void prepareContext();
// Viewport and projections for the client size, so that integer coordinates address
// pixel centres.
void setUpSurface(Size clientSize);
// Tiles the background picture over the viewport from its lower-left corner.
void clearWindow();
// Which view picture a draw rendered afresh.
enum class ViewRendered { none, full, half };

// Renders the view into the view area and draws the panel (everything when full is 1,
// else the dirty widgets). Debugging texts to show are handed to report.
// The camera is the window's (Shell::camera).
ViewRendered drawScene(int full, const SixImage& panorama, const Camera& camera,
               const std::function<void(const std::string& text, const std::string& caption)>& report);

// Whether the paint due draws the view and nothing but the view and its ticks.
bool onlyViewDue();
// Renders the view and its ticks into rows of the view area's size, for the window to
// show without OpenGL; the view in OpenGL's back buffer is stale from then until the next
// OpenGL paint, which renders it again. Needs no OpenGL context.
ViewRendered renderViewToFrame(const SixImage& panorama, const Camera& camera, const PixelRows& rows);

// The limits the panel sets for the client area.
WindowLimits windowLimits();
// The GLU descriptions of the pending OpenGL errors, each followed by a line break.
std::string pendingGlErrors(std::size_t limit);
