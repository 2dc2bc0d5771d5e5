#include "support/window_close.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <memory>

bool requestWindowClose(const std::string& display, const std::string& window) {
    char* end = nullptr;
    const unsigned long id = std::strtoul(window.c_str(), &end, 10);
    if (window.empty() || *end != '\0' || id == 0) return false;
    const std::unique_ptr<Display, int (*)(Display*)> connection(XOpenDisplay(display.c_str()), XCloseDisplay);
    if (!connection) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = XInternAtom(connection.get(), "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(connection.get(), "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(connection.get(), id, False, NoEventMask, &event) != 0;
    XSync(connection.get(), False);
    return sent;
}
