#include "shell/install_log.h"

#include <cerrno>
#include <cstdio>

#include "platform/file_contents.h"
#include "platform/file_system.h"
#include "platform/report.h"
#include "shell/preferences_model.h"

namespace {
// The composed copy-failure text's buffer.
constexpr std::size_t copyMessageCapacity = 584;
}  // namespace

InstallLog::InstallLog() {
    const std::string path = installLogPath();
    if (path.empty()) return;
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || !makeFolders(path.substr(0, slash))) return;
    file_ = StdioFile(path.c_str(), "a");
}

void InstallLog::line(const char* what, const std::string& path) {
    if (!file_) return;
    std::fprintf(file_.get(), "%s%s\n", what, path.c_str());
    std::fflush(file_.get());
}

bool logCopy(InstallLog& log, const std::string& source, const std::string& destination) {
    const int error = copyFileReplacing(source, destination);
    if (error != 0) {
        std::string text = "Error copying file:\n" + source + "\n  To:\n" + destination;
        if (text.size() > copyMessageCapacity - 1) text.resize(copyMessageCapacity - 1);
        errno = error;
        reportSystemError(text.c_str());
        return false;
    }
    log.line("File Copy: ", destination);
    return true;
}

std::string withoutFinalSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}
