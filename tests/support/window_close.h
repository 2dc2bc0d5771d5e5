#pragma once
#include <string>

// Asks the window with that X id (decimal, as xdotool prints it) on display to close, as
// a window manager's close box does: a WM_DELETE_WINDOW client message. xdotool's
// windowclose destroys the window instead. False when the display or window is unusable.
bool requestWindowClose(const std::string& display, const std::string& window);
