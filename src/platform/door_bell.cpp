#include "platform/door_bell.h"

#include <sys/socket.h>

#include <cstring>

bool DoorBell::bind(const std::string& name) {
    LocalSocket socket;
    if (!socket.open(SOCK_NONBLOCK) || socket.bind(name) != LocalSocket::BindResult::bound) return false;
    // The kernel then attaches each ringer's credentials to its datagram.
    const int on = 1;
    ::setsockopt(socket.descriptor(), SOL_SOCKET, SO_PASSCRED, &on, sizeof on);
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
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    for (;;) {
        iovec data{buffer, sizeof buffer};
        msghdr message{};
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (::recvmsg(socket_.descriptor(), &message, MSG_DONTWAIT) < 0) return;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_CREDENTIALS ||
                c->cmsg_len < CMSG_LEN(sizeof(ucred)))
                continue;
            ucred sender;
            std::memcpy(&sender, CMSG_DATA(c), sizeof sender);
            lastRinger_ = sender.pid;
        }
    }
}
