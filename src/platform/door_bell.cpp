#include "platform/door_bell.h"

#include <sys/socket.h>
#include <sys/un.h>

#include "platform/debug_print.h"

bool DoorBell::bind(const std::string& name) {
    UniqueFd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket) return false;
    sockaddr_un address;
    const socklen_t length = abstractSocketAddress(name, address);
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0) return false;
    socket_ = std::move(socket);
    return true;
}

void DoorBell::ring(const std::string& name) const {
    if (!socket_) return;
    sockaddr_un address;
    const socklen_t length = abstractSocketAddress(name, address);
    const char ding = 1;
    ::sendto(socket_.get(), &ding, 1, MSG_DONTWAIT | MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr*>(&address), length);
}

void DoorBell::drain() const {
    if (!socket_) return;
    char buffer[64];
    while (::recv(socket_.get(), buffer, sizeof buffer, MSG_DONTWAIT) >= 0) {
    }
}
