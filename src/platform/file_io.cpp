#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {
// A stream that owns fd once it is made; an empty one (fd closed) otherwise.
StdioFile streamOver(UniqueFd fd, const char* mode) {
    if (!fd) return StdioFile();
    StdioFile stream(::fdopen(fd.get(), mode));
    if (stream) fd.release();
    return stream;
}
}  // namespace

UniqueFd openFileForReading(const char* path) {
    if (path == nullptr) return UniqueFd();
    // O_NONBLOCK keeps a named pipe from blocking the open; it is refused just below.
    UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return fd;
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return UniqueFd();
    return fd;
}

StdioFile openStreamForReading(const char* path) { return streamOver(openFileForReading(path), "rb"); }

UniqueFd createFileForWriting(const char* path) {
    if (path == nullptr) return UniqueFd();
    // O_NONBLOCK makes a pipe without a reader fail at once instead of hanging the open.
    UniqueFd fd(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666));
    if (!fd) return fd;
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) return UniqueFd();
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return UniqueFd();
    return fd;
}

StdioFile createStreamForWriting(const char* path) { return streamOver(createFileForWriting(path), "wb"); }

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
