// The view group: the six direction commands and the turning keys.
#include "shell/commands.h"
#include "shell/shell.h"
#include "panorama/geometry.h"

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
    default: return false;
    }
}
