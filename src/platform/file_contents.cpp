#include "platform/file_contents.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/unique_fd.h"

namespace {

// Removes the temporary file unless the rename has made it the real one.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!kept_) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    void keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

FileRead readFileContents(const std::string& path, std::size_t limit, std::string& contents) {
    contents.clear();
    // O_NONBLOCK: a FIFO put in the file's place must not hang the reader.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return errno == ENOENT || errno == ENOTDIR ? FileRead::missing : FileRead::failed;
    struct stat status;
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0 ||
        static_cast<unsigned long long>(status.st_size) > limit)
        return FileRead::failed;
    // The size may change while reading; read up to one byte beyond the limit to see it.
    std::string data(limit + 1, '\0');
    std::size_t filled = 0;
    while (filled < data.size()) {
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

bool replaceFileContents(const std::string& path, std::string_view contents) {
    std::string temporaryPath = path + ".XXXXXX";
    UniqueFd fd(::mkostemp(temporaryPath.data(), O_CLOEXEC));
    if (!fd) return false;
    TemporaryFile temporary(temporaryPath);

    struct stat existing;
    if (::stat(path.c_str(), &existing) == 0 && ::fchmod(fd.get(), existing.st_mode & 07777) != 0)
        return false;
    if (!writeAll(fd.get(), contents) || ::fsync(fd.get()) != 0 || !fd.close()) return false;
    if (::rename(temporaryPath.c_str(), path.c_str()) != 0) return false;
    temporary.keep();
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
