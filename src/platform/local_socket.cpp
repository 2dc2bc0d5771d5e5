#include "platform/local_socket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// False (errno ENAMETOOLONG) when path does not fit.
bool fillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

// Whether somebody is bound to the socket file at path: a datagram connect is refused
// when the file's socket has no owner any more (a live socket of another type answers
// with EPROTOTYPE).
bool socketIsAnswered(const sockaddr_un& address) {
    UniqueFd probe(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!probe) return true;
    return ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
           errno != ECONNREFUSED;
}

// The socket files this process has bound and not yet closed, so that an exit without
// the sockets' destructors (exit() with a socket on the heap) still removes them.
struct BoundFile {
    pid_t owner;
    dev_t device;
    ino_t inode;
};

void unlinkIfSame(const std::string& path, const BoundFile& file) {
    // A child that inherited the socket, or a later owner of the name, keeps the file.
    struct stat status;
    if (file.owner == ::getpid() && ::lstat(path.c_str(), &status) == 0 && status.st_dev == file.device &&
        status.st_ino == file.inode)
        ::unlink(path.c_str());
}

class BoundFiles {
public:
    static BoundFiles& instance() {
        // Never destroyed: a static socket may close after the exit handlers have run.
        static BoundFiles* const files = [] {
            auto* made = new BoundFiles;
            std::atexit([] { instance().removeAll(); });
            return made;
        }();
        return *files;
    }
    void add(const std::string& path, const BoundFile& file) {
        const std::lock_guard lock(mutex_);
        files_[path] = file;
    }
    void drop(const std::string& path) {
        const std::lock_guard lock(mutex_);
        files_.erase(path);
    }

private:
    void removeAll() {
        const std::lock_guard lock(mutex_);
        for (const auto& [path, file] : files_) unlinkIfSame(path, file);
        files_.clear();
    }

    std::mutex mutex_;
    std::map<std::string, BoundFile> files_;
};

}  // namespace

int removeStaleSockets(const std::string& namePrefix) {
    const std::string folder = localSocketFolder();
    if (folder.empty() || namePrefix.empty()) return 0;
    std::error_code error;
    std::vector<std::string> stale;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(namePrefix)) continue;
        const std::string path = entry.path().string();
        struct stat status;
        sockaddr_un address;
        if (::lstat(path.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode) || !fillAddress(path, address)) continue;
        if (!socketIsAnswered(address)) stale.push_back(path);
    }
    int removed = 0;
    for (const std::string& path : stale) removed += ::unlink(path.c_str()) == 0 ? 1 : 0;
    return removed;
}

std::string localSocketFolder(const char* runtimeDir, const std::string& fallbackParent) {
    const uid_t user = ::getuid();
    if (runtimeDir != nullptr && runtimeDir[0] == '/') {
        // A runtime folder another user owns or may enter would let that user take this
        // user's socket names or reach its sockets: the private fallback serves instead.
        struct stat status;
        if (::stat(runtimeDir, &status) != 0 ||
            (S_ISDIR(status.st_mode) && status.st_uid == user && (status.st_mode & 077) == 0))
            return runtimeDir;
    }
    const std::string folder = fallbackParent + "/domecast-" + std::to_string(user);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    // lstat: a symbolic link planted under that name is refused, not followed.
    struct stat status;
    if (::lstat(folder.c_str(), &status) != 0) return {};
    if (!S_ISDIR(status.st_mode) || status.st_uid != user || (status.st_mode & 077) != 0) {
        errno = EACCES;
        return {};
    }
    return folder;
}

std::string localSocketFolder() { return localSocketFolder(std::getenv("XDG_RUNTIME_DIR"), "/tmp"); }

std::string localSocketPath(const std::string& name) {
    std::string folder = localSocketFolder();
    if (folder.empty()) return {};
    if (folder.back() != '/') folder += '/';
    std::string path = folder + name;
    sockaddr_un address;
    if (!fillAddress(path, address)) return {};
    return path;
}

LocalSocket& LocalSocket::operator=(LocalSocket&& other) noexcept {
    if (this != &other) {
        close();
        socket_ = std::move(other.socket_);
        path_ = std::move(other.path_);
        other.path_.clear();
        owner_ = other.owner_;
        device_ = other.device_;
        inode_ = other.inode_;
    }
    return *this;
}

bool LocalSocket::open(int typeFlags, int type) {
    close();
    socket_.reset(::socket(AF_UNIX, type | SOCK_CLOEXEC | typeFlags, 0));
    return static_cast<bool>(socket_);
}

LocalSocket::BindResult LocalSocket::bind(const std::string& name) {
    if (!socket_ && !open(SOCK_NONBLOCK)) return BindResult::failed;
    const std::string path = localSocketPath(name);
    sockaddr_un address;
    if (path.empty() || !fillAddress(path, address)) return BindResult::failed;
    const auto* raw = reinterpret_cast<const sockaddr*>(&address);

    // Two tries: the second follows the removal of a socket file nobody owns any more.
    for (int attempt = 0;; ++attempt) {
        if (::bind(socket_.get(), raw, sizeof address) == 0) break;
        if (errno != EADDRINUSE || attempt > 0) return BindResult::failed;
        struct stat status;
        if (::lstat(path.c_str(), &status) == 0 && !S_ISSOCK(status.st_mode)) return BindResult::failed;
        if (socketIsAnswered(address)) {
            errno = EADDRINUSE;
            return BindResult::taken;
        }
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) return BindResult::failed;
    }
    struct stat status;
    if (::lstat(path.c_str(), &status) == 0) {
        device_ = status.st_dev;
        inode_ = status.st_ino;
    }
    path_ = path;
    owner_ = ::getpid();
    BoundFiles::instance().add(path_, {owner_, device_, inode_});
    return BindResult::bound;
}

ssize_t LocalSocket::sendTo(const std::string& name, const void* data, std::size_t size, int flags) const {
    const std::string path = localSocketPath(name);
    sockaddr_un address;
    if (path.empty() || !fillAddress(path, address)) return -1;
    return ::sendto(socket_.get(), data, size, flags, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

bool LocalSocket::passCredentials() const {
    const int on = 1;
    return ::setsockopt(socket_.get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof on) == 0;
}

ssize_t LocalSocket::receiveFrom(void* data, std::size_t size, ucred& sender) const {
    sender = ucred{0, static_cast<uid_t>(-1), static_cast<gid_t>(-1)};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    iovec part{data, size};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(socket_.get(), &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    if (n < 0) return n;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_CREDENTIALS &&
            header->cmsg_len >= CMSG_LEN(sizeof(ucred)))
            std::memcpy(&sender, CMSG_DATA(header), sizeof sender);
    }
    return n;
}

void LocalSocket::close() {
    if (!path_.empty() && owner_ == ::getpid()) {
        unlinkIfSame(path_, {owner_, device_, inode_});
        BoundFiles::instance().drop(path_);
    }
    path_.clear();
    socket_.reset();
}
