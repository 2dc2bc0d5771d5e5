#include "platform/door_bell.h"

#include <sys/socket.h>

bool DoorBell::bind(const std::string& name) {
    LocalSocket socket;
    if (!socket.open(SOCK_NONBLOCK) || socket.bind(name) != LocalSocket::BindResult::bound) return false;
    // Each ring then says which process rang.
    socket.passCredentials();
    socket_ = std::move(socket);
    return true;
}

void DoorBell::ring(const std::string& name) const {
    if (!socket_) return;
    const char ding = 1;
    socket_.sendTo(name, &ding, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
}

void DoorBell::drain() const {
    if (!socket_) return;
    char buffer[64];
    ucred sender;
    while (socket_.receiveFrom(buffer, sizeof buffer, sender) >= 0)
        if (sender.pid != 0) lastRinger_ = sender.pid;
}
