#include "platform/debug_print.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/message.h"
#include "platform/unique_fd.h"

std::string debugPrintSocketName() {
    // Tests run several viewers side by side; each picks its own name.
    if (const char* name = std::getenv("DOMECAST_DEBUGPRINT_SOCKET"); name != nullptr && *name != 0)
        return name;
    return "DebugPrint." + std::to_string(getuid());
}

unsigned abstractSocketAddress(const std::string& name, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    // Abstract namespace: a leading NUL, no file on disk, gone with the last descriptor.
    const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

void DebugPrint(const char* text) {
    if (text == nullptr) return;
    UniqueFd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (socket) {
        sockaddr_un address;
        const socklen_t length = abstractSocketAddress(debugPrintSocketName(), address);
        // The terminator travels too, as the viewer expects a C string. The send waits
        // while the viewer's queue is full, so a burst of lines loses none.
        ssize_t sent;
        do {
            sent = ::sendto(socket.get(), text, std::strlen(text) + 1, MSG_NOSIGNAL,
                            reinterpret_cast<const sockaddr*>(&address), length);
        } while (sent < 0 && errno == EINTR);
        if (sent >= 0) return;
    }
    showMessage(text);
}
