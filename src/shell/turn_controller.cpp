#include "shell/turn_controller.h"

#include <algorithm>
#include <cmath>

#include "panel/control_panel.h"
#include "panorama/geometry.h"
#include "shell/shell.h"

namespace {
// The longest time one turning step accounts for, in seconds.
constexpr float longestStep = 0.1f;
// The largest distance beyond the drag threshold that still speeds the turn up.
constexpr int fastestDistance = 200;
}  // namespace

float dragSpeed(int offset, int threshold, float scale) {
    if (std::abs(offset) <= threshold) return 0;
    if (offset > 0) {
        const float d = static_cast<float>(std::min(offset - threshold, fastestDistance)) * 0.005f;
        return -(d * d) * scale;
    }
    const float d = static_cast<float>(std::max(offset + threshold, -fastestDistance)) * 0.005f;
    return d * d * scale;
}

float stepHeading(float heading, float dt, float speed) {
    return static_cast<float>(std::fmod(heading + dt * speed * 2 * singlePi, 6.2831854820251465));
}

TurnController::TurnController(Shell& shell, ControlPanel& panel, PanelWindow& window)
    : shell_(shell), panel_(panel), window_(window) {}

Point TurnController::toPanel(Point topDown) const {
    return {topDown.x, window_.clientSize().height - topDown.y - 1};
}

void TurnController::setButtonState(Widget* widget, int state) {
    PushButton* button = panel_.buttonOf(widget);
    if (button == nullptr || button->state == state) return;
    button->state = state;
    button->setDirty(1);
    window_.refreshWidget(*button);
}

void TurnController::press(Point position, bool rightButton, std::uint32_t time) {
    if (!panel_.built()) return;
    // A second button pressed during a drag or a hold changes nothing.
    if (pressedWidget_ != nullptr) return;
    const Point point = toPanel(position);
    const Size size = window_.clientSize();
    Widget* widget = panel_.widgets.widgetAt(size, point);
    pressedWidget_ = widget;
    pressPoint_ = point;
    if (widget == nullptr) return;
    const float heading = shell_.windowHeading(), pitch = shell_.windowPitch();
    const float step = 10 * degToRad;
    const float quarter = 90 * degToRad;

    if (widget == panel_.viewArea.get()) {
        cursor_ = PanelCursor::crossHair;
        window_.setCursor(cursor_);
        window_.captureMouse();
        captured_ = true;
        window_.startTimer(turningStepTimer, turningStepMs);
        lastTickTime_ = time;
        headingSpeed_ = pitchSpeed_ = 0;
        panel_.continuousTurn = 1;
    } else if (widget == panel_.fileButton.get()) {
        window_.popupMenu(PanelMenu::file, position, rightButton);
    } else if (widget == panel_.paintButton.get()) {
        window_.popupMenu(PanelMenu::paint, position, rightButton);
    } else if (widget == panel_.helpButton.get()) {
        window_.popupMenu(PanelMenu::help, position, rightButton);
    } else if (panel_.isArrowButton(widget)) {
        float dh = 0, dp = 0;
        if (widget == panel_.turnLeftButton.get()) dh = step, headingSpeed_ = 0.3f, pitchSpeed_ = 0;
        if (widget == panel_.turnRightButton.get()) dh = -step, headingSpeed_ = -0.3f, pitchSpeed_ = 0;
        if (widget == panel_.tiltUpButton.get()) dp = step, headingSpeed_ = 0, pitchSpeed_ = 0.2f;
        if (widget == panel_.tiltDownButton.get()) dp = -step, headingSpeed_ = 0, pitchSpeed_ = -0.2f;
        shell_.setView(heading + dh, pitch + dp);
        window_.startTimer(holdDelayTimer, holdDelayMs);
    } else if (widget == panel_.compassButton.get()) {
        static constexpr float headings[] = {-90, 180, 90, 0};  // right, bottom, left, top
        shell_.setView(headings[static_cast<int>(quarterOf(*widget, size, point))] * degToRad, pitch);
    } else if (widget == panel_.tiltButton.get()) {
        const Quarter q = quarterOf(*widget, size, point);
        shell_.setView(heading, q == Quarter::bottom ? -quarter : q == Quarter::top ? quarter : 0.0f);
    }
    setButtonState(widget, buttonPressed);
}

