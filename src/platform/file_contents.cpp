#include "platform/file_contents.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/file_io.h"
#include "platform/io_exception.h"
#include "platform/storage_error.h"
#include "platform/staged_write.h"
#include "platform/unique_fd.h"

FileRead readFileContents(const std::string& path, std::size_t limit, std::string& contents) {
    contents.clear();
    // O_NONBLOCK: a FIFO put in the file's place must not hang the reader.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return errno == ENOENT || errno == ENOTDIR ? FileRead::missing : FileRead::failed;
    struct stat status;
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0 ||
        static_cast<unsigned long long>(status.st_size) > limit)
        return FileRead::failed;
    // The size may change while reading: the buffer starts one byte beyond the size found
    // (not at the limit, which every settings read would clear a megabyte for) and grows
    // up to one byte beyond the limit, which shows a file grown too large.
    std::string data(static_cast<std::size_t>(status.st_size) + 1, '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == data.size()) {
            if (data.size() > limit) break;
            data.resize(std::min(limit + 1, 2 * data.size()));
        }
        const ssize_t n = ::read(fd.get(), data.data() + filled, data.size() - filled);
        if (n < 0) {
            if (errno == EINTR) continue;
            return FileRead::failed;
        }
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
    }
    if (filled > limit) return FileRead::failed;
    data.resize(filled);
    contents = std::move(data);
    return FileRead::ok;
}

FileRead readFileStart(const std::string& path, std::size_t limit, std::string& contents, bool& cut) {
    contents.clear();
    cut = false;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return errno == ENOENT || errno == ENOTDIR ? FileRead::missing : FileRead::failed;
    struct stat status;
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0) return FileRead::failed;
    // One byte beyond what is kept shows that there is more.
    const std::size_t wanted = std::min(static_cast<std::size_t>(status.st_size), limit) + 1;
    std::string data(wanted, '\0');
    std::size_t filled = 0;
    while (filled < data.size()) {
        const ssize_t n = ::read(fd.get(), data.data() + filled, data.size() - filled);
        if (n < 0) {
            if (errno == EINTR) continue;
            return FileRead::failed;
        }
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
        // A file grown since fstat is read on up to the limit.
        if (filled == data.size() && data.size() <= limit) data.resize(std::min(limit + 1, 2 * data.size()));
    }
    cut = filled > limit;
    data.resize(std::min(filled, limit));
    contents = std::move(data);
    return FileRead::ok;
}

bool replaceFileContents(const std::string& path, std::string_view contents) {
    try {
        writeReplacing(path, [&](const std::string& staged) {
            UniqueFd fd(::open(staged.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            if (!fd) throw ioException{staged, ioException::opening, storageFailure(errno, "cannot create the file")};
            struct stat existing;
            if (::stat(path.c_str(), &existing) == 0 && ::fchmod(fd.get(), existing.st_mode & 07777) != 0)
                throw ioException{staged, ioException::writing, "cannot keep the permissions"};
            if (!writeAll(fd.get(), contents.data(), contents.size()) || ::fsync(fd.get()) != 0)
                throw ioException{staged, ioException::writing, storageFailure(errno, "write failed")};
            if (!fd.close()) throw ioException{staged, ioException::closing, "cannot close the file"};
        });
    } catch (const ioException&) {
        return false;
    }
    return true;
}

bool makeFolders(const std::string& folder) {
    if (folder.empty()) return false;
    for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string prefix = folder.substr(0, end);
        if (!prefix.empty() && prefix.back() != '/' && ::mkdir(prefix.c_str(), 0700) != 0 &&
            errno != EEXIST)
            return false;
        if (end == std::string::npos) break;
    }
    struct stat status;
    return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}
