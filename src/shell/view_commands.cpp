// The view group: the six direction commands, the turning keys and the zoom.
#include <algorithm>
#include <cmath>

#include "panorama/geometry.h"
#include "shell/commands.h"
#include "shell/shell.h"

bool viewCommandOffered(int) { return true; }

void Shell::setView(float heading, float pitch) {
    camera_.pitch = clampPitch(pitch);
    camera_.heading = heading;
    notifyTitle();
    notifyView();
}

void Shell::turnBy(float headingStep, float pitchStep) { setView(camera_.heading + headingStep, camera_.pitch + pitchStep); }

bool Shell::viewCommand(int id) {
    const float quarter = 90 * degToRad;
    switch (id) {
    case cmdForward: setView(0, 0); return true;
    case cmdLeft: setView(quarter, 0); return true;
    case cmdRight: setView(-quarter, 0); return true;
    case cmdBack: setView(180 * degToRad, 0); return true;
    case cmdUp: setView(0, quarter); return true;
    case cmdDown: setView(0, -quarter); return true;
    case cmdHome: home(); return true;
    default: return false;
    }
}

namespace {
const float narrowestZoom = 10 * degToRad;
const float widestZoom = 120 * degToRad;
// A notch of the wheel or a key press narrows or widens the view by a tenth.
constexpr float zoomStep = 1.1f;
}  // namespace

void Shell::zoomBy(int steps, Size viewAreaSize) {
    if (!panorama_ || steps == 0) return;
    const float nominal = nominalFOV(*panorama_, viewAreaSize)[0];
    const float current = camera_.fov[0] != 0 ? camera_.fov[0] : nominal;
    if (current == 0) return;
    float next = std::clamp(current * std::pow(zoomStep, static_cast<float>(-steps)), narrowestZoom, widestZoom);
    // Zooming back to where the view started ends the zoom: the title loses its f=.
    if (nominal != 0 && std::fabs(next - nominal) < 0.02f * nominal) next = 0;
    camera_.fov = {next, 0};
    notifyTitle();
    notifyView();
}

void Shell::home() {
    camera_.fov = {};
    setView(0, 0);
}

int Shell::zoomDegrees() const {
    return camera_.fov[0] != 0 ? static_cast<int>(std::lround(camera_.fov[0] * radToDeg)) : 0;
}
