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
    if (!socket_.passCredentials()) {
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
    for (;;) {
        ucred sender;
        const ssize_t n = socket_.receiveFrom(data.data(), data.size(), sender);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        // Another user's lines are dropped unread.
        if (sender.uid != ::getuid()) continue;
        // The sender's terminator, or the end of what arrived, ends the text.
        const std::size_t size = static_cast<std::size_t>(n);
        return std::string(data.data(), strnlen(data.data(), size));
    }
}
