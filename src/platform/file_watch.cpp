#include "platform/file_watch.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>

bool FileWatch::watch(const std::string& path) {
    stop();
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    UniqueFd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!fd) return false;
    if (::inotify_add_watch(fd.get(), folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM) < 0)
        return false;
    fd_ = std::move(fd);
    name_ = slash == std::string::npos ? path : path.substr(slash + 1);
    return true;
}

void FileWatch::stop() {
    fd_.reset();
    name_.clear();
}

FileWatch::Change FileWatch::take() {
    Change change = Change::none;
    alignas(inotify_event) char buffer[4096];
    while (fd_) {
        const ssize_t got = ::read(fd_.get(), buffer, sizeof buffer);
        if (got <= 0) break;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const ssize_t size = static_cast<ssize_t>(sizeof(inotify_event) + event.len);
            if (at + size > got) break;
            const char* name = buffer + at + sizeof(inotify_event);
            at += size;
            if (event.len == 0 || ::strnlen(name, event.len) != name_.size() || name_.compare(0, name_.size(), name, name_.size()) != 0)
                continue;
            if (event.mask & (IN_DELETE | IN_MOVED_FROM))
                change = Change::gone;
            else if (event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO))
                change = Change::saved;
        }
    }
    if (change == Change::gone) stop();
    return change;
}
