#include "platform/staged_write.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/io_exception.h"

namespace {

namespace fs = std::filesystem;

// A folder beside the target, removed with whatever is left in it.
class StagingFolder {
public:
    explicit StagingFolder(const std::string& folder) {
        std::string pattern = (folder.empty() ? std::string() : folder + "/") + ".domecast-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~StagingFolder() {
        if (path_.empty()) return;
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    bool made() const { return !path_.empty(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Follows symbolic links to the file they finally name, so that the write replaces that
// file in its own folder and the links keep working. A dangling link names the file to
// create. Empty when the chain is too long or a link cannot be read.
std::string finalTarget(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return current;
        std::error_code error;
        const fs::path link = fs::read_symlink(current, error);
        if (error) return {};
        current = link.is_absolute() ? link.string() : (fs::path(current).parent_path() / link).string();
    }
    return {};
}

// Why an existing file in the target's place cannot be replaced by a written one, or null.
const char* unreplaceable(const std::string& target) {
    struct stat status {};
    if (::stat(target.c_str(), &status) != 0 || S_ISREG(status.st_mode)) return nullptr;
    if (S_ISDIR(status.st_mode)) return "the output is a folder";
    if (S_ISFIFO(status.st_mode)) return "the output is a named pipe";
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) return "the output is a device";
    return "the output is not a regular file";
}

// Gives the staged file what the user set on the file it replaces: the group where this
// process may (the group first, since changing it can clear set-id bits), then the
// permission bits. A new file keeps what its writer gave it.
bool keepAttributes(const std::string& staged, const std::string& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0) return true;
    struct stat made {};
    if (::stat(staged.c_str(), &made) == 0 && made.st_gid != old.st_gid)
        static_cast<void>(::chown(staged.c_str(), static_cast<uid_t>(-1), old.st_gid));
    return ::chmod(staged.c_str(), old.st_mode & 07777) == 0;
}

}  // namespace

void writeReplacing(const std::string& path, const std::function<void(const std::string&)>& write) {
    const std::string resolved = finalTarget(path);
    if (resolved.empty()) throw ioException{path, ioException::opening, "cannot follow the symbolic link"};
    if (const char* reason = unreplaceable(resolved)) throw ioException{path, ioException::opening, reason};
    const std::size_t slash = resolved.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : resolved.substr(0, slash);
    const std::string name = slash == std::string::npos ? resolved : resolved.substr(slash + 1);
    StagingFolder staging(slash == 0 ? std::string("/") : folder);
    if (!staging.made()) throw ioException{path, ioException::opening, "cannot make a staging folder beside the file"};
    const std::string stagedPrefix = staging.path() + "/";
    const std::string realPrefix = slash == std::string::npos ? std::string() : resolved.substr(0, slash + 1);
    const std::string stagedMain = stagedPrefix + name;
    try {
        write(stagedMain);
    } catch (ioException& e) {
        if (e.path == stagedMain)
            e.path = path;
        else if (e.path.starts_with(stagedPrefix))
            e.path = realPrefix + e.path.substr(stagedPrefix.size());
        throw;
    }
    std::error_code error;
    std::vector<std::string> made;
    for (const auto& entry : fs::directory_iterator(staging.path(), error))
        made.push_back(entry.path().filename().string());
    if (error) throw ioException{path, ioException::writing, "cannot list the staging folder"};
    // Every target is checked before the first rename, so a refusal replaces nothing.
    for (const std::string& file : made) {
        const std::string target = realPrefix + file;
        const std::string shown = file == name ? path : target;
        if (const char* reason = unreplaceable(target)) throw ioException{shown, ioException::writing, reason};
        if (!keepAttributes(stagedPrefix + file, target))
            throw ioException{shown, ioException::writing, "cannot keep the file's permissions"};
    }
    for (const std::string& file : made) {
        const std::string target = realPrefix + file;
        if (std::rename((stagedPrefix + file).c_str(), target.c_str()) != 0)
            throw ioException{file == name ? path : target, ioException::writing,
                              "cannot rename the written file into place"};
    }
}
