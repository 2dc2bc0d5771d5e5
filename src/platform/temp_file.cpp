#include "platform/temp_file.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {
bool usableFolder(const char* folder) {
    struct stat info;
    return folder != nullptr && *folder != 0 && ::stat(folder, &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(folder, W_OK | X_OK) == 0;
}
}  // namespace

std::string makeTempViewPath() {
    const char* folder = "/tmp";
    for (const char* variable : {"TMP", "TMPDIR"}) {
        if (const char* value = std::getenv(variable); usableFolder(value)) {
            folder = value;
            break;
        }
    }
    std::string pattern = std::string(folder) + "/T_DCXXXXXX.bmp";
    const int fd = ::mkstemps(pattern.data(), 4);
    if (fd < 0) return {};
    ::close(fd);
    return pattern;
}

TempFileGuard::~TempFileGuard() {
    if (!path_.empty()) ::unlink(path_.c_str());
}
