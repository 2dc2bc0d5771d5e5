#include "shell/second_start.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "link/link_names.h"
#include "platform/file_contents.h"

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

std::string currentDisplayName() {
    const char* backend = std::getenv("GDK_BACKEND");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland != nullptr && *wayland != 0 && (backend == nullptr || !std::string_view(backend).starts_with("x11")))
        return wayland;
    const char* x = std::getenv("DISPLAY");
    return x != nullptr ? x : "";
}

namespace {
// An X display name without its screen and with a local host left out: "unix:1.0" is
// ":1". Other names (Wayland sockets) stay as they are.
std::string_view displayOnly(std::string_view name) {
    const std::size_t colon = name.rfind(':');
    if (colon == std::string_view::npos) return name;
    std::string_view host = name.substr(0, colon), number = name.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    if (host == "unix") host = {};
    return name.substr(host.empty() ? colon : 0, (host.empty() ? 1 : colon + 1) + number.size());
}

// The record beside the editor's socket.
std::string displayRecordPath() {
    const std::string socket = localSocketPath(LinkNames::current().editor);
    return socket.empty() ? socket : socket + ".display";
}
}  // namespace

bool sameDisplay(std::string_view a, std::string_view b) { return displayOnly(a) == displayOnly(b); }

std::optional<std::string> runningEditorDisplay() {
    const std::string path = displayRecordPath();
    std::string text;
    // A display name is short; anything longer is not a record of ours.
    if (path.empty() || readFileContents(path, 256, text) != FileRead::ok) return std::nullopt;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (text.empty() || text.find_first_of("\n\0", 0, 2) != std::string::npos) return std::nullopt;
    return text;
}

std::string otherDisplayMessage(const std::string& display) {
    return "Domecast is already running on display " + display +
           ".\n\nOnly one copy of Domecast may run for each user, as the paint program's link is shared. "
           "Close it there before starting Domecast here.";
}

HandOverSocket::~HandOverSocket() {
    if (!displayRecord_.empty()) ::unlink(displayRecord_.c_str());
}

bool HandOverSocket::bind(const std::string& display) {
    if (socket_.bind(LinkNames::current().editor) != LocalSocket::BindResult::bound) return false;
    if (!display.empty() && display.find('\n') == std::string::npos) {
        const std::string path = displayRecordPath();
        if (!path.empty() && replaceFileContents(path, display + "\n")) displayRecord_ = path;
    }
    return true;
}

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
