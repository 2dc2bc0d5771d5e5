#pragma once
#include <sys/socket.h>
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <utility>

#include "platform/unique_fd.h"

// This user's folder for local sockets: $XDG_RUNTIME_DIR when it holds an absolute path
// (and, when it exists, names a folder of this user's that only this user may enter),
// else "domecast-<uid>" under /tmp, made with mode 0700 when missing. Empty (errno set)
// when the fallback is not a folder of this user's that only this user may enter: whoever
// can write there could bind this user's socket names first.
std::string localSocketFolder();
// The same choice with the environment given; runtimeDir may be null.
std::string localSocketFolder(const char* runtimeDir, const std::string& fallbackParent);

// Where the socket called name lives; empty (errno set) when there is no safe folder or
// the path does not fit a socket address.
std::string localSocketPath(const std::string& name);

// Removes the socket files in localSocketFolder() whose names start with namePrefix and
// that nobody is bound to any more (their owner was killed); returns how many.
int removeStaleSockets(const std::string& namePrefix);

// A UNIX socket between this user's processes, datagrams unless opened otherwise. A bound socket is a file in
// localSocketFolder(), removed again when the process that bound it closes it or exits.
class LocalSocket {
public:
    enum class BindResult { bound, taken, failed };

    LocalSocket() = default;
    ~LocalSocket() { close(); }
    LocalSocket(LocalSocket&& other) noexcept { *this = std::move(other); }
    LocalSocket& operator=(LocalSocket&& other) noexcept;
    LocalSocket(const LocalSocket&) = delete;
    LocalSocket& operator=(const LocalSocket&) = delete;

    // Makes the socket, unbound; typeFlags may add SOCK_NONBLOCK. A listener for
    // connections takes type SOCK_SEQPACKET. False with errno set.
    bool open(int typeFlags = 0, int type = SOCK_DGRAM);
    // Binds under name (opening a non-blocking socket first if none is open). A socket file
    // left behind by a process that has ended is replaced; a live one is taken.
    BindResult bind(const std::string& name);
    // sendto() to the socket bound under name; -1 with errno set on failure.
    ssize_t sendTo(const std::string& name, const void* data, std::size_t size, int flags) const;
    // Has the kernel attach each sender's credentials to the datagrams this socket receives.
    bool passCredentials() const;
    // Takes one datagram without waiting: its length (cut to size), or -1 with errno set.
    // sender is the kernel's view of who sent it; uid (uid_t)-1 and pid 0 when the
    // datagram came without credentials.
    ssize_t receiveFrom(void* data, std::size_t size, ucred& sender) const;

    explicit operator bool() const { return static_cast<bool>(socket_); }
    int descriptor() const { return socket_.get(); }
    // The file of a bound socket; empty otherwise.
    const std::string& path() const { return path_; }
    void close();

private:
    UniqueFd socket_;
    std::string path_;
    // The bound file's identity: a child that inherited the socket, or a later owner of
    // the same name, keeps its file when this one closes.
    pid_t owner_ = 0;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};
