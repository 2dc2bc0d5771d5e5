#pragma once
#include <functional>
#include <memory>
#include <string>

#include "panel/control_panel.h"
#include "platform/image_types.h"
#include "view/display_images.h"
#include "shell/window_sizing.h"

class SixImage;
struct Camera;

// Which view picture a draw rendered afresh.
enum class ViewRendered { none, full, half };

// The live display (X11 takes the name Display): the control panel around the view, the
// window's drawing state and the pictures the view is rendered into. The operations that
// draw expect the window's OpenGL context to be current.
class LiveDisplay {
public:
    LiveDisplay() = default;
    LiveDisplay(const LiveDisplay&) = delete;
    LiveDisplay& operator=(const LiveDisplay&) = delete;

    ControlPanel& panel() { return panel_; }
    const ControlPanel& panel() const { return panel_; }

    // State set once in a fresh context: no dithering, white clear colour.
    void prepareContext();
    bool contextReady() const { return contextReady_; }
    // Viewport and projections for the client size, so that integer coordinates address
    // pixel centres.
    void setUpSurface(Size clientSize);
    // The client size changed: the panel follows, the surface is set up at the next draw.
    void resize(Size clientSize);
    Size clientSize() const { return clientSize_; }
    bool surfaceStale() const { return surfaceStale_; }
    // Drawing waits (suspended > 0) while the window is being set up or resized.
    void suspendDrawing(int suspended) { drawingSuspended_ = suspended; }
    bool drawingSuspended() const { return drawingSuspended_ != 0; }
    // Tiles the background picture over the viewport from its lower-left corner.
    void clearWindow();

    // The indicator's ticks for the camera's heading and pitch (the window's camera).
    void showCamera(const Camera& camera);
    // Renders the view into the view area and draws the panel (everything when full is 1,
    // else the dirty widgets). Debugging texts to show are handed to report.
    ViewRendered drawScene(int full, const SixImage& panorama, const Camera& camera,
                           const std::function<void(const std::string& text, const std::string& caption)>& report);
    // Whether the paint due draws the view and nothing but the view and its ticks.
    bool onlyViewDue() const;
    // Renders the view and its ticks into rows of the view area's size, for the window to
    // show without OpenGL; the view in OpenGL's back buffer is stale from then until the next
    // OpenGL paint, which renders it again. Needs no OpenGL context.
    ViewRendered renderViewToFrame(const SixImage& panorama, const Camera& camera, const PixelRows& rows);
    // The pictures go (before the context does).
    void releaseImages() { images_.reset(); }

    // The limits the panel sets for the client area.
    WindowLimits windowLimits() const;

private:
    ViewRendered renderInto(const SixImage& panorama, const Camera& camera, const PixelRows& rows);

    ControlPanel panel_;
    Size clientSize_;
    std::unique_ptr<DisplayImages> images_;
    int drawingSuspended_ = 0;
    bool surfaceStale_ = true;  // the projection still has to follow a size change
    bool contextReady_ = false;
    bool identified_ = false;   // the library was named (under run-time debugging)
    // The view reached the screen without OpenGL since the back buffer last had it.
    bool backBufferViewStale_ = false;
    std::string libraryText_;
};

// The window's OpenGL state and projection for a client size, in the current context
// (LiveDisplay::prepareContext and setUpSurface, without the display's own bookkeeping).
void prepareWindowContext();
void setUpWindowSurface(Size clientSize);

// The GLU descriptions of the pending OpenGL errors, each followed by a line break.
std::string pendingGlErrors(std::size_t limit);
