// The view group's window side: the View menu's directions and the turning keys.
#include <wx/defs.h>

#include "app/command_groups.h"
#include "app/gl_view.h"
#include "app/main_window.h"
#include "shell/commands.h"
#include "panorama/geometry.h"

bool viewCommand(MainWindow& window, int id) {
    Shell& shell = window.shell();
    switch (id) {
    case cmdZoomIn:
    case cmdZoomOut:
        if (window.view() != nullptr) shell.zoomBy(id == cmdZoomIn ? 1 : -1, window.view()->viewAreaSize());
        return true;
    default: return shell.viewCommand(id);
    }
}

bool viewKey(MainWindow& window, int keyCode, int modifiers) {
    const float step = 10 * degToRad;
    Shell& shell = window.shell();
    if (modifiers == wxMOD_CONTROL || modifiers == (wxMOD_CONTROL | wxMOD_SHIFT)) {
        // Plus is Shift+= on most layouts; Ctrl+= counts as Ctrl++ too, as in image editors.
        switch (keyCode) {
        case '+':
        case '=':
        case WXK_NUMPAD_ADD: viewCommand(window, cmdZoomIn); return true;
        case '-':
        case WXK_NUMPAD_SUBTRACT: viewCommand(window, cmdZoomOut); return true;
        default: return false;
        }
    }
    switch (keyCode) {
    case WXK_HOME: shell.home(); return true;
    case WXK_LEFT: shell.turnBy(step, 0); return true;
    case WXK_RIGHT: shell.turnBy(-step, 0); return true;
    case WXK_UP: shell.turnBy(0, step); return true;
    case WXK_DOWN: shell.turnBy(0, -step); return true;
    default: return false;
    }
}
