#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/local_socket.h"

// A second start of the editor hands its command line to the running one: one datagram
// on the running editor's socket (LinkNames::editor in this user's socket folder),
// "OPEN <absolute path>\n" or "RAISE\n".
struct HandOver {
    enum class Kind { raise, open };
    Kind kind = Kind::raise;
    std::string path;  // for open: absolute, without a line break or NUL

    bool operator==(const HandOver&) const = default;
};

// The longest datagram either side accepts: "OPEN " + a path of PATH_MAX bytes + "\n".
inline constexpr std::size_t handOverLimit = 5 + 4096 + 1;

// The datagram for a file named on the command line (made absolute against the current
// folder) or, for an empty file, for the raise alone. Empty when the path cannot be
// carried (a line break in it, or longer than the limit).
std::string handOverMessage(const std::string& file);

// A received datagram read with care: anything but the two forms, a relative path, a
// NUL or line break inside, or more than handOverLimit bytes is nothing.
std::optional<HandOver> parseHandOver(std::string_view datagram);

enum class HandOverSent { delivered, unreachable, unsendable };

// Sends message to the running editor's socket without waiting. unreachable: nobody
// binds it, or it cannot take the datagram now; unsendable: the message is empty.
HandOverSent sendHandOver(const std::string& message);

// The display this process shows its windows on: $WAYLAND_DISPLAY where the toolkit
// takes Wayland (GDK_BACKEND not "x11"), else $DISPLAY; empty when neither is set.
std::string currentDisplayName();

// Whether two display names name the same display: ":1", ":1.0" and "unix:1" do.
bool sameDisplay(std::string_view a, std::string_view b);

// The display the running editor recorded beside its socket; nothing when it recorded
// none (or the record cannot be read).
std::optional<std::string> runningEditorDisplay();

// Said by a second start on another display than the running editor's: the paint link
// is one per user, so this start cannot run beside it.
std::string otherDisplayMessage(const std::string& display);

// The running editor's end: its socket, bound for the editor's lifetime, and the record
// of its display beside it.
class HandOverSocket {
public:
    HandOverSocket() = default;
    ~HandOverSocket();
    HandOverSocket(const HandOverSocket&) = delete;
    HandOverSocket& operator=(const HandOverSocket&) = delete;

    // False when the socket could not be bound (the editor then runs without it). Records
    // display (when not empty) for second starts to compare with theirs.
    bool bind(const std::string& display = currentDisplayName());
    // Readable while a datagram is queued; -1 when not bound.
    int descriptor() const { return socket_.descriptor(); }
    // The next queued request that parses, or nothing once the queue is empty; a datagram
    // that does not parse is dropped.
    std::optional<HandOver> receive() const;

private:
    LocalSocket socket_;
    std::string displayRecord_;
};
