// The view group's window side: the View menu's directions and the turning keys.
#include <wx/defs.h>

#include "app/command_groups.h"
#include "app/main_window.h"
#include "panorama/geometry.h"

bool viewCommand(MainWindow& window, int id) { return window.shell().viewCommand(id); }

bool viewKey(MainWindow& window, int keyCode) {
    const float step = 10 * degToRad;
    Shell& shell = window.shell();
    switch (keyCode) {
    case WXK_HOME: shell.setView(0, 0); return true;
    case WXK_LEFT: shell.turnBy(step, 0); return true;
    case WXK_RIGHT: shell.turnBy(-step, 0); return true;
    case WXK_UP: shell.turnBy(0, step); return true;
    case WXK_DOWN: shell.turnBy(0, -step); return true;
    default: return false;
    }
}
