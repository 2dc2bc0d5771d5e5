#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

UniqueFd openFileForReading(const char* path) {
    if (path == nullptr) return UniqueFd();
    // O_NONBLOCK keeps a named pipe from blocking the open; it is refused just below.
    UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return fd;
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return UniqueFd();
    return fd;
}

UniqueFd createFileForWriting(const char* path) {
    if (path == nullptr) return UniqueFd();
    return UniqueFd(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
}

std::int64_t fileSize(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return -1;
    return static_cast<std::int64_t>(status.st_size);
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const auto* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, next, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        next += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}
