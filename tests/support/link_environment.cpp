#include "support/link_environment.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/local_socket.h"

namespace {
constexpr unsigned testAlarmSeconds = 60;
constexpr unsigned childAlarmSeconds = 30;
}  // namespace

LinkEnvironment::LinkEnvironment() {
    static int counter = 0;
    name_ = "DomecastTest" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    ::setenv("DOMECAST_LINK_NAME", name_.c_str(), 1);
    ::setenv("DOMECAST_DEBUGPRINT_SOCKET", (name_ + "_nobody").c_str(), 1);
    ::unsetenv("DOMECAST_DEBUG_IPC");
    ::alarm(testAlarmSeconds);
}

LinkEnvironment::~LinkEnvironment() {
    ::alarm(0);
    ::unsetenv("DOMECAST_LINK_NAME");
    const std::string folder = localSocketFolder();
    std::error_code error;
    if (folder.empty()) return;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().filename().string().starts_with(name_ + "_bell.")) std::filesystem::remove(entry.path(), error);
}

Beacon::Beacon() {
    int ends[2];
    if (::pipe(ends) == 0) {
        read_.reset(ends[0]);
        write_.reset(ends[1]);
    }
}

bool Beacon::send() const { return ::write(write_.get(), "b", 1) == 1; }

bool Beacon::await() const {
    char byte = 0;
    return ::read(read_.get(), &byte, 1) == 1;
}

pid_t runChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::alarm(childAlarmSeconds);
    int result = 100;
    try {
        result = body();
    } catch (...) {
    }
    // No destructors, no atexit handlers of the test program in the child.
    ::_exit(result);
}

int exitCodeOf(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

std::uint8_t patternByte(int x, int y, int channel) {
    switch (channel) {
        case 0: return static_cast<std::uint8_t>(x * 7 + y);
        case 1: return static_cast<std::uint8_t>(x + y * 3);
        default: return static_cast<std::uint8_t>((x ^ y) + 11);
    }
}

TileSource patternSource() {
    return [](const TileRect& tile, std::uint8_t* p) {
        for (int y = tile.top; y < tile.bottom; ++y)
            for (int x = tile.left; x < tile.right; ++x)
                for (int c = 0; c < 3; ++c) *p++ = patternByte(x, y, c);
    };
}

bool tileHoldsPattern(const std::uint8_t* pixels, const TileRect& tile) {
    for (int y = tile.top; y < tile.bottom; ++y)
        for (int x = tile.left; x < tile.right; ++x)
            for (int c = 0; c < 3; ++c)
                if (*pixels++ != patternByte(x, y, c)) return false;
    return true;
}
