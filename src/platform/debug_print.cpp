#include "platform/debug_print.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/message.h"
#include "platform/local_socket.h"

std::string debugPrintSocketName() {
    // Tests run several viewers side by side; each picks its own name.
    if (const char* name = std::getenv("DOMECAST_DEBUGPRINT_SOCKET"); name != nullptr && *name != 0)
        return name;
    return "DebugPrint." + std::to_string(getuid());
}

void DebugPrint(const char* text) {
    if (text == nullptr) return;
    LocalSocket socket;
    if (socket.open()) {
        const std::string name = debugPrintSocketName();
        // The terminator travels too, as the viewer expects a C string. The send waits
        // while the viewer's queue is full, so a burst of lines loses none.
        ssize_t sent;
        do {
            sent = socket.sendTo(name, text, std::strlen(text) + 1, MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        if (sent >= 0) return;
    }
    showMessage(text);
}
