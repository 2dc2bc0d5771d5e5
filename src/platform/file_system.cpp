#include "platform/file_system.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/file_io.h"
#include "platform/unique_fd.h"

namespace {

// Removes the temporary copy unless it was renamed into place.
class PendingFile {
public:
    explicit PendingFile(std::string path) : path_(std::move(path)) {}
    ~PendingFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    void done() { path_.clear(); }

private:
    std::string path_;
};

int copyContents(int from, int to) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return 0;
        if (!writeAll(to, buffer, static_cast<std::size_t>(n))) return errno != 0 ? errno : EIO;
    }
}

// Reads up to size bytes; fewer only at the end of the file. -1 on failure.
ssize_t readFully(int fd, char* data, std::size_t size) {
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t n = ::read(fd, data + filled, size - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(filled);
}

}  // namespace

int copyFileReplacing(const std::string& source, const std::string& destination) {
    UniqueFd from(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!from) return errno;
    struct stat status {};
    if (::fstat(from.get(), &status) != 0) return errno;
    if (S_ISDIR(status.st_mode)) return EISDIR;
    if (!S_ISREG(status.st_mode)) return EINVAL;

    const std::size_t slash = destination.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : destination.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? destination : destination.substr(slash + 1);
    if (name.empty()) return EISDIR;
    // A hidden name, so that a program scanning the folder meanwhile does not take it.
    std::string temporary = (slash == std::string::npos ? std::string() : folder) + "." + name + ".XXXXXX";
    UniqueFd to(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!to) return errno;
    PendingFile pending(temporary);

    if (const int error = copyContents(from.get(), to.get()); error != 0) return error;
    if (::fchmod(to.get(), status.st_mode & 0777) != 0) return errno;
    // Written just now, the copy already has a new time; an empty source wrote nothing.
    if (::futimens(to.get(), nullptr) != 0) return errno;
    if (::fsync(to.get()) != 0) return errno;
    if (!to.close()) return errno;
    if (::rename(temporary.c_str(), destination.c_str()) != 0) return errno;
    pending.done();
    return 0;
}

int makeFolderTree(const std::string& folder, unsigned mode, std::vector<std::string>& made) {
    if (folder.empty()) return ENOENT;
    const mode_t bits = static_cast<mode_t>((mode & 0777) | 0700);
    std::size_t end = 0;
    do {
        end = folder.find('/', end + 1);
        std::string prefix = folder.substr(0, end);
        while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
        if (prefix.empty() || prefix == "/" || prefix.ends_with("/.") || prefix == ".") continue;
        struct stat status {};
        if (::stat(prefix.c_str(), &status) == 0) {
            if (!S_ISDIR(status.st_mode)) return ENOTDIR;
            continue;
        }
        if (errno != ENOENT) return errno;
        if (::mkdir(prefix.c_str(), bits) != 0) {
            if (errno == EEXIST && isDirectory(prefix)) continue;  // made meanwhile
            return errno;
        }
        // mkdir applies the umask; the folder gets exactly the bits asked for.
        ::chmod(prefix.c_str(), bits);
        made.push_back(prefix);
    } while (end != std::string::npos);
    return 0;
}

unsigned folderMode(const std::string& folder, unsigned fallback) {
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return fallback;
    return status.st_mode & 0777;
}

bool isDirectory(const std::string& path) {
    struct stat status {};
    return !path.empty() && ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool sameDirectory(const std::string& a, const std::string& b) {
    struct stat first {}, second {};
    if (a.empty() || b.empty() || ::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
    return S_ISDIR(first.st_mode) && S_ISDIR(second.st_mode) && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool sameFileContents(const std::string& a, const std::string& b) {
    UniqueFd first = openFileForReading(a.c_str());
    UniqueFd second = openFileForReading(b.c_str());
    if (!first || !second || fileSize(first.get()) != fileSize(second.get())) return false;
    char x[1 << 15], y[1 << 15];
    for (;;) {
        const ssize_t n = readFully(first.get(), x, sizeof x);
        const ssize_t m = readFully(second.get(), y, sizeof y);
        if (n < 0 || m < 0 || n != m) return false;
        if (n == 0) return true;
        if (std::memcmp(x, y, static_cast<std::size_t>(n)) != 0) return false;
    }
}

bool isExecutableFile(const std::string& path) {
    struct stat status {};
    return !path.empty() && ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string findExecutable(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return isExecutableFile(name) ? name : std::string();
    const char* variable = std::getenv("PATH");
    std::string_view list = variable != nullptr ? variable : "/usr/local/bin:/usr/bin:/bin";
    for (;;) {
        const std::size_t colon = list.find(':');
        const std::string_view entry = list.substr(0, colon);
        // An empty entry is the current folder, as for the shell.
        const std::string candidate = (entry.empty() ? std::string(".") : std::string(entry)) + "/" + name;
        if (isExecutableFile(candidate)) return candidate;
        if (colon == std::string_view::npos) return {};
        list.remove_prefix(colon + 1);
    }
}
