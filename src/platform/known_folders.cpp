#include "platform/known_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace {
std::string absoluteVariable(const char* variable) {
    const char* value = std::getenv(variable);
    // Relative folders in these variables are invalid and ignored.
    if (value == nullptr || value[0] != '/') return {};
    return value;
}
}  // namespace

std::string homeFolder() {
    std::string home = absoluteVariable("HOME");
    if (!home.empty()) return home;
    std::vector<char> buffer(16384);
    passwd entry;
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

std::string xdgFolder(const char* variable, const char* fallback) {
    std::string folder = absoluteVariable(variable);
    if (!folder.empty()) return folder;
    const std::string home = homeFolder();
    if (home.empty()) return {};
    return home + "/" + fallback;
}

std::string programFolder() {
    std::vector<char> path(4096);
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) return {};
    std::string program(path.data(), static_cast<std::size_t>(n));
    const std::size_t slash = program.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : program.substr(0, slash);
}