void TurnController::move(Point position) {
    if (!panel_.built()) return;
    const Point point = toPanel(position);
    const Size size = window_.clientSize();
    if (pressedWidget_ != nullptr && pressedWidget_ == panel_.viewArea.get()) {
        if (dragThreshold_.x < 0) {
            const Point t = window_.dragThreshold();
            // A platform that knows no drag distance gets a small one.
            dragThreshold_ = {t.x >= 0 ? t.x : 4, t.y >= 0 ? t.y : 4};
        }
        headingSpeed_ = dragSpeed(point.x - pressPoint_.x, dragThreshold_.x, 1.0f);
        pitchSpeed_ = dragSpeed(-(point.y - pressPoint_.y), dragThreshold_.y, 0.5f);
        return;
    }
    Widget* under = panel_.widgets.widgetAt(size, point);
    if (pressedWidget_ != nullptr) {
        setButtonState(pressedWidget_, under == pressedWidget_ ? buttonPressed : buttonNormal);
        return;
    }
    PushButton* button = panel_.buttonOf(under);
    if (button != hoveredButton_) {
        setButtonState(hoveredButton_, buttonNormal);
        setButtonState(button, buttonHovered);
        hoveredButton_ = button;
    }
    const PanelCursor wanted = under != nullptr && under == panel_.viewArea.get() ? PanelCursor::move : PanelCursor::arrow;
    if (wanted != cursor_) {
        cursor_ = wanted;
        window_.setCursor(cursor_);
    }
}

void TurnController::endDrag(Point point) {
    if (captured_) window_.releaseMouse();
    captured_ = false;
    Widget* under = panel_.widgets.widgetAt(window_.clientSize(), point);
    cursor_ = under != nullptr && under == panel_.viewArea.get() ? PanelCursor::move : PanelCursor::arrow;
    window_.setCursor(cursor_);
    window_.stopTimer(turningStepTimer);
    headingSpeed_ = pitchSpeed_ = 0;
    panel_.continuousTurn = 0;
    window_.invalidateView();
}

void TurnController::release(Point position) {
    if (!panel_.built()) return;
    const Point point = toPanel(position);
    Widget* pressed = pressedWidget_;
    pressedWidget_ = nullptr;
    if (pressed == nullptr) return;
    if (pressed == panel_.viewArea.get()) {
        endDrag(point);
        return;
    }
    Widget* under = panel_.widgets.widgetAt(window_.clientSize(), point);
    if (pressed == panel_.logoButton.get() && under == pressed) window_.openProgramPage();
    if (panel_.isArrowButton(pressed)) {
        if (panel_.continuousTurn == 1) {
            panel_.continuousTurn = 0;
            window_.stopTimer(turningStepTimer);
            window_.invalidateView();
        } else {
            window_.stopTimer(holdDelayTimer);
        }
        headingSpeed_ = pitchSpeed_ = 0;
    }
    setButtonState(pressed, buttonNormal);
    if (PushButton* button = panel_.buttonOf(under)) {
        if (hoveredButton_ != nullptr && hoveredButton_ != button) setButtonState(hoveredButton_, buttonNormal);
        hoveredButton_ = button;
        setButtonState(button, buttonHovered);
    }
}

void TurnController::holdDelayElapsed() {
    window_.stopTimer(holdDelayTimer);
    // A delay that outlived its press (the release came first) starts nothing.
    if (!panel_.built() || !panel_.isArrowButton(pressedWidget_)) return;
    panel_.continuousTurn = 1;
    panel_.windowFrame->setDirty(1);
    window_.refreshWindow();
    window_.startTimer(turningStepTimer, turningStepMs);
}

void TurnController::tick(std::uint32_t time) {
    if (!panel_.built() || panel_.continuousTurn != 1) return;
    if (headingSpeed_ == 0 && pitchSpeed_ == 0) return;
    // Message times wrap around; the difference does not care.
    const float dt = std::min(static_cast<float>(time - lastTickTime_) * 0.001f, longestStep);
    const float heading = stepHeading(shell_.windowHeading(), dt, headingSpeed_);
    float pitch = shell_.windowPitch() + dt * pitchSpeed_ * 2 * singlePi;
    if (pitchSpeed_ < 0) pitch = std::max(pitch, -90 * degToRad);
    if (pitchSpeed_ > 0) pitch = std::min(pitch, 90 * degToRad);
    shell_.setView(heading, pitch);
    lastTickTime_ = time;
}

void TurnController::cancel() {
    window_.stopTimer(turningStepTimer);
    window_.stopTimer(holdDelayTimer);
    if (captured_) window_.releaseMouse();
    captured_ = false;
    pressedWidget_ = nullptr;
    hoveredButton_ = nullptr;
    headingSpeed_ = pitchSpeed_ = 0;
    panel_.continuousTurn = 0;
}
