#include "platform/staged_write.h"

#include <stdlib.h>

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

}  // namespace

void writeReplacing(const std::string& path, const std::function<void(const std::string&)>& write) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    StagingFolder staging(slash == 0 ? std::string("/") : folder);
    if (!staging.made()) throw ioException{path, ioException::opening, "cannot make a staging folder beside the file"};
    const std::string stagedPrefix = staging.path() + "/";
    const std::string realPrefix = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    try {
        write(stagedPrefix + name);
    } catch (ioException& e) {
        if (e.path.starts_with(stagedPrefix)) e.path = realPrefix + e.path.substr(stagedPrefix.size());
        throw;
    }
    std::error_code error;
    std::vector<std::string> made;
    for (const auto& entry : fs::directory_iterator(staging.path(), error))
        made.push_back(entry.path().filename().string());
    if (error) throw ioException{path, ioException::writing, "cannot list the staging folder"};
    for (const std::string& file : made) {
        const std::string target = realPrefix + file;
        if (std::rename((stagedPrefix + file).c_str(), target.c_str()) != 0)
            throw ioException{target, ioException::writing, "cannot rename the written file into place"};
    }
}
