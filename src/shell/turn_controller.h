#pragma once
#include <cstdint>

#include "platform/image_types.h"

class Shell;
class Widget;
struct ControlPanel;

enum class PanelCursor { arrow, move, crossHair };
enum class PanelMenu { file, paint, help };

// What the control panel's mouse handling needs from the window that shows it.
class PanelWindow {
public:
    virtual ~PanelWindow() = default;
    virtual Size clientSize() const = 0;
    // The system's drag distances, horizontal and vertical.
    virtual Point dragThreshold() const = 0;
    virtual void setCursor(PanelCursor cursor) = 0;
    virtual void captureMouse() = 0;
    virtual void releaseMouse() = 0;
    // Timer 1 repeats (the turning step), timer 3 fires once (the arrow-hold delay).
    virtual void startTimer(int id, int milliseconds) = 0;
    virtual void stopTimer(int id) = 0;
    // The widget was marked dirty: redraw its rectangle.
    virtual void refreshWidget(const Widget& widget) = 0;
    // The view and its indicator were marked dirty: redraw them.
    virtual void invalidateView() = 0;
    // The whole window frame was marked dirty: redraw everything that is dirty.
    virtual void refreshWindow() = 0;
    // Shows the menu at the point (window pixels, y counted from the top), tracked with
    // the right button when rightButton; the window reports the release afterwards.
    virtual void popupMenu(PanelMenu menu, Point topDownPoint, bool rightButton) = 0;
    // Opens the program's web page, with the message when that fails.
    virtual void openProgramPage() = 0;
};

inline constexpr int turningStepTimer = 1;
inline constexpr int holdDelayTimer = 3;
inline constexpr int turningStepMs = 50;
inline constexpr int holdDelayMs = 500;

// Turns mouse input on the control panel into view changes: drags in the view turn it
// continuously, the arrow buttons step it and turn it while held, the compass and the
// tilt button jump to a main direction, the command buttons open their menus. Times are
// message times in milliseconds; positions arrive with y counted from the top.
class TurnController {
public:
    TurnController(Shell& shell, ControlPanel& panel, PanelWindow& window);
    TurnController(const TurnController&) = delete;
    TurnController& operator=(const TurnController&) = delete;

    void press(Point position, bool rightButton, std::uint32_t time);
    void move(Point position);
    void release(Point position);
    // The turning step (timer 1).
    void tick(std::uint32_t time);
    // The arrow-hold delay (timer 3).
    void holdDelayElapsed();
    // The window is going: stop the timers, release the capture, end any turning.
    void cancel();

    const Widget* pressedWidget() const { return pressedWidget_; }
    float headingSpeed() const { return headingSpeed_; }
    float pitchSpeed() const { return pitchSpeed_; }

private:
    Point toPanel(Point topDown) const;
    void setButtonState(Widget* widget, int state);
    void endDrag(Point point);

    Shell& shell_;
    ControlPanel& panel_;
    PanelWindow& window_;
    Point pressPoint_;
    float headingSpeed_ = 0, pitchSpeed_ = 0;
    std::uint32_t lastTickTime_ = 0;
    Widget* pressedWidget_ = nullptr;
    Widget* hoveredButton_ = nullptr;
    PanelCursor cursor_ = PanelCursor::arrow;
    bool captured_ = false;
    Point dragThreshold_{-1, -1};
};

// The speed one axis of a drag gives: none within the threshold t, then growing with the
// square of the distance beyond it, counted up to 200 pixels; positive offsets turn the
// angle down.
float dragSpeed(int offset, int threshold, float scale);
// The heading after a turning step, kept inside (-2 pi, 2 pi).
float stepHeading(float heading, float dt, float speed);
