#include "plugins/gimp_console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/link_environment.h"

namespace fs = std::filesystem;

namespace {
// GIMP's first start with a new profile takes seconds, and minutes on a machine shared
// with busy builds.
constexpr unsigned gimpAlarmSeconds = 300;
}  // namespace

GimpRun::GimpRun(const std::string& errPath, std::vector<std::string> batches) : errPath_(errPath) {
    std::vector<std::string> arguments = {DOMECAST_GIMP_CONSOLE, "-i"};
    batches.push_back("(gimp-quit 0)");
    for (const std::string& b : batches) arguments.insert(arguments.end(), {"-b", b});
    pid_ = runChild([&] {
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int null = ::open("/dev/null", O_RDWR);
        if (err < 0 || null < 0 || ::dup2(null, 0) < 0 || ::dup2(null, 1) < 0 || ::dup2(err, 2) < 0) return 120;
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::alarm(gimpAlarmSeconds);
        ::execv(argv[0], argv.data());
        return 121;
    });
}

int GimpRun::exitCode() { return exit_ < 0 ? exit_ = exitCodeOf(pid_) : exit_; }

std::string GimpRun::err() const {
    std::ifstream in(errPath_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string makeGimpProfile(const TempDir& folder, const std::vector<std::string>& plugins) {
    ::setenv("GIMP2_DIRECTORY", folder.file("profile").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", folder.file("cache").c_str(), 1);
    // GIMP makes the whole profile only when its folder does not exist yet.
    GimpRun first(folder.file("first.err"), {});
    if (first.exitCode() != 0) return "GIMP's first run failed: " + first.err();
    const fs::path target = folder.file("profile/plug-ins");
    if (!fs::is_directory(target)) return "GIMP made no plug-ins folder: " + first.err();
    for (const std::string& name : plugins) {
        // A fresh copy gets a new time, so GIMP reads its registration afresh.
        std::error_code error;
        fs::copy_file(fs::path(DOMECAST_GIMP_PLUGIN_DIR) / name, target / name, error);
        if (!error) fs::permissions(target / name, fs::perms::owner_all, error);
        if (error) return "cannot copy " + name + ": " + error.message();
    }
    return {};
}
