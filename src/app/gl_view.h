#pragma once
#include <wx/glcanvas.h>
#include <wx/timer.h>

#include <functional>
#include <memory>

#include "shell/display.h"
#include "shell/turn_controller.h"

class BGRImage;
class ScreenFrame;
class Shell;

// The main window's client area: one OpenGL surface showing the live view and the panel.
class GLView : public wxGLCanvas, private PanelWindow {
public:
    // The canvas with the requested pixel format, showing the shell's panorama and view.
    GLView(wxWindow* parent, Shell& shell, const wxGLAttributes& attributes);
    ~GLView() override;

    // The window's attributes: RGBA, 24 colour bits, double-buffered, nothing else.
    static wxGLAttributes requestedAttributes();

    // Creates the rendering context and builds the panel; false with the message shown
    // when the display offers no suitable format or no context.
    bool initScene();
    // Redraws just the view and its indicator.
    void invalidateView();
    // Releases the panel and the display pictures while the context still exists.
    void tearDown();
    // The client-area limits the panel sets.
    WindowLimits windowLimits() const { return display_.windowLimits(); }
    // The view area inside the panel, pixels.
    Size viewAreaSize() const { return display_.panel().viewAreaSize; }

private:
    // PanelWindow: what the panel's mouse handling asks of the window.
    Size clientSize() const override;
    Point dragThreshold() const override;
    void setCursor(PanelCursor cursor) override;
    void captureMouse() override;
    void releaseMouse() override;
    void startTimer(int id, int milliseconds) override;
    void stopTimer(int id) override;
    void refreshWidget(const Widget& widget) override;
    void refreshWindow() override;
    void popupMenu(PanelMenu menu, Point topDownPoint, bool rightButton) override;
    void openProgramPage() override;

    void onMouse(wxMouseEvent& event);
    void onWheel(wxMouseEvent& event);
    void onCaptureLost(wxMouseCaptureLostEvent& event);
    void onTurnTimer(wxTimerEvent& event);
    void onHoldTimer(wxTimerEvent& event);
    void showPopup(PanelMenu menu, Point topDownPoint);
    void onPaint(wxPaintEvent& event);
    void onSize(wxSizeEvent& event);
    void onRedrawTimer(wxTimerEvent& event);
    // Redraws the dirty widgets within area (window coordinates, rows from the top).
    void requestDirtyRedraw(const wxRect& area);
    wxRect windowRect(const Widget& widget) const;
    bool makeCurrent();
    void releaseCurrent();
    // Shows a paint that changes nothing but the view through the shared frame; false
    // when the paint has to go through OpenGL.
    bool presentViewDirectly();
    // The shared frame of the view area's size, or null where the display offers none.
    ScreenFrame* viewFrame();
    // Under DOMECAST_TEST_SNAPSHOT, the view area as read by readView.
    void writeSnapshot(bool half, const std::function<bool(BGRImage&)>& readView);

    Shell& shell_;
    int wheelRotation_ = 0;  // wheel rotation short of a whole notch
    LiveDisplay display_;
    std::unique_ptr<wxGLContext> context_;
    wxTimer redrawTimer_;
    wxTimer turnTimer_;
    wxTimer holdTimer_;
    TurnController controller_;
    wxPoint lastMouse_;
    // The next paint may draw only the dirty widgets: nothing else asked for a paint.
    bool dirtyOnly_ = false;
    // A size change (or the first paint) needs the whole window drawn, background first.
    bool wholeWindowDue_ = true;
    std::unique_ptr<ScreenFrame> frame_;
    // The display offered no shared frame: every paint goes through OpenGL.
    bool frameRefused_ = false;
};
