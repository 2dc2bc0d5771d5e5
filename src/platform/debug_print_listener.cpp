#include "platform/debug_print_listener.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/debug_print.h"

DebugPrintListener::DebugPrintListener(const std::string& name) {
    if (!socket_.open(SOCK_NONBLOCK)) {
        error_ = errno;
        return;
    }
    // The kernel then attaches each sender's credentials, checked in receive().
    const int on = 1;
    if (::setsockopt(socket_.descriptor(), SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0) {
        error_ = errno;
        socket_.close();
        return;
    }
    const LocalSocket::BindResult bound = socket_.bind(name);
    if (bound != LocalSocket::BindResult::bound) {
        error_ = errno;
        status_ = bound == LocalSocket::BindResult::taken ? Status::taken : Status::failed;
        socket_.close();
        return;
    }
    status_ = Status::listening;
}

std::optional<std::string> DebugPrintListener::receive() {
    if (!socket_) return std::nullopt;
    // Far more than any diagnostic line; a longer datagram is cut to this.
    std::vector<char> data(65536);
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    for (;;) {
        iovec part{data.data(), data.size()};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(socket_.descriptor(), &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        bool sameUser = false;
        for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_CREDENTIALS ||
                header->cmsg_len < CMSG_LEN(sizeof(ucred)))
                continue;
            ucred sender;
            std::memcpy(&sender, CMSG_DATA(header), sizeof sender);
            sameUser = sender.uid == ::getuid();
        }
        if (!sameUser) continue;
        // The sender's terminator, or the end of what arrived, ends the text.
        const std::size_t size = static_cast<std::size_t>(n);
        return std::string(data.data(), strnlen(data.data(), size));
    }
}
