#include "shell/second_start.h"

#include <sys/socket.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "link/link_names.h"

namespace {
constexpr std::string_view openVerb = "OPEN ";
constexpr std::string_view raiseMessage = "RAISE\n";
}  // namespace

std::string handOverMessage(const std::string& file) {
    if (file.empty()) return std::string(raiseMessage);
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(file, error);
    if (error) return {};
    const std::string path = absolute.string();
    if (path.find('\n') != std::string::npos || path.find('\0') != std::string::npos) return {};
    std::string message = std::string(openVerb) + path + "\n";
    if (message.size() > handOverLimit) return {};
    return message;
}

std::optional<HandOver> parseHandOver(std::string_view datagram) {
    if (datagram.size() > handOverLimit || datagram.empty() || datagram.back() != '\n') return std::nullopt;
    if (datagram == raiseMessage) return HandOver{HandOver::Kind::raise, {}};
    if (!datagram.starts_with(openVerb)) return std::nullopt;
    const std::string_view path = datagram.substr(openVerb.size(), datagram.size() - openVerb.size() - 1);
    if (path.empty() || path.front() != '/') return std::nullopt;
    if (path.find('\n') != std::string_view::npos || path.find('\0') != std::string_view::npos) return std::nullopt;
    return HandOver{HandOver::Kind::open, std::string(path)};
}

HandOverSent sendHandOver(const std::string& message) {
    if (message.empty()) return HandOverSent::unsendable;
    LocalSocket socket;
    if (!socket.open()) return HandOverSent::unreachable;
    // A running editor too busy to take the datagram now is as good as unreachable: the
    // second start must not hang on it.
    const ssize_t sent = socket.sendTo(LinkNames::current().editor, message.data(), message.size(), MSG_DONTWAIT);
    return sent == static_cast<ssize_t>(message.size()) ? HandOverSent::delivered : HandOverSent::unreachable;
}

bool HandOverSocket::bind() { return socket_.bind(LinkNames::current().editor) == LocalSocket::BindResult::bound; }

std::optional<HandOver> HandOverSocket::receive() const {
    if (!socket_) return std::nullopt;
    // One byte more than the limit, so that a longer datagram shows as one.
    std::vector<char> buffer(handOverLimit + 1);
    while (true) {
        const ssize_t size = ::recv(socket_.descriptor(), buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC);
        if (size < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        // MSG_TRUNC gives the datagram's real length, which may exceed the buffer.
        if (static_cast<std::size_t>(size) > handOverLimit) continue;
        if (auto request = parseHandOver({buffer.data(), static_cast<std::size_t>(size)})) return request;
    }
}
